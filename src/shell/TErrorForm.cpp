#include "TErrorForm.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

TErrorForm::TErrorForm(QWidget* parent) : QDialog(parent) {
  ui.setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(size());
  ui.imgError->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
  connect(ui.btnSend, &QPushButton::clicked, this, [this] { done(kSend); });
  connect(ui.btnDontSend, &QPushButton::clicked, this, [this] { done(kDontSend); });
}

int TErrorForm::ShowError(const QString& message) {
  ui.lblErrorText->setText(message);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  return exec() == kSend ? kSend : kDontSend;
}
