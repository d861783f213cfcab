// Sends one plain-text mail over SMTP with libcurl: connect, log in, send, disconnect.
//
// No encryption: AUTH goes over plain text, as the report mailbox expects. One object is
// used from one thread at a time; separate objects may send from separate threads.
#pragma once

#include <string>

#include "MailMessage.h"

namespace mail {

class TSmtpTransport {
 public:
  static constexpr long ConnectTimeoutMs = 10000;  // reaching the server and its greeting
  static constexpr long TotalTimeoutMs = 30000;    // the whole of Send

  // host: a name or an IPv4/IPv6 address; port: 1..65535 (checked by Send).
  void SetServer(std::string host, int port);
  // With an empty account name no login is tried.
  void SetAccount(std::string name, std::string password);

  // Connects, logs in, sends the message and disconnects, blocking the calling thread for
  // at most TotalTimeoutMs. Throws TMailError naming the step that failed and carrying
  // libcurl's message; settings it cannot use are refused before connecting.
  void Send(const TMailMessage& message);

  // True only while Send runs: Send closes its connection before it returns or throws, so
  // after a failed send there is nothing left to disconnect.
  bool Connected() const noexcept { return Connected_; }

 private:
  std::string Host_;
  int Port_ = 0;
  std::string AccountName_;
  std::string Password_;
  bool Connected_ = false;
};

}  // namespace mail
