#include "TLogForm.h"

#include <QGuiApplication>
#include <QScreen>

TLogForm::TLogForm(core::TActivityLog& log, QWidget* parent) : QDialog(parent), FLog(log) {
  ui.setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  connect(ui.btnOK, &QPushButton::clicked, this, [this] {
    core::LogEvent(FLog, QStringLiteral(" ---> Log is closed."));
    accept();
  });
}

void TLogForm::ShowLog() {
  ui.mmoLog->clear();
  ui.mmoLog->setPlainText(FLog.Lines().join(QLatin1Char('\n')));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  exec();
}
