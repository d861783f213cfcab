// Runs smtp_peer.py, a real SMTP server on loopback, for one test and reads what it received.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace mailtest {

// One message as the peer recorded it.
struct TReceivedMail {
  std::string MailFrom;
  std::vector<std::string> RcptTo;
  std::string Login;      // account that authenticated
  std::string Subject;    // as Python's mail parser decodes it
  std::string Date;       // seconds since 1970 as Python parsed the Date header, or "invalid"
  std::string MessageId;
  int Defects = -1;       // problems Python's mail parser found in the message
  std::string Headers;    // raw header block, each line ending in CR LF
  std::string Body;       // raw content after the empty line that ends the headers
};

class TSmtpPeer {
 public:
  // Starts the server and waits (bounded) until it listens. Throws std::runtime_error.
  TSmtpPeer();
  // Stops the server (bounded wait, then SIGKILL) and removes its folder.
  ~TSmtpPeer();
  TSmtpPeer(const TSmtpPeer&) = delete;
  TSmtpPeer& operator=(const TSmtpPeer&) = delete;

  int Port() const { return Port_; }
  // Every message received so far, in the order of arrival.
  std::vector<TReceivedMail> Received() const;

 private:
  void Stop();

  std::filesystem::path Folder_;
  pid_t Pid_ = -1;
  int StdinWrite_ = -1;
  int StdoutRead_ = -1;
  int Port_ = 0;
};

}  // namespace mailtest
