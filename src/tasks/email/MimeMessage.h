#pragma once

#include "runtime/DateTime.h"
#include "tasks/email/EmailAddress.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

struct MimeAttachment {
    std::string fileName; // without the folder
    std::string contents;
    std::string contentType = "application/octet-stream";
};

// One email as it goes to the server after DATA. Texts are UTF-8.
struct MimeMessage {
    std::string from; // as the operator wrote it: a bare address or a name with the address in brackets
    std::vector<EmailAddress> to;
    std::string subject;
    std::vector<std::string> bodyLines;
    DateTime date; // local time of sending
    int utcOffsetMinutes = 0;
    std::optional<MimeAttachment> attachment;
    // Made by the program for this message (the level graph, the audio clip); they follow `attachment`.
    std::vector<MimeAttachment> madeAttachments;

    // Headers, an empty line and the body; every line ends in CR LF and none is longer than 998 bytes.
    // Without an attachment a text/plain message, with any a multipart/mixed message with the text part
    // first. Dots at the start of lines are left for the SMTP client to double.
    std::string render() const;
};

// The lines of a text, split at CR LF and also at a lone CR or LF, so that no bare line-break byte ever
// reaches the server.
std::vector<std::string> splitTextLines(std::string_view text);

// RFC 5322 date, e.g. "Thu, 07 Mar 2024 14:05:09 +0100".
std::string formatMailDate(DateTime local, int utcOffsetMinutes);

// RFC 2047 encoded words ("=?utf-8?B?...?="), each at most 60 characters and holding whole UTF-8
// characters, separated by spaces.
std::string encodeHeaderWords(std::string_view text);

// A subject's header field, unfolded value and all: line breaks in the subject become spaces (they
// would end the header), and a subject that is not plain printable ASCII goes as encoded words.
std::string subjectHeader(std::string_view subject);

// Quoted-printable of RFC 2045 for one line of text, with soft line breaks to keep lines at most 76
// characters; the lines it returns end in CR LF.
std::string encodeQuotedPrintableLine(std::string_view line);

} // namespace quietmon
