#include "MessageText.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace mail {

namespace {

constexpr const char* CRLF = "\r\n";

std::string Base64(const std::string& bytes) {
  static constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) | std::uint8_t(bytes[i + 2]);
    out += Digits[v >> 18];
    out += Digits[(v >> 12) & 63];
    out += Digits[(v >> 6) & 63];
    out += Digits[v & 63];
  }
  if (const std::size_t rest = bytes.size() - i; rest > 0) {
    const std::uint32_t v = (std::uint8_t(bytes[i]) << 16) | (rest == 2 ? std::uint8_t(bytes[i + 1]) << 8 : 0);
    out += Digits[v >> 18];
    out += Digits[(v >> 12) & 63];
    out += rest == 2 ? Digits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool IsUtf8Continuation(char c) { return (std::uint8_t(c) & 0xC0) == 0x80; }

// Printable ASCII that a mail reader cannot mistake for an encoded word.
bool NeedsEncoding(const std::string& text) {
  for (const char c : text) {
    const auto u = std::uint8_t(c);
    if ((u < 0x20 && c != '\t') || u > 0x7E) return true;
  }
  return text.find("=?") != std::string::npos;
}

// Appends one body entry, turning every CR, LF or CR LF inside it into a line end.
void AppendBodyLine(std::string& out, const std::string& line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\r' || line[i] == '\n') {
      if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
      out += CRLF;
    } else {
      out += line[i];
    }
  }
  out += CRLF;
}

}  // namespace

std::string EncodeSubject(const std::string& subject) {
  std::string text = subject;
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  if (!NeedsEncoding(text)) return text;

  // 39 bytes give 52 base64 digits, so "Subject: " plus the first word stays within the 76
  // characters RFC 2047 allows for a line with encoded words.
  constexpr std::size_t WordBytes = 39;
  std::string out;
  std::string chunk;
  auto flush = [&] {
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(chunk) + "?=";
    chunk.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    // One character: a byte and the continuation bytes after it (at most 4 bytes, so
    // broken UTF-8 cannot make a word grow without bound).
    std::size_t end = i + 1;
    while (end < text.size() && end - i < 4 && IsUtf8Continuation(text[end])) ++end;
    if (chunk.size() + (end - i) > WordBytes) flush();
    chunk.append(text, i, end - i);
    i = end;
  }
  if (!chunk.empty()) flush();
  return out;
}

std::string FormatMailDate(std::time_t date) {
  static constexpr const char* Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm utc{};
  gmtime_r(&date, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", Days[utc.tm_wday], utc.tm_mday,
                Months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::string MakeMessageId(const std::string& sender, std::time_t date) {
  const std::size_t at = sender.rfind('@');
  const std::string domain = at == std::string::npos || at + 1 == sender.size() ? "quorvane.invalid" : sender.substr(at + 1);
  std::random_device random;
  const std::uint64_t unique = (std::uint64_t(random()) << 32) | random();
  char text[64];
  std::snprintf(text, sizeof text, "<%016llx.%llx@", static_cast<unsigned long long>(unique),
                static_cast<unsigned long long>(date));
  return text + domain + ">";
}

std::string BuildMessageText(const TMailMessage& message, std::time_t date, const std::string& messageId) {
  std::string to;
  for (const std::string& recipient : message.Recipients) {
    if (!to.empty()) to += ", ";
    to += recipient;
  }
  std::string out;
  out += "Date: " + FormatMailDate(date) + CRLF;
  out += "From: " + message.Sender + CRLF;
  out += "To: " + to + CRLF;
  out += "Subject: " + EncodeSubject(message.Subject) + CRLF;
  out += "Message-ID: " + messageId + CRLF;
  out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: text/plain; charset=UTF-8\r\n";
  out += "Content-Transfer-Encoding: 8bit\r\n";
  out += CRLF;
  for (const std::string& line : message.BodyLines) AppendBodyLine(out, line);
  return out;
}

}  // namespace mail
