#include "QtPrompts.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

#include "TErrorForm.h"

namespace shell {

void TQtPrompts::Warning(const QString& text) {
  QMessageBox::warning(FParent, QStringLiteral("Quorvane"), text, QMessageBox::Ok);
}

core::IPrompts::ErrorAnswer TQtPrompts::ErrorDialog(const QString& message) {
  return FErrorForm.ShowError(message) == TErrorForm::kSend ? ErrorAnswer::Send : ErrorAnswer::DontSend;
}

QString TQtPrompts::QtFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList choices;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    patterns.removeAll(QString());
    QString name = parts[i].trimmed();
    // Qt shows the patterns itself: a name that already ends in "(...)" keeps only its name.
    name.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)$")));
    choices << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return choices.join(QStringLiteral(";;"));
}

QString TQtPrompts::ChooseOpenFile(const QString& folder, const QString& filter) {
  return QFileDialog::getOpenFileName(FParent, QString(), folder, QtFilter(filter));
}

bool TQtPrompts::ChooseFont(QFont& font, QColor& color) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, FParent);
  if (!ok) return false;
  const QColor colour = QColorDialog::getColor(color, FParent);
  if (!colour.isValid()) return false;
  font = chosen;
  color = colour;
  return true;
}

bool TQtUrlOpener::Open(const QString& url) {
  return QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

}  // namespace shell
