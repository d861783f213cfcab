#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>

#include "EnvOverride.h"
#include "MailError.h"
#include "ReportMail.h"
#include "SmtpPeer.h"
#include "SmtpTransport.h"

namespace {

using mail::TMailError;
using mail::TMailFailure;
using mail::TMailMessage;
using mail::TSmtpTransport;
using mailtest::TEnvOverride;
using mailtest::TReceivedMail;
using mailtest::TSmtpPeer;

class SmtpTransportTest : public ::testing::Test {
 protected:
  void SetUp() override { Peer = std::make_unique<TSmtpPeer>(); }

  TSmtpTransport TransportToPeer(const std::string& password = mail::ReportPassword) const {
    TSmtpTransport transport;
    transport.SetServer("127.0.0.1", Peer->Port());
    transport.SetAccount(mail::ReportAccountName, password);
    return transport;
  }

  TReceivedMail OnlyReceived() const {
    const std::vector<TReceivedMail> mails = Peer->Received();
    if (mails.size() != 1) throw std::runtime_error("expected one mail, got " + std::to_string(mails.size()));
    return mails.front();
  }

  std::unique_ptr<TSmtpPeer> Peer;
};

TMailMessage MessageWith(std::vector<std::string> bodyLines, std::string subject = "test") {
  return {"reports@zentiq.example", {"support@zentiq.example"}, std::move(subject), std::move(bodyLines)};
}

TMailFailure FailureOf(TSmtpTransport& transport, const TMailMessage& message) {
  try {
    transport.Send(message);
  } catch (const TMailError& error) {
    EXPECT_FALSE(std::string(error.what()).empty());
    return error.Failure();
  }
  throw std::runtime_error("Send did not fail");
}

// Lines starting with "." would end the DATA phase early unless dot-stuffed; a line with a
// break inside it becomes two lines; the body must arrive byte for byte otherwise.
TEST_F(SmtpTransportTest, DeliversEnvelopeHeadersAndBodyExactly) {
  TSmtpTransport transport = TransportToPeer();
  const TMailMessage message{"reports@zentiq.example",
                             {"support@zentiq.example", "second@zentiq.example"},
                             "ERROR REPORT | Quorvane",
                             {"14:03:27 ---> Open is clicked.", ".", ".hidden", "..", "", "  indented",
                              "Größe ü: /home/jörg/Videos/Über uns.mp4", "first\nsecond\r\nthird\rfourth", "."}};
  const std::time_t before = std::time(nullptr);
  transport.Send(message);
  EXPECT_FALSE(transport.Connected());

  const TReceivedMail mail = OnlyReceived();
  EXPECT_EQ(mail.MailFrom, "reports@zentiq.example");
  EXPECT_EQ(mail.RcptTo, (std::vector<std::string>{"support@zentiq.example", "second@zentiq.example"}));
  EXPECT_EQ(mail.Login, "reports@zentiq.example");
  EXPECT_EQ(mail.Body,
            "14:03:27 ---> Open is clicked.\r\n.\r\n.hidden\r\n..\r\n\r\n  indented\r\n"
            "Größe ü: /home/jörg/Videos/Über uns.mp4\r\nfirst\r\nsecond\r\nthird\r\nfourth\r\n.\r\n");

  EXPECT_NE(mail.Headers.find("\r\nSubject: ERROR REPORT | Quorvane\r\n"), std::string::npos) << mail.Headers;
  EXPECT_NE(mail.Headers.find("\r\nTo: support@zentiq.example, second@zentiq.example\r\n"), std::string::npos);
  EXPECT_NE(mail.Headers.find("\r\nFrom: reports@zentiq.example\r\n"), std::string::npos);
  EXPECT_NE(mail.Headers.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos);
  EXPECT_NE(mail.Headers.find("\r\nContent-Type: text/plain; charset=UTF-8\r\n"), std::string::npos);
  EXPECT_NE(mail.Headers.find("\r\nContent-Transfer-Encoding: 8bit\r\n"), std::string::npos);
  EXPECT_EQ(mail.Defects, 0) << mail.Headers;
  ASSERT_NE(mail.Date, "invalid") << mail.Headers;
  EXPECT_GE(std::stoll(mail.Date), before);
  EXPECT_LE(std::stoll(mail.Date), std::time(nullptr));
  EXPECT_TRUE(mail.MessageId.starts_with("<") && mail.MessageId.ends_with("@zentiq.example>")) << mail.MessageId;

  // No bare LF anywhere: SMTP lines end with CR LF.
  const std::string whole = mail.Headers + "\r\n" + mail.Body;
  for (std::size_t i = whole.find('\n'); i != std::string::npos; i = whole.find('\n', i + 1)) {
    ASSERT_TRUE(i > 0 && whole[i - 1] == '\r') << "bare LF at " << i;
  }
}

TEST_F(SmtpTransportTest, SendsAnEmptyBody) {
  TSmtpTransport transport = TransportToPeer();
  transport.Send(MessageWith({}));
  EXPECT_EQ(OnlyReceived().Body, "");
}

// The error report's own values, with the server taken from the environment as the program
// does, are accepted by a server that knows only the report account.
TEST_F(SmtpTransportTest, ReportValuesReachTheServerNamedByTheEnvironment) {
  const TEnvOverride host("QUORVANE_SMTP_HOST", "127.0.0.1");
  const TEnvOverride port("QUORVANE_SMTP_PORT", std::to_string(Peer->Port()));
  const mail::TMailServer server = mail::ReportServer();
  TSmtpTransport transport;
  transport.SetServer(server.Host, server.Port);
  transport.SetAccount(mail::ReportAccountName, mail::ReportPassword);
  transport.Send({mail::ReportSender, {mail::ReportRecipient}, mail::ReportSubject, {"-------------------------", "LAST ERROR MESSAGE: ", "CODE LINE MARK: CLM_open"}});

  const TReceivedMail mail = OnlyReceived();
  EXPECT_EQ(mail.MailFrom, "reports@zentiq.example");
  EXPECT_EQ(mail.RcptTo, std::vector<std::string>{"support@zentiq.example"});
  EXPECT_EQ(mail.Login, "reports@zentiq.example");
  EXPECT_EQ(mail.Subject, "ERROR REPORT | Quorvane");
  EXPECT_EQ(mail.Body, "-------------------------\r\nLAST ERROR MESSAGE: \r\nCODE LINE MARK: CLM_open\r\n");
}

TEST_F(SmtpTransportTest, WrongPasswordIsALoginFailureAndSendsNothing) {
  TSmtpTransport transport = TransportToPeer("tolvinaz");
  EXPECT_EQ(FailureOf(transport, MessageWith({"x"})), TMailFailure::Login);
  EXPECT_FALSE(transport.Connected());
  EXPECT_TRUE(Peer->Received().empty());
}

struct TSubjectCase {
  const char* Name;
  std::string Subject;
  std::string Decoded;  // as a mail reader shows it
  bool Verbatim;        // sent as it is, without encoded words
};

void PrintTo(const TSubjectCase& c, std::ostream* os) { *os << c.Name; }

std::string DecodeBase64(const std::string& text) {
  static const std::string Digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    if (c == '=') break;
    bits = (bits << 6) | static_cast<std::uint32_t>(Digits.find(c));
    if ((count += 6) >= 8) out += static_cast<char>((bits >> (count -= 8)) & 0xFF);
  }
  return out;
}

// Each encoded word must hold whole UTF-8 characters (RFC 2047, section 5); readers that
// decode word by word show a split character as garbage.
bool IsCompleteUtf8(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

class SubjectTest : public SmtpTransportTest, public ::testing::WithParamInterface<TSubjectCase> {};

// Python's mail parser decodes the header independently; a word split inside a UTF-8
// character would decode to replacement characters.
TEST_P(SubjectTest, ArrivesAsWritten) {
  const TSubjectCase& c = GetParam();
  TSmtpTransport transport = TransportToPeer();
  transport.Send(MessageWith({"x"}, c.Subject));
  const TReceivedMail mail = OnlyReceived();
  EXPECT_EQ(mail.Subject, c.Decoded);
  EXPECT_EQ(mail.Defects, 0) << mail.Headers;

  const std::size_t start = mail.Headers.find("\r\nSubject: ") + 2;
  std::size_t end = start;
  do end = mail.Headers.find("\r\n", end) + 2;
  while (mail.Headers[end] == ' ');  // folded continuation lines
  const std::string header = mail.Headers.substr(start, end - start);
  if (c.Verbatim) {
    EXPECT_EQ(header, "Subject: " + c.Decoded + "\r\n");
    return;
  }
  for (std::size_t from = 0, to; (to = header.find("\r\n", from)) != std::string::npos; from = to + 2) {
    EXPECT_LE(to - from, 76u) << "line too long for encoded words: " << header;
  }
  for (const char ch : header) ASSERT_TRUE(static_cast<unsigned char>(ch) < 0x80) << header;
  for (std::size_t from = 0; (from = header.find("=?UTF-8?B?", from)) != std::string::npos;) {
    from += 10;
    const std::size_t to = header.find("?=", from);
    ASSERT_NE(to, std::string::npos) << header;
    EXPECT_TRUE(IsCompleteUtf8(DecodeBase64(header.substr(from, to - from)))) << header;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubjectTest,
    ::testing::Values(TSubjectCase{"Ascii", "ERROR REPORT | Quorvane", "ERROR REPORT | Quorvane", true},
                      TSubjectCase{"Umlauts", "Fehlerbericht: Größe über", "Fehlerbericht: Größe über", false},
                      TSubjectCase{"ManyWords", std::string(70, 'a') + "ü€𝄞" + std::string(30, 'b') + "ü",
                                   std::string(70, 'a') + "ü€𝄞" + std::string(30, 'b') + "ü", false},
                      TSubjectCase{"LooksEncoded", "=?UTF-8?B?SGk=?=", "=?UTF-8?B?SGk=?=", false},
                      TSubjectCase{"LineBreaks", "one\r\ntwo\nthree", "one  two three", true}),
    [](const auto& info) { return std::string(info.param.Name); });

// A port that is bound but not listening refuses the connection: libcurl says so at once,
// rather than the connect timeout running out.
TEST(SmtpTransportFailure, RefusedConnectionIsAConnectFailureNotATimeout) {
  const int holder = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);

  TSmtpTransport transport;
  transport.SetServer("127.0.0.1", ntohs(address.sin_port));
  transport.SetAccount(mail::ReportAccountName, mail::ReportPassword);
  try {
    transport.Send(MessageWith({"x"}));
    ADD_FAILURE() << "Send did not fail";
  } catch (const TMailError& error) {
    EXPECT_EQ(error.Failure(), TMailFailure::Connect) << error.what();
    EXPECT_EQ(error.CurlCode(), CURLE_COULDNT_CONNECT) << error.what();
  }
  EXPECT_FALSE(transport.Connected());
  close(holder);
}

// Values that would break the URL or the SMTP commands are refused before any connection
// (the port here is closed, so reaching it would report Connect instead).
TEST(SmtpTransportFailure, UnusableSettingsAreRefusedBeforeConnecting) {
  struct TCase {
    const char* What;
    std::string Host;
    int Port;
    TMailMessage Message;
  };
  const TMailMessage good = MessageWith({"x"});
  auto with = [&](auto change) {
    TMailMessage m = good;
    change(m);
    return m;
  };
  const TCase cases[] = {
      {"empty host", "", 26, good},
      {"host with path", "127.0.0.1/x", 26, good},
      {"port 0 (unusable QUORVANE_SMTP_PORT)", "127.0.0.1", 0, good},
      {"port too large", "127.0.0.1", 65536, good},
      {"no recipient", "127.0.0.1", 9, with([](TMailMessage& m) { m.Recipients.clear(); })},
      {"sender with CR LF", "127.0.0.1", 9, with([](TMailMessage& m) { m.Sender = "a@b\r\nRCPT TO:<x@y>"; })},
      {"recipient with bracket", "127.0.0.1", 9, with([](TMailMessage& m) { m.Recipients = {"x@y>"}; })},
      {"recipient without @", "127.0.0.1", 9, with([](TMailMessage& m) { m.Recipients = {"support"}; })},
  };
  for (const TCase& c : cases) {
    TSmtpTransport transport;
    transport.SetServer(c.Host, c.Port);
    EXPECT_EQ(FailureOf(transport, c.Message), TMailFailure::Settings) << c.What;
  }
}

}  // namespace
