#include <gtest/gtest.h>

#include <optional>

#include "EnvOverride.h"
#include "MessageText.h"
#include "ReportMail.h"

namespace {

using mailtest::TEnvOverride;

// Python's date parser, which checks the mails in SmtpTransportTest, ignores the day name.
TEST(MailDate, WritesEnglishNamesInUtc) {
  const std::pair<std::time_t, const char*> cases[] = {
      {0, "Thu, 01 Jan 1970 00:00:00 +0000"},
      {951782400, "Tue, 29 Feb 2000 00:00:00 +0000"},
      {1709647407, "Tue, 05 Mar 2024 14:03:27 +0000"},
      {4102444799, "Thu, 31 Dec 2099 23:59:59 +0000"},
  };
  for (const auto& [date, expected] : cases) EXPECT_EQ(mail::FormatMailDate(date), expected) << date;
}

TEST(MessageId, IsUniqueAndUsesTheSenderDomain) {
  const std::string first = mail::MakeMessageId("reports@zentiq.example", 1709647407);
  const std::string second = mail::MakeMessageId("reports@zentiq.example", 1709647407);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first.starts_with("<")) << first;
  EXPECT_TRUE(first.ends_with("@zentiq.example>")) << first;
}

TEST(ReportServer, EnvironmentOverridesHostAndPort) {
  struct TCase {
    std::optional<std::string> Host;
    std::optional<std::string> Port;
    std::string ExpectedHost;
    int ExpectedPort;
  };
  const TCase cases[] = {
      {std::nullopt, std::nullopt, "mail.zentiq.example", 26},
      {"127.0.0.1", std::nullopt, "127.0.0.1", 26},
      {std::nullopt, "2525", "mail.zentiq.example", 2525},
      {"::1", "65535", "::1", 65535},
      {"", "", "mail.zentiq.example", 26},
      // Unusable ports become 0, which Send refuses instead of mailing the real server.
      {"127.0.0.1", "26x", "127.0.0.1", 0},
      {"127.0.0.1", "0", "127.0.0.1", 0},
      {"127.0.0.1", "65536", "127.0.0.1", 0},
      {"127.0.0.1", "-25", "127.0.0.1", 0},
  };
  for (const TCase& c : cases) {
    const TEnvOverride host("QUORVANE_SMTP_HOST", c.Host);
    const TEnvOverride port("QUORVANE_SMTP_PORT", c.Port);
    const mail::TMailServer server = mail::ReportServer();
    EXPECT_EQ(server.Host, c.ExpectedHost) << c.Host.value_or("(unset)") << " " << c.Port.value_or("(unset)");
    EXPECT_EQ(server.Port, c.ExpectedPort) << c.Host.value_or("(unset)") << " " << c.Port.value_or("(unset)");
  }
}

}  // namespace
