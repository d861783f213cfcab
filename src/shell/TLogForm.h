// The log window: every line of the activity log, refilled at each opening.
#pragma once

#include <QDialog>

#include "ActivityLog.h"
#include "ui_TLogForm.h"

class TLogForm : public QDialog {
  Q_OBJECT

 public:
  explicit TLogForm(core::TActivityLog& log, QWidget* parent = nullptr);
  // Empties the text area, copies the log into it and shows the window modally. "OK" logs
  // " ---> Log is closed." and closes it.
  void ShowLog();

  Ui::TLogForm ui;

 private:
  core::TActivityLog& FLog;
};
