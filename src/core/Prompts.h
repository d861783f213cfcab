// The seams between the program's logic and the desktop: modal prompts and the default
// "open" action for URLs. The shell wires Qt implementations; tests wire the recorders of
// TestDoubles.h. All calls happen on the UI thread. A modal prompt runs a nested event
// loop, so timers may fire while it is open.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace core {

class IPrompts {
 public:
  virtual ~IPrompts() = default;

  // The two buttons of the error dialog.
  enum class ErrorAnswer { Send, DontSend };

  // Modal message box with one OK button.
  virtual void Warning(const QString& text) = 0;
  // The error dialog showing `message`; returns the button the user pressed.
  virtual ErrorAnswer ErrorDialog(const QString& message) = 0;
  // The file-open dialog starting in `folder` with the filter text `filter`
  // ("Description|patterns|Description|patterns..."). Returns the chosen file's full path,
  // or an empty string when the user cancelled.
  virtual QString ChooseOpenFile(const QString& folder, const QString& filter) = 0;
  // The font dialog with a colour. `font` and `color` give the initial choice; on OK they
  // receive the user's choice and the result is true. On cancel both stay as they were.
  virtual bool ChooseFont(QFont& font, QColor& color) = 0;
};

class IUrlOpener {
 public:
  virtual ~IUrlOpener() = default;

  // Hands `url` to the desktop's default application. The text is passed as written (a
  // "mailto:" line with blanks and "|" must reach the mail program unescaped). Returns
  // whether the desktop accepted it.
  virtual bool Open(const QString& url) = 0;
};

}  // namespace core
