#include "SmtpTransport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <utility>

#include "MailError.h"
#include "MessageText.h"

namespace mail {

namespace {

// curl_global_init is not thread-safe and must run once per process before any handle.
CURLcode GlobalInitResult() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return result;
}

struct TEasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct TListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using TEasyHandle = std::unique_ptr<CURL, TEasyCleanup>;
using TStringList = std::unique_ptr<curl_slist, TListCleanup>;

// The upload source of one Send: libcurl pulls the message text through ReadText.
struct TUpload {
  const std::string& Text;
  std::size_t Offset = 0;
};

std::size_t ReadText(char* buffer, std::size_t size, std::size_t count, void* userdata) {
  auto& upload = *static_cast<TUpload*>(userdata);
  const std::size_t n = std::min(size * count, upload.Text.size() - upload.Offset);
  std::memcpy(buffer, upload.Text.data() + upload.Offset, n);
  upload.Offset += n;
  return n;
}

[[noreturn]] void RefuseSettings(const std::string& message) {
  throw TMailError(TMailFailure::Settings, 0, message);
}

// Characters that would break the host part of the URL.
bool IsUsableHost(const std::string& host) {
  if (host.empty()) return false;
  for (const char c : host) {
    if (std::uint8_t(c) <= 0x20 || std::uint8_t(c) == 0x7F || std::strchr("/?#@", c) != nullptr) return false;
  }
  return true;
}

// A bare address for the SMTP envelope: no blanks, controls or brackets that could break
// the MAIL FROM / RCPT TO command or the headers.
void CheckAddress(const std::string& address, const char* role) {
  bool usable = !address.empty() && address.find('@') != std::string::npos;
  for (const char c : address) {
    if (std::uint8_t(c) <= 0x20 || std::uint8_t(c) == 0x7F || std::strchr("<>,", c) != nullptr) usable = false;
  }
  if (!usable) RefuseSettings(std::string("Mail ") + role + " address is not usable: \"" + address + "\"");
}

void Check(CURLcode code) {
  // Setting an option fails only when this libcurl lacks it or memory runs out.
  if (code != CURLE_OK) {
    throw TMailError(TMailFailure::Settings, code, std::string("Could not set up mail transfer: ") + curl_easy_strerror(code));
  }
}

std::string UrlFor(const std::string& host, int port) {
  const bool ipv6 = host.find(':') != std::string::npos && host.front() != '[';
  return "smtp://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace

void TSmtpTransport::SetServer(std::string host, int port) {
  Host_ = std::move(host);
  Port_ = port;
}

void TSmtpTransport::SetAccount(std::string name, std::string password) {
  AccountName_ = std::move(name);
  Password_ = std::move(password);
}

void TSmtpTransport::Send(const TMailMessage& message) {
  if (!IsUsableHost(Host_)) RefuseSettings("Mail server name is not usable: \"" + Host_ + "\"");
  if (Port_ < 1 || Port_ > 65535) RefuseSettings("Mail server port must be 1..65535, not " + std::to_string(Port_));
  CheckAddress(message.Sender, "sender");
  if (message.Recipients.empty()) RefuseSettings("Mail has no recipient");
  for (const std::string& recipient : message.Recipients) CheckAddress(recipient, "recipient");

  if (const CURLcode init = GlobalInitResult(); init != CURLE_OK) {
    throw TMailError(TMailFailure::Settings, init, std::string("Could not initialise libcurl: ") + curl_easy_strerror(init));
  }
  TEasyHandle handle(curl_easy_init());
  if (!handle) throw TMailError(TMailFailure::Settings, CURLE_FAILED_INIT, "Could not create a libcurl handle");
  CURL* curl = handle.get();

  const std::time_t now = std::time(nullptr);
  const std::string text = BuildMessageText(message, now, MakeMessageId(message.Sender, now));
  TUpload upload{text};

  TStringList recipients;
  for (const std::string& recipient : message.Recipients) {
    // Appending keeps the head of the list; it returns null (list unchanged) when out of memory.
    curl_slist* head = curl_slist_append(recipients.get(), ("<" + recipient + ">").c_str());
    if (head == nullptr) throw TMailError(TMailFailure::Settings, CURLE_OUT_OF_MEMORY, "Out of memory");
    if (!recipients) recipients.reset(head);
  }

  char errorText[CURL_ERROR_SIZE] = {};
  const std::string url = UrlFor(Host_, Port_);
  const std::string sender = "<" + message.Sender + ">";
  Check(curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText));
  Check(curl_easy_setopt(curl, CURLOPT_URL, url.c_str()));
  Check(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp"));
  Check(curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE)));
  // A proxy from the environment (all_proxy) has no business with the report mail.
  Check(curl_easy_setopt(curl, CURLOPT_PROXY, ""));
  // No signals: timeouts must not rely on SIGALRM, which is process-wide.
  Check(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
  Check(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ConnectTimeoutMs));
  Check(curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, TotalTimeoutMs));
  if (!AccountName_.empty()) {
    Check(curl_easy_setopt(curl, CURLOPT_USERNAME, AccountName_.c_str()));
    Check(curl_easy_setopt(curl, CURLOPT_PASSWORD, Password_.c_str()));
  }
  Check(curl_easy_setopt(curl, CURLOPT_MAIL_FROM, sender.c_str()));
  Check(curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get()));
  // libcurl dot-stuffs the upload and ends it with CR LF "." CR LF itself.
  Check(curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L));
  Check(curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(text.size())));
  Check(curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadText));
  Check(curl_easy_setopt(curl, CURLOPT_READDATA, &upload));

  Connected_ = true;
  const CURLcode result = curl_easy_perform(curl);
  curl_off_t connectTime = 0;
  curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime);
  // Cleaning the handle up sends QUIT (if the session got that far) and closes the
  // connection, so nothing stays connected once Send returns or throws.
  handle.reset();
  Connected_ = false;
  if (result == CURLE_OK) return;

  const std::string where = Host_ + ":" + std::to_string(Port_);
  const std::string detail = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
      throw TMailError(TMailFailure::Connect, result, "Could not connect to mail server " + where + ": " + detail);
    case CURLE_OPERATION_TIMEDOUT:
      if (connectTime == 0) {
        throw TMailError(TMailFailure::Connect, result, "Could not connect to mail server " + where + ": " + detail);
      }
      break;
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
      throw TMailError(TMailFailure::Login, result,
                       "Mail server " + where + " refused the login of " + AccountName_ + ": " + detail);
    default:
      break;
  }
  throw TMailError(TMailFailure::Send, result, "Could not send mail through " + where + ": " + detail);
}

}  // namespace mail
