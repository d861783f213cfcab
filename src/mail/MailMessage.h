// One plain-text mail: who sends it, to whom, its subject and its text.
#pragma once

#include <string>
#include <vector>

namespace mail {

struct TMailMessage {
  std::string Sender;                   // bare address, e.g. "reports@zentiq.example"
  std::vector<std::string> Recipients;  // bare addresses, at least one
  std::string Subject;                  // UTF-8
  // UTF-8 text, one entry per line, without line ends. A line break inside an entry (CR,
  // LF or CR LF) starts a new line of the mail.
  std::vector<std::string> BodyLines;
};

}  // namespace mail
