// The fixed values of the error report mail, and the server it goes to.
#pragma once

#include <string>

namespace mail {

inline constexpr const char* ReportServerHost = "mail.zentiq.example";
inline constexpr int ReportServerPort = 26;
inline constexpr const char* ReportAccountName = "reports@zentiq.example";
inline constexpr const char* ReportPassword = "tolvinas";
inline constexpr const char* ReportSender = ReportAccountName;
inline constexpr const char* ReportRecipient = "support@zentiq.example";
inline constexpr const char* ReportSubject = "ERROR REPORT | Quorvane";

struct TMailServer {
  std::string Host;
  int Port = 0;
};

// ReportServerHost and ReportServerPort, unless the environment sets QUORVANE_SMTP_HOST
// (used when not empty) and/or QUORVANE_SMTP_PORT (so tests can talk to a local server).
// Never throws: a QUORVANE_SMTP_PORT that is not a number in 1..65535 gives Port 0, which
// TSmtpTransport::Send refuses with a TMailError like any other failure to send.
TMailServer ReportServer();

}  // namespace mail
