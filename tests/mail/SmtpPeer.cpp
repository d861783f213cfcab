#include "SmtpPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace mailtest {

namespace {

using Clock = std::chrono::steady_clock;
// Starting the peer is waited for up to a bound that only a hang reaches: a loaded machine
// may take seconds to start Python and import aiosmtpd. Stopping needs no such care: after
// StopLimit the peer is killed, which no test sees.
constexpr auto StartLimit = std::chrono::seconds(30);
constexpr auto StopLimit = std::chrono::seconds(3);

std::filesystem::path MakeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-smtp-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TReceivedMail ParseRecord(const std::string& record) {
  TReceivedMail mail;
  const std::size_t split = record.find("\n\n");
  if (split == std::string::npos) throw std::runtime_error("peer record without content");
  std::istringstream fields(record.substr(0, split));
  for (std::string line; std::getline(fields, line);) {
    const std::size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "MAIL-FROM") mail.MailFrom = value;
    else if (key == "RCPT-TO") mail.RcptTo.push_back(value);
    else if (key == "LOGIN") mail.Login = value;
    else if (key == "SUBJECT") mail.Subject = value;
    else if (key == "DATE") mail.Date = value;
    else if (key == "MESSAGE-ID") mail.MessageId = value;
    else if (key == "DEFECTS") mail.Defects = std::stoi(value);
  }
  const std::string content = record.substr(split + 2);
  const std::size_t end = content.find("\r\n\r\n");
  if (end == std::string::npos) throw std::runtime_error("received mail has no end of headers");
  mail.Headers = content.substr(0, end + 2);
  mail.Body = content.substr(end + 4);
  return mail;
}

}  // namespace

TSmtpPeer::TSmtpPeer() : Folder_(MakeFolder()) {
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) {
    Stop();
    throw std::runtime_error("pipe failed");
  }
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    Stop();
    throw std::runtime_error("pipe failed");
  }
  StdinWrite_ = toChild[1];
  StdoutRead_ = fromChild[0];

  // The peer exits when its stdin closes, so it cannot outlive a crashed test.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  std::string python = QUORVANE_TEST_PYTHON;
  std::string script = QUORVANE_SMTP_PEER_SCRIPT;
  std::string folder = Folder_.string();
  char* argv[] = {python.data(), script.data(), folder.data(), nullptr};
  const int spawned = posix_spawn(&Pid_, python.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  if (spawned != 0) {
    Pid_ = -1;
    Stop();
    throw std::runtime_error("could not start " + python);
  }

  std::string line;
  const auto deadline = Clock::now() + StartLimit;
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd wait{StdoutRead_, POLLIN, 0};
    char buffer[64];
    ssize_t n = 0;
    if (left <= 0 || poll(&wait, 1, static_cast<int>(left)) <= 0 || (n = read(StdoutRead_, buffer, sizeof buffer)) <= 0) {
      Stop();
      throw std::runtime_error("SMTP peer did not report its port (see its stderr above)");
    }
    line.append(buffer, static_cast<std::size_t>(n));
  }
  Port_ = std::atoi(line.c_str());
  if (Port_ <= 0) {
    Stop();
    throw std::runtime_error("SMTP peer printed no port: " + line);
  }
}

TSmtpPeer::~TSmtpPeer() { Stop(); }

void TSmtpPeer::Stop() {
  if (StdinWrite_ >= 0) close(StdinWrite_);
  StdinWrite_ = -1;
  if (Pid_ > 0) {
    const auto deadline = Clock::now() + StopLimit;
    while (waitpid(Pid_, nullptr, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(Pid_, SIGKILL);
        waitpid(Pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Pid_ = -1;
  }
  if (StdoutRead_ >= 0) close(StdoutRead_);
  StdoutRead_ = -1;
  std::error_code ignored;
  std::filesystem::remove_all(Folder_, ignored);
}

std::vector<TReceivedMail> TSmtpPeer::Received() const {
  std::vector<std::pair<int, std::filesystem::path>> files;
  for (const auto& entry : std::filesystem::directory_iterator(Folder_)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("msg-") && name.ends_with(".txt")) files.emplace_back(std::atoi(name.c_str() + 4), entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<TReceivedMail> mails;
  for (const auto& file : files) mails.push_back(ParseRecord(ReadFile(file.second)));
  return mails;
}

}  // namespace mailtest
