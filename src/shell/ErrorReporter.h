// What happens to every failure the program catches: the error dialog, the report by mail
// (or, when that fails, in the user's own mail program), the decoder installer when a video
// could not be played for want of one, and the end of the program.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "ActivityLog.h"
#include "Prompts.h"

namespace shell {

// Mails the report lines to the maker's support mailbox (server, account and subject of
// the mail library; the server can be redirected by QUORVANE_SMTP_HOST and _PORT). Blocks for
// at most about 30 s. False, with the reason in error, when connecting or sending failed.
bool SendReportMail(const QStringList& body, QString& error);

class TErrorReporter {
 public:
  // Sends the report body; false (with the reason in error) when connecting or sending failed.
  using SendReport = std::function<bool(const QStringList& body, QString& error)>;

  TErrorReporter(core::TActivityLog& log, core::IPrompts& prompts, core::IUrlOpener& opener, SendReport send,
                 std::function<bool()> codecPackMissing, std::function<void()> startDecoderInstaller,
                 std::function<void()> closeMainWindow);

  // The dialog, then, with "Send", three report lines appended to the log and the whole log
  // mailed; then the installer when the codec pack is missing; then the main window closes.
  // Returns to the caller, which finishes its handler while the program closes.
  void Report(const QString& message, const QString& mark);

  // The text handed to the user's mail program when sending failed; nothing in it is encoded.
  static QString MailtoText(const QString& message, const QString& mark);

 private:
  core::TActivityLog& FLog;
  core::IPrompts& FPrompts;
  core::IUrlOpener& FOpener;
  SendReport FSend;
  std::function<bool()> FCodecPackMissing;
  std::function<void()> FStartDecoderInstaller;
  std::function<void()> FCloseMainWindow;
};

}  // namespace shell
