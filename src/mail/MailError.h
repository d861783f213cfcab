// The one exception class of the mail library.
#pragma once

#include <stdexcept>
#include <string>

namespace mail {

// Which step of sending failed.
enum class TMailFailure {
  Settings,  // host, port, addresses or message refused before any connection was tried
  Connect,   // the server could not be resolved or reached (refused, or no answer in time)
  Login,     // the server refused the account name or password
  Send,      // the server refused the sender, a recipient or the message, stalled, or the link broke
};

class TMailError : public std::runtime_error {
 public:
  // curlCode is libcurl's CURLcode, 0 where libcurl was not involved (Settings).
  TMailError(TMailFailure failure, int curlCode, const std::string& message)
      : std::runtime_error(message), Failure_(failure), CurlCode_(curlCode) {}

  TMailFailure Failure() const noexcept { return Failure_; }
  int CurlCode() const noexcept { return CurlCode_; }

 private:
  TMailFailure Failure_;
  int CurlCode_;
};

}  // namespace mail
