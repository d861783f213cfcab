#include "ReportMail.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace mail {

TMailServer ReportServer() {
  TMailServer server{ReportServerHost, ReportServerPort};
  if (const char* host = std::getenv("QUORVANE_SMTP_HOST"); host != nullptr && *host != '\0') server.Host = host;
  if (const char* port = std::getenv("QUORVANE_SMTP_PORT"); port != nullptr && *port != '\0') {
    const char* end = port + std::strlen(port);
    int value = 0;
    const auto [stop, error] = std::from_chars(port, end, value);
    server.Port = error == std::errc() && stop == end && value >= 1 && value <= 65535 ? value : 0;
  }
  return server;
}

}  // namespace mail
