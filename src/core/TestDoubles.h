// Recorders behind the prompt and opener seams, for headless tests of any subsystem.
// Header-only; nothing in the program uses them.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "Prompts.h"

namespace core {

// Answers prompts from queues filled by the test and records every call in order.
// An exhausted queue gives the harmless answer: "Don't Send", a cancelled file dialog, a
// cancelled font dialog.
class ScriptedPrompts : public IPrompts {
 public:
  enum class Kind { Warning, ErrorDialog, ChooseOpenFile, ChooseFont };
  struct Call {
    Kind kind;
    QString text;    // warning or error message; the folder for ChooseOpenFile
    QString filter;  // ChooseOpenFile only
  };

  std::deque<ErrorAnswer> ErrorAnswers;
  std::deque<QString> OpenFileAnswers;
  // One entry per font dialog; an entry without a value stands for Cancel.
  std::deque<std::optional<std::pair<QFont, QColor>>> FontAnswers;

  // Runs inside every prompt after it is recorded, as the nested event loop of a modal
  // dialog would run timers. Optional.
  std::function<void(const Call&)> WhileOpen;

  std::vector<Call> Calls;

  void Warning(const QString& text) override { Record({Kind::Warning, text, {}}); }

  ErrorAnswer ErrorDialog(const QString& message) override
  {
    Record({Kind::ErrorDialog, message, {}});
    return Take(ErrorAnswers, ErrorAnswer::DontSend);
  }

  QString ChooseOpenFile(const QString& folder, const QString& filter) override
  {
    Record({Kind::ChooseOpenFile, folder, filter});
    return Take(OpenFileAnswers, QString());
  }

  bool ChooseFont(QFont& font, QColor& color) override
  {
    Record({Kind::ChooseFont, {}, {}});
    const auto answer = Take(FontAnswers, std::optional<std::pair<QFont, QColor>>());
    if (!answer)
      return false;
    font = answer->first;
    color = answer->second;
    return true;
  }

  // The texts of the calls of one kind, in order.
  QStringList Texts(Kind kind) const
  {
    QStringList texts;
    for (const Call& call : Calls)
      if (call.kind == kind)
        texts.append(call.text);
    return texts;
  }
  QStringList Warnings() const { return Texts(Kind::Warning); }

 private:
  void Record(const Call& call)
  {
    Calls.push_back(call);
    if (WhileOpen)
      WhileOpen(call);
  }

  template <typename T>
  static T Take(std::deque<T>& queue, T whenEmpty)
  {
    if (queue.empty())
      return whenEmpty;
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
  }
};

// Records every URL handed to the desktop and answers with `Result`.
class RecordingOpener : public IUrlOpener {
 public:
  QStringList Opened;
  bool Result = true;

  bool Open(const QString& url) override
  {
    Opened.append(url);
    return Result;
  }
};

}  // namespace core
