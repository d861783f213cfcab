// Turns a TMailMessage into the text handed to the SMTP server after DATA (RFC 5322 with a
// MIME text/plain UTF-8 body sent as 8bit). Lines end with CR LF. The text is not
// dot-stuffed: libcurl does that while uploading.
#pragma once

#include <ctime>
#include <string>

#include "MailMessage.h"

namespace mail {

// date is the moment written into the Date header; messageId is the whole Message-ID
// value including its angle brackets.
std::string BuildMessageText(const TMailMessage& message, std::time_t date, const std::string& messageId);

// The Subject header value: the subject itself when it is printable ASCII, otherwise
// RFC 2047 "B" encoded words of at most 75 characters each, never splitting a UTF-8
// character, folded onto continuation lines. CR and LF in the subject become blanks.
std::string EncodeSubject(const std::string& subject);

// RFC 5322 date-time in UTC, e.g. "Tue, 05 Mar 2024 14:03:27 +0000". English day and month
// names whatever the process locale.
std::string FormatMailDate(std::time_t date);

// A fresh "<random.time@domain>" value; domain is taken from the sender address.
std::string MakeMessageId(const std::string& sender, std::time_t date);

}  // namespace mail
