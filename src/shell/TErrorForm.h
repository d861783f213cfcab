// The error dialog: the message, and "Send" (result 1) or "Don't Send" (result 2), the only
// two ways to close it.
#pragma once

#include <QDialog>

#include "ui_TErrorForm.h"

class TErrorForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kSend = 1;
  static constexpr int kDontSend = 2;

  explicit TErrorForm(QWidget* parent = nullptr);
  // Shows the message and waits for one of the buttons; returns kSend or kDontSend.
  int ShowError(const QString& message);

  Ui::TErrorForm ui;

 protected:
  void reject() override {}  // Escape and the window manager's close do not close it
};
