#include "tasks/email/MimeMessage.h"

#include "tasks/email/Base64.h"

#include <cstdint>

namespace quietmon {

namespace {

constexpr std::size_t foldColumn = 78;
constexpr std::size_t maxLineBytes = 998;
// Room left for the header name and folding on a line of a subject that goes as plain words.
constexpr std::size_t maxPlainWordBytes = 900;

bool isPrintableAscii(char c) {
    return c >= 0x20 && c < 0x7F;
}

bool isPlainHeaderText(std::string_view text) {
    for (char c : text) {
        if (!isPrintableAscii(c))
            return false;
    }
    // A literal "=?" would be read as the start of an encoded word.
    return text.find("=?") == std::string_view::npos;
}

std::vector<std::string_view> splitAtSpaces(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (std::size_t space = text.find(' '); space != std::string_view::npos; space = text.find(' ', start)) {
        words.push_back(text.substr(start, space - start));
        start = space + 1;
    }
    words.push_back(text.substr(start));
    return words;
}

// "Name: " and the tokens joined by `separator`, folded before a token that would pass the fold column.
// The separator's trailing space is what the fold's continuation line starts with.
std::string foldedHeader(std::string_view name, const std::vector<std::string>& tokens,
                         std::string_view separator) {
    std::string out = std::string(name) + ":";
    std::size_t column = out.size();
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        std::string_view glue = i == 0 ? std::string_view(" ") : separator;
        // A folded line must not consist of white space alone, so empty tokens never start a line.
        if (i > 0 && !tokens[i].empty() && column + glue.size() + tokens[i].size() > foldColumn) {
            glue.remove_suffix(1); // the space moves to the continuation line
            out += glue;
            out += "\r\n";
            column = 0;
            glue = " ";
        }
        out += glue;
        out += tokens[i];
        column += glue.size() + tokens[i].size();
    }
    return out + "\r\n";
}

std::string replaceLineBreaks(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

bool needsQuoting(std::string_view name) {
    return name.find_first_of("()<>[]:;@\\,.\"") != std::string_view::npos;
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string mailboxForHeader(const EmailAddress& mailbox) {
    const std::string address = replaceLineBreaks(mailbox.address);
    if (mailbox.displayName.empty())
        return address;
    const std::string name = replaceLineBreaks(mailbox.displayName);
    std::string shown;
    if (!isPlainHeaderText(name))
        shown = encodeHeaderWords(name);
    else if (needsQuoting(name))
        shown = quoted(name);
    else
        shown = name;
    return shown + " <" + address + ">";
}

// A file name as a MIME parameter value: a quoted string, or encoded words in quotes for names that are
// not plain ASCII, as mail programs read them.
std::string parameterValue(std::string_view fileName) {
    if (isPlainHeaderText(fileName))
        return quoted(fileName);
    // Appended rather than joined with "+": GCC's inlining of a literal + string misreads the copy as
    // overlapping (-Wrestrict).
    std::string value = "\"";
    value += encodeHeaderWords(fileName);
    value += '"';
    return value;
}

bool isSevenBitText(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.size() > maxLineBytes)
            return false;
        for (char c : line) {
            const unsigned char byte = static_cast<unsigned char>(c);
            if (byte == 0 || byte >= 0x80)
                return false;
        }
    }
    return true;
}

// The text part's type and encoding headers, and its body. Plain 7-bit text goes as it is; text that
// 7bit cannot carry (8-bit bytes, NULs, overlong lines) goes quoted-printable as UTF-8.
void appendTextPart(const std::vector<std::string>& lines, std::string& headers, std::string& body) {
    if (isSevenBitText(lines)) {
        headers += "Content-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n";
        for (const std::string& line : lines)
            body += line + "\r\n";
    } else {
        headers +=
            "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n";
        for (const std::string& line : lines)
            body += encodeQuotedPrintableLine(line);
    }
}

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 15];
}

std::uint64_t fnv1a(std::uint64_t hash, std::string_view bytes) {
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::string hex64(std::uint64_t value) {
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = hexDigit(static_cast<unsigned>(value));
    return out;
}

// "=_" cannot occur in base64 or quoted-printable text, so only 7-bit body text could hold the boundary,
// and then a different one is chosen.
std::string boundaryFor(const MimeMessage& message, const std::string& textBody) {
    std::uint64_t hash = fnv1a(14695981039346656037ULL, message.subject);
    hash = fnv1a(hash, textBody);
    hash = fnv1a(hash, std::to_string(message.date.milliseconds()));
    for (std::uint64_t attempt = 0;; ++attempt) {
        const std::string boundary = "=_quietmon_" + hex64(hash + attempt);
        if (textBody.find(boundary) == std::string::npos)
            return boundary;
    }
}

} // namespace

std::vector<std::string> splitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines.emplace_back(text.substr(start));
    return lines;
}

std::string formatMailDate(DateTime local, int utcOffsetMinutes) {
    static constexpr const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto twoDigits = [](int value) {
        return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
    };
    const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    return std::string(days[local.isoWeekday() - 1]) + ", " + twoDigits(local.day()) + " " +
           months[local.month() - 1] + " " + std::to_string(local.year()) + " " + twoDigits(local.hour()) +
           ":" + twoDigits(local.minute()) + ":" + twoDigits(local.second()) + " " +
           (utcOffsetMinutes < 0 ? "-" : "+") + twoDigits(offset / 60) + twoDigits(offset % 60);
}

std::string encodeHeaderWords(std::string_view text) {
    // 36 bytes make words of 60 characters: under RFC 2047's 75 even after "Subject: " on the same line.
    constexpr std::size_t maxChunk = 36;
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at + maxChunk < text.size() ? at + maxChunk : text.size();
        // Back up to the start of a UTF-8 character; a run without one is cut where it stands.
        std::size_t cut = end;
        while (cut > at && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut > at)
            end = cut;
        if (!out.empty())
            out += ' ';
        out += "=?utf-8?B?" + encodeBase64(text.substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

std::string subjectHeader(std::string_view subject) {
    const std::string text = replaceLineBreaks(subject);
    std::vector<std::string> tokens;
    bool plain = isPlainHeaderText(text);
    if (plain) {
        for (std::string_view word : splitAtSpaces(text)) {
            plain = plain && word.size() <= maxPlainWordBytes;
            tokens.emplace_back(word);
        }
    }
    if (!plain) {
        tokens.clear();
        const std::string encoded = encodeHeaderWords(text);
        for (std::string_view word : splitAtSpaces(encoded))
            tokens.emplace_back(word);
    }
    return foldedHeader("Subject", tokens, " ");
}

std::string encodeQuotedPrintableLine(std::string_view line) {
    constexpr std::size_t maxColumn = 76;
    std::string out;
    std::size_t column = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        std::string piece;
        // White space at the end of a line would be lost in transport.
        if ((byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !last)) {
            piece = static_cast<char>(byte);
        } else {
            piece = {'=', hexDigit(byte >> 4), hexDigit(byte)};
        }
        // Keep room for the "=" of a soft break, unless this is the line's last piece.
        const std::size_t room = last ? maxColumn : maxColumn - 1;
        if (column + piece.size() > room) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
    return out + "\r\n";
}

std::string MimeMessage::render() const {
    std::string headers = "From: " + mailboxForHeader(parseEmailAddress(from)) + "\r\n";
    headers += subjectHeader(subject);
    std::vector<std::string> recipients;
    for (const EmailAddress& mailbox : to)
        recipients.push_back(mailboxForHeader(mailbox));
    headers += foldedHeader("To", recipients, ", ");
    headers += "Date: " + formatMailDate(date, utcOffsetMinutes) + "\r\n";
    headers += "MIME-Version: 1.0\r\n";

    std::string textHeaders;
    std::string textBody;
    appendTextPart(bodyLines, textHeaders, textBody);
    if (!attachment && madeAttachments.empty())
        return headers + textHeaders + "\r\n" + textBody;

    const std::string boundary = boundaryFor(*this, textBody);
    std::string out = headers;
    out += "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"\r\n";
    out += "\r\n";
    out += "This is a multi-part message in MIME format\r\n";
    out += "\r\n--" + boundary + "\r\n";
    out += textHeaders + "\r\n" + textBody;
    const auto addPart = [&out, &boundary](const MimeAttachment& part) {
        out += "\r\n--" + boundary + "\r\n";
        const std::string name = parameterValue(part.fileName);
        out += "Content-Type: " + part.contentType + ";\r\n\tname=" + name + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: attachment;\r\n\tfilename=" + name + "\r\n";
        out += "\r\n";
        out += encodeBase64Lines(part.contents);
    };
    if (attachment)
        addPart(*attachment);
    for (const MimeAttachment& part : madeAttachments)
        addPart(part);
    out += "\r\n--" + boundary + "--\r\n";
    return out;
}

} // namespace quietmon
