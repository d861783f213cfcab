// The program's real prompts and URL opener: Qt dialogs and the desktop's default application.
// Tests replace them with scripted ones.
#pragma once

#include "Prompts.h"

class TErrorForm;
class QWidget;

namespace shell {

class TQtPrompts final : public core::IPrompts {
 public:
  // errorForm is the program's error dialog, created before anything can fail.
  explicit TQtPrompts(TErrorForm& errorForm) : FErrorForm(errorForm) {}
  void SetParent(QWidget* parent) { FParent = parent; }

  void Warning(const QString& text) override;
  ErrorAnswer ErrorDialog(const QString& message) override;
  QString ChooseOpenFile(const QString& folder, const QString& filter) override;
  bool ChooseFont(QFont& font, QColor& color) override;

  // "Name|patterns|Name|patterns" as the open dialog's filter is kept, in Qt's form
  // "Name (patterns);;...". Patterns separated by ";" (with or without blanks) become
  // blank-separated.
  static QString QtFilter(const QString& filter);

 private:
  TErrorForm& FErrorForm;
  QWidget* FParent = nullptr;
};

class TQtUrlOpener final : public core::IUrlOpener {
 public:
  // Hands the text to the desktop as it is (a mailto: text is not encoded first).
  bool Open(const QString& url) override;
};

}  // namespace shell
