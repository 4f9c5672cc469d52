#include "tasks/email/MimeMessage.h"

#include "tasks/email/Base64.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

MimeMessage alarmMessage() {
    MimeMessage message;
    message.from = "monitor@example.org";
    message.to = splitEmailAddressList("desk@example.org, Night desk <night@example.org>");
    message.subject = "Silence on air";
    message.bodyLines = {"Silence detected!", "(2024-03-07 14-05-09, channel: Left and Right)"};
    message.date = DateTime::fromParts(2024, 3, 7, 14, 5, 9);
    message.utcOffsetMinutes = 60;
    return message;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string headerBlock(const std::string& message) {
    return message.substr(0, message.find("\r\n\r\n") + 2);
}

// The header fields with folded lines joined again, as RFC 5322 unfolds them.
std::string unfolded(const std::string& headers) {
    std::string out;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (headers.compare(i, 3, "\r\n ") == 0 || headers.compare(i, 3, "\r\n\t") == 0)
            i += 1;
        else
            out += headers[i];
    }
    return out;
}

void expectWellFormedLines(const std::string& message) {
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\n')
            ASSERT_TRUE(i > 0 && message[i - 1] == '\r') << "bare LF at " << i;
        if (message[i] == '\r')
            ASSERT_TRUE(i + 1 < message.size() && message[i + 1] == '\n') << "bare CR at " << i;
    }
    ASSERT_EQ(message.substr(message.size() - 2), "\r\n");
    for (const std::string& line : linesOf(message))
        EXPECT_LE(line.size(), 998u);
}

TEST(MimeMessage, WithoutAttachmentIsOnePlainTextMessageWithTheStatedHeaders) {
    const std::string text = alarmMessage().render();
    expectWellFormedLines(text);
    EXPECT_EQ(text, "From: monitor@example.org\r\n"
                    "Subject: Silence on air\r\n"
                    "To: desk@example.org, Night desk <night@example.org>\r\n"
                    "Date: Thu, 07 Mar 2024 14:05:09 +0100\r\n"
                    "MIME-Version: 1.0\r\n"
                    "Content-Type: text/plain\r\n"
                    "Content-Transfer-Encoding: 7bit\r\n"
                    "\r\n"
                    "Silence detected!\r\n"
                    "(2024-03-07 14-05-09, channel: Left and Right)\r\n");
    EXPECT_EQ(text.find("X-Mailer"), std::string::npos);
}

TEST(MimeMessage, WithAnAttachmentIsMultipartMixedWithTheTextPartFirst) {
    MimeMessage message = alarmMessage();
    const std::string jpeg("\xff\xd8\xff\xe0 picture \x00\x01 bytes", 22);
    message.attachment = MimeAttachment{"2024-03-07.jpg", jpeg};
    const std::string text = message.render();
    expectWellFormedLines(text);

    const std::string headers = unfolded(headerBlock(text));
    EXPECT_NE(headers.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos);
    const std::string typeHeader = "Content-Type: multipart/mixed;\tboundary=\"";
    const std::size_t type = headers.find(typeHeader);
    ASSERT_NE(type, std::string::npos) << headers;
    const std::size_t boundaryStart = type + typeHeader.size();
    const std::string boundary =
        headers.substr(boundaryStart, headers.find('"', boundaryStart) - boundaryStart);
    ASSERT_FALSE(boundary.empty());

    const std::string body = text.substr(text.find("\r\n\r\n") + 4);
    EXPECT_EQ(body.rfind("This is a multi-part message in MIME format\r\n", 0), 0u);
    const std::string textPart = "\r\n--" + boundary +
                                 "\r\n"
                                 "Content-Type: text/plain\r\n"
                                 "Content-Transfer-Encoding: 7bit\r\n"
                                 "\r\n"
                                 "Silence detected!\r\n"
                                 "(2024-03-07 14-05-09, channel: Left and Right)\r\n";
    EXPECT_NE(body.find(textPart), std::string::npos) << body;
    const std::string attachmentPart = "\r\n--" + boundary +
                                       "\r\n"
                                       "Content-Type: application/octet-stream;\r\n"
                                       "\tname=\"2024-03-07.jpg\"\r\n"
                                       "Content-Transfer-Encoding: base64\r\n"
                                       "Content-Disposition: attachment;\r\n"
                                       "\tfilename=\"2024-03-07.jpg\"\r\n"
                                       "\r\n" +
                                       encodeBase64Lines(jpeg) + "\r\n--" + boundary + "--\r\n";
    EXPECT_NE(body.find(attachmentPart), std::string::npos) << body;
    EXPECT_GT(body.find(attachmentPart), body.find(textPart));
}

TEST(MimeMessage, MadeAttachmentsFollowTheFileWithTheirOwnTypes) {
    struct Case {
        const char* name;
        bool withFile;
        std::vector<std::string> parts; // the attachments' types and names, in order
    };
    const Case cases[] = {
        {"the file, the graph and the clip",
         true,
         {"application/octet-stream;\r\n\tname=\"shot.jpg\"", "image/png;\r\n\tname=\"levels.png\"",
          "audio/ogg;\r\n\tname=\"on-air.opus\""}},
        {"the graph and the clip alone",
         false,
         {"image/png;\r\n\tname=\"levels.png\"", "audio/ogg;\r\n\tname=\"on-air.opus\""}},
    };
    for (const Case& mail : cases) {
        SCOPED_TRACE(mail.name);
        MimeMessage message = alarmMessage();
        if (mail.withFile)
            message.attachment = MimeAttachment{"shot.jpg", "jpeg"};
        message.madeAttachments = {{"levels.png", "png", "image/png"}, {"on-air.opus", "ogg", "audio/ogg"}};
        const std::string text = message.render();
        expectWellFormedLines(text);
        EXPECT_NE(text.find("Content-Type: multipart/mixed;"), std::string::npos);
        std::size_t at = 0;
        for (const std::string& part : mail.parts) {
            const std::size_t found = text.find("Content-Type: " + part, at);
            ASSERT_NE(found, std::string::npos) << part;
            at = found;
        }
    }
}

TEST(MimeMessage, TheBoundaryOccursOnlyWhereItSeparatesTheParts) {
    MimeMessage message = alarmMessage();
    message.bodyLines.push_back("--=_quietmon_ typed by the operator");
    message.attachment = MimeAttachment{"a.bin", std::string(300, '\xff')};
    const std::string text = message.render();
    const std::size_t at = text.find("boundary=\"") + 10;
    const std::string boundary = text.substr(at, text.find('"', at) - at);
    std::size_t count = 0;
    for (std::size_t found = text.find(boundary); found != std::string::npos;
         found = text.find(boundary, found + 1))
        ++count;
    EXPECT_EQ(count, 4u); // the header, two part delimiters and the closing one
}

TEST(MimeMessage, ASubjectWithOtherThanAsciiGoesAsEncodedWordsThatDecodeBack) {
    const std::string subject = "Ticho na vysílači – kanál Levý"; // UTF-8
    const std::string header = subjectHeader(subject);
    ASSERT_EQ(header.rfind("Subject: =?utf-8?B?", 0), 0u) << header;
    std::string decoded;
    for (const std::string& line : linesOf(header)) {
        EXPECT_LE(line.size(), 78u);
        for (std::size_t at = line.find("=?utf-8?B?"); at != std::string::npos;
             at = line.find("=?utf-8?B?", at)) {
            const std::size_t end = line.find("?=", at + 10);
            ASSERT_NE(end, std::string::npos);
            EXPECT_LE(end + 2 - at, 75u);
            const std::string word = line.substr(at + 10, end - at - 10);
            // Each word holds whole characters: decoding it alone gives valid text.
            std::string bytes;
            static const std::string alphabet =
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
            unsigned value = 0;
            int bits = 0;
            for (char c : word) {
                if (c == '=')
                    break;
                value = value << 6 | static_cast<unsigned>(alphabet.find(c));
                bits += 6;
                if (bits >= 8) {
                    bits -= 8;
                    bytes += static_cast<char>(value >> bits & 0xFF);
                }
            }
            EXPECT_NE(static_cast<unsigned char>(bytes.front()) & 0xC0, 0x80u);
            decoded += bytes;
            at = end + 2;
        }
    }
    EXPECT_EQ(decoded, subject);
}

TEST(MimeMessage, LineBreaksInTheSubjectBecomeSpacesInsteadOfEndingTheHeader) {
    EXPECT_EQ(subjectHeader("Silence!\r\nBcc: someone@example.org"),
              "Subject: Silence!  Bcc: someone@example.org\r\n");
}

TEST(MimeMessage, ALongSubjectIsFoldedAtSpacesAndUnfoldsToItself) {
    std::string subject;
    for (int i = 0; i < 30; ++i)
        subject += (i ? " " : "") + std::string("word") + std::to_string(i);
    const std::string header = subjectHeader(subject);
    for (const std::string& line : linesOf(header))
        EXPECT_LE(line.size(), 78u);
    EXPECT_GT(linesOf(header).size(), 1u);
    EXPECT_EQ(unfolded(header), "Subject: " + subject + "\r\n");
}

TEST(MimeMessage, DisplayNamesAreQuotedOrEncodedAsTheyNeed) {
    MimeMessage message = alarmMessage();
    message.from = "Studio Monitor <monitor@example.org>";
    message.to = splitEmailAddressList("\"Doe, John\" <john@example.org>, Petr Novák <petr@example.org>");
    const std::string headers = unfolded(headerBlock(message.render()));
    EXPECT_NE(headers.find("From: Studio Monitor <monitor@example.org>\r\n"), std::string::npos) << headers;
    EXPECT_NE(headers.find("To: \"Doe, John\" <john@example.org>, =?utf-8?B?" + encodeBase64("Petr Novák") +
                           "?= <petr@example.org>\r\n"),
              std::string::npos)
        << headers;
}

TEST(MimeMessage, ABodyThatSevenBitCannotCarryGoesQuotedPrintableAsUtf8) {
    MimeMessage message = alarmMessage();
    message.bodyLines = {"Ticho – kanál Levý", std::string(1200, 'a')};
    const std::string text = message.render();
    expectWellFormedLines(text);
    EXPECT_NE(
        text.find(
            "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("Ticho =E2=80=93 kan=C3=A1l Lev=C3=BD\r\n"), std::string::npos);
    const std::string body = text.substr(text.find("\r\n\r\n") + 4);
    for (const std::string& line : linesOf(body))
        EXPECT_LE(line.size(), 76u);
}

TEST(MimeMessage, TheDateIsWrittenWithTheUtcOffset) {
    EXPECT_EQ(formatMailDate(DateTime::fromParts(2024, 3, 7, 14, 5, 9), 60),
              "Thu, 07 Mar 2024 14:05:09 +0100");
    EXPECT_EQ(formatMailDate(DateTime::fromParts(2026, 12, 27, 0, 0, 0), -210),
              "Sun, 27 Dec 2026 00:00:00 -0330");
    EXPECT_EQ(formatMailDate(DateTime::fromParts(2025, 1, 1, 23, 59, 59), 0),
              "Wed, 01 Jan 2025 23:59:59 +0000");
}

TEST(MimeMessageText, SplitsAtEveryKindOfLineBreak) {
    EXPECT_EQ(splitTextLines("a\r\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(splitTextLines("a\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(splitTextLines("a\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(splitTextLines(""), std::vector<std::string>{""});
}

TEST(MimeMessageText, QuotedPrintableEncodesEqualsSignsTrailingSpaceAndBreaksLongLines) {
    EXPECT_EQ(encodeQuotedPrintableLine("a=b "), "a=3Db=20\r\n");
    EXPECT_EQ(encodeQuotedPrintableLine(""), "\r\n");
    const std::string long_ = encodeQuotedPrintableLine(std::string(100, 'x'));
    EXPECT_EQ(long_, std::string(75, 'x') + "=\r\n" + std::string(25, 'x') + "\r\n");
    EXPECT_EQ(encodeQuotedPrintableLine(std::string(76, 'x')), std::string(76, 'x') + "\r\n");
}

} // namespace
} // namespace quietmon
