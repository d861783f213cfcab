#include "ErrorReporter.h"

#include "MailError.h"
#include "MailMessage.h"
#include "ReportMail.h"
#include "SmtpTransport.h"

namespace shell {

bool SendReportMail(const QStringList& body, QString& error) {
  mail::TSmtpTransport transport;
  const mail::TMailServer server = mail::ReportServer();
  transport.SetServer(server.Host, server.Port);
  transport.SetAccount(mail::ReportAccountName, mail::ReportPassword);
  mail::TMailMessage message;
  message.Sender = mail::ReportSender;
  message.Recipients = {mail::ReportRecipient};
  message.Subject = mail::ReportSubject;
  for (const QString& line : body) message.BodyLines.push_back(line.toStdString());
  try {
    transport.Send(message);
    return true;
  } catch (const mail::TMailError& e) {
    error = QString::fromStdString(e.what());
    return false;
  }
}

TErrorReporter::TErrorReporter(core::TActivityLog& log, core::IPrompts& prompts, core::IUrlOpener& opener,
                               SendReport send, std::function<bool()> codecPackMissing,
                               std::function<void()> startDecoderInstaller, std::function<void()> closeMainWindow)
    : FLog(log),
      FPrompts(prompts),
      FOpener(opener),
      FSend(std::move(send)),
      FCodecPackMissing(std::move(codecPackMissing)),
      FStartDecoderInstaller(std::move(startDecoderInstaller)),
      FCloseMainWindow(std::move(closeMainWindow)) {}

QString TErrorReporter::MailtoText(const QString& message, const QString& mark) {
  return QStringLiteral("mailto:") + QLatin1String(mail::ReportRecipient) + QStringLiteral("?subject=") +
         QLatin1String(mail::ReportSubject) +
         QStringLiteral("&body=") + message + QStringLiteral(" ;CODE LINE MARK:") + mark +
         QStringLiteral(";  YOUR COMMENT (DETAILS):");
}

void TErrorReporter::Report(const QString& message, const QString& mark) {
  if (FPrompts.ErrorDialog(message) == core::IPrompts::ErrorAnswer::Send) {
    FLog.Add(QStringLiteral("-------------------------"));
    FLog.Add(QStringLiteral("LAST ERROR MESSAGE: ") + message);
    FLog.Add(QStringLiteral("CODE LINE MARK: ") + mark);
    QString error;
    bool sent = false;
    try {
      sent = FSend && FSend(FLog.Lines(), error);
    } catch (...) {
      sent = false;  // any failure of the transport leads to the mail program
    }
    if (!sent) FOpener.Open(MailtoText(message, mark));  // a failure here stays silent
  }
  if (FCodecPackMissing && FCodecPackMissing() && FStartDecoderInstaller) FStartDecoderInstaller();
  if (FCloseMainWindow) FCloseMainWindow();
}

}  // namespace shell
