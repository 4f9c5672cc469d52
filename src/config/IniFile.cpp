#include "config/IniFile.h"

#include <algorithm>

namespace quietmon {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

IniFile::Line IniFile::classify(std::string text, std::string ending) {
    Line line;
    line.text = std::move(text);
    line.ending = std::move(ending);
    const std::string_view content = trimmed(line.text);
    if (!content.empty() && content.front() == '[') {
        std::string_view name = content.substr(1);
        if (const auto close = name.rfind(']'); close != std::string_view::npos)
            name = name.substr(0, close);
        line.kind = LineKind::Section;
        line.name = trimmed(name);
    } else if (const auto equals = content.find('='); equals != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = trimmed(content.substr(0, equals));
        line.value = unquoted(trimmed(content.substr(equals + 1)));
    }
    return line;
}

IniFile IniFile::parse(std::string_view bytes) {
    IniFile file;
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.starts_with(bom)) {
        file.m_byteOrderMark = bom;
        bytes.remove_prefix(bom.size());
    }
    bool lineEndSeen = false;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            file.m_lines.push_back(classify(std::string(bytes), ""));
            break;
        }
        const std::size_t endLength =
            (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
        std::string ending(bytes.substr(end, endLength));
        if (!lineEndSeen) {
            file.m_lineEnd = ending;
            lineEndSeen = true;
        }
        file.m_lines.push_back(classify(std::string(bytes.substr(0, end)), std::move(ending)));
        bytes.remove_prefix(end + endLength);
    }
    return file;
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == LineKind::Section && sameName(m_lines[i].name, section))
            return i;
    }
    return std::nullopt;
}

std::size_t IniFile::sectionEnd(std::size_t sectionLine) const {
    std::size_t i = sectionLine + 1;
    while (i < m_lines.size() && m_lines[i].kind != LineKind::Section)
        ++i;
    return i;
}

std::optional<std::size_t> IniFile::findKey(std::size_t sectionLine, std::string_view key) const {
    const std::size_t end = sectionEnd(sectionLine);
    for (std::size_t i = sectionLine + 1; i < end; ++i) {
        if (m_lines[i].kind == LineKind::Key && sameName(m_lines[i].name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::read(std::string_view section, std::string_view key) const {
    const auto sectionLine = findSection(section);
    if (!sectionLine)
        return std::nullopt;
    const auto keyLine = findKey(*sectionLine, key);
    if (!keyLine)
        return std::nullopt;
    const std::string& value = m_lines[*keyLine].value;
    return value.substr(0, std::min(value.size(), maxValueLength));
}

void IniFile::insertLine(std::size_t at, std::string text) {
    // The line before the insertion point may be a last line without a line end.
    if (at > 0 && m_lines[at - 1].ending.empty())
        m_lines[at - 1].ending = m_lineEnd;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), classify(std::move(text), m_lineEnd));
}

void IniFile::write(std::string_view section, std::string_view key, std::string_view value) {
    // A value is one line: a line break in it would turn the rest into keys of their own.
    std::string keyLine = std::string(key) + "=" + std::string(value);
    std::replace_if(
        keyLine.begin(), keyLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const auto sectionLine = findSection(section);
    if (!sectionLine) {
        if (!m_lines.empty())
            insertLine(m_lines.size(), "");
        std::string header = "[";
        header.append(section).append("]");
        insertLine(m_lines.size(), std::move(header));
        insertLine(m_lines.size(), std::move(keyLine));
        return;
    }
    if (const auto existing = findKey(*sectionLine, key)) {
        Line& line = m_lines[*existing];
        line = classify(std::move(keyLine), std::move(line.ending));
        return;
    }
    // After the section's last non-blank line, so that blank lines separating it from the next stay.
    std::size_t at = sectionEnd(*sectionLine);
    while (at > *sectionLine + 1 && trimmed(m_lines[at - 1].text).empty())
        --at;
    insertLine(at, std::move(keyLine));
}

std::string IniFile::text() const {
    std::string out = m_byteOrderMark;
    for (const Line& line : m_lines) {
        out += line.text;
        out += line.ending;
    }
    return out;
}

} // namespace quietmon
