#include "config/IniFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quietmon {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin != end && isBlank(*begin))
        ++begin;
    while (end != begin && isBlank(end[-1]))
        --end;
    return {begin, static_cast<std::size_t>(end - begin)};
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

// How the reader takes a line, as views into its text.
struct LineShape {
    IniFile::LineKind kind = IniFile::LineKind::Other;
    std::string_view name;
    std::string_view value;
};

LineShape shapeOf(std::string_view text) {
    const std::string_view content = trimmed(text);
    if (!content.empty() && content.front() == '[') {
        std::string_view name = content.substr(1);
        if (const auto close = name.rfind(']'); close != std::string_view::npos)
            name = name.substr(0, close);
        return {IniFile::LineKind::Section, trimmed(name), {}};
    }
    if (const auto equals = content.find('='); equals != std::string_view::npos)
        return {IniFile::LineKind::Key, trimmed(content.substr(0, equals)),
                unquoted(trimmed(content.substr(equals + 1)))};
    return {};
}

} // namespace

IniFile::IniFile() : m_blocks(1) {}

std::pair<IniFile::LineEnd, std::size_t> IniFile::lineEndAt(std::string_view bytes, std::size_t at) {
    if (at >= bytes.size())
        return {LineEnd::None, 0};
    if (bytes[at] == '\n')
        return {LineEnd::Lf, 1};
    if (bytes[at] != '\r')
        return {LineEnd::None, 0};
    return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? std::pair(LineEnd::CrLf, 2)
                                                          : std::pair(LineEnd::Cr, 1);
}

IniFile IniFile::parse(std::string_view bytes) {
    IniFile file;
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.starts_with(bom)) {
        file.m_byteOrderMark = bom;
        bytes.remove_prefix(bom.size());
    }
    file.m_texts = bytes;
    // The next CR and the next LF are each looked for again only once passed, so that a document of
    // one kind of line end is not searched to its end for the other at every line.
    const auto next = [&](char wanted, std::size_t from) {
        const void* found = std::memchr(bytes.data() + from, wanted, bytes.size() - from);
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data())
                     : bytes.size();
    };
    std::size_t nextLf = next('\n', 0);
    std::size_t nextCr = next('\r', 0);
    bool lineEndSeen = false;
    for (std::size_t start = 0; start < bytes.size();) {
        if (nextLf < start)
            nextLf = next('\n', start);
        if (nextCr < start)
            nextCr = next('\r', start);
        const std::size_t end = std::min(nextLf, nextCr);
        const auto [ending, endLength] = lineEndAt(bytes, end);
        StoredLine line{start, end - start, 1, ending};
        if (!lineEndSeen && ending != LineEnd::None) {
            file.m_lineEnd = ending;
            lineEndSeen = true;
        }
        start = end + endLength;
        // Empty lines that follow with the same line end join this one.
        while (line.length == 0 && line.repeat < UINT32_MAX && lineEndAt(bytes, start).first == ending) {
            ++line.repeat;
            start += endLength;
        }
        file.addParsedLine(line);
    }
    return file;
}

void IniFile::addParsedLine(StoredLine line) {
    const std::size_t id = m_parsed.size();
    m_parsed.push_back(line);
    if (line.length > 0) { // most lines of a long file are empty
        const LineShape shape = shapeOf(textOf(line));
        if (shape.kind == LineKind::Section) {
            Block& opened = m_blocks.emplace_back();
            opened.first = id;
            opened.firstOfItsName = m_sections.add(0, shape.name, m_blocks.size() - 1, m_texts);
        } else if (shape.kind == LineKind::Key && m_blocks.back().firstOfItsName) {
            m_keys.add(m_blocks.size() - 1, shape.name, id, m_texts);
        }
    }
    m_blocks.back().end = m_blocks.back().addedAt = id + 1;
}

IniFile::StoredLine IniFile::store(std::string_view text, LineEnd ending) {
    const StoredLine line{m_texts.size(), text.size(), 1, ending};
    m_texts += text;
    return line;
}

std::string_view IniFile::textOf(const StoredLine& line) const {
    return {m_texts.data() + line.start, line.length};
}

const IniFile::StoredLine& IniFile::lineOf(const Block& block, std::size_t id) const {
    return id < m_parsed.size() ? m_parsed[id] : block.added[id - m_parsed.size()];
}

IniFile::StoredLine& IniFile::lineOf(Block& block, std::size_t id) {
    return const_cast<StoredLine&>(std::as_const(*this).lineOf(block, id));
}

std::size_t IniFile::findSection(std::string_view section) const {
    return m_sections.find(0, section, m_texts);
}

std::size_t IniFile::findKey(std::size_t block, std::string_view key) const {
    return m_keys.find(block, key, m_texts);
}

std::optional<std::string> IniFile::read(std::string_view section, std::string_view key) const {
    const std::size_t block = findSection(section);
    if (block == noLine)
        return std::nullopt;
    const std::size_t line = findKey(block, key);
    if (line == noLine)
        return std::nullopt;
    const std::string_view value = shapeOf(textOf(lineOf(m_blocks[block], line))).value;
    return std::string(value.substr(0, std::min(value.size(), maxValueLength)));
}

std::size_t IniFile::addLine(std::size_t blockIndex, std::string_view text) {
    Block& block = m_blocks[blockIndex];
    if (block.added.empty()) {
        // After the section's last non-blank line, so that blank lines separating it from the next stay.
        block.addedAt = block.end;
        while (block.addedAt > block.first + 1 && trimmed(textOf(m_parsed[block.addedAt - 1])).empty())
            --block.addedAt;
    }
    // A line added after the document's last line gives it the line end it may lack.
    if (block.addedAt == m_parsed.size() && !m_parsed.empty() && m_parsed.back().ending == LineEnd::None)
        m_parsed.back().ending = m_lineEnd;
    block.added.push_back(store(text, m_lineEnd));
    return m_parsed.size() + block.added.size() - 1;
}

void IniFile::write(std::string_view section, std::string_view key, std::string_view value) {
    // A value is one line: a line break in it would turn the rest into keys of their own.
    std::string keyLine = std::string(key) + "=" + std::string(value);
    std::replace_if(
        keyLine.begin(), keyLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::size_t block = findSection(section);
    if (block == noLine) {
        const bool documentEmpty = m_parsed.empty() && m_blocks.size() == 1;
        block = m_blocks.size();
        Block& added = m_blocks.emplace_back();
        added.first = added.end = added.addedAt = m_parsed.size();
        added.firstOfItsName = true;
        if (!documentEmpty)
            addLine(block, "");
        addLine(block, std::string("[").append(section).append("]"));
        m_sections.add(0, shapeOf(textOf(m_blocks[block].added.back())).name, block, m_texts);
    }
    if (const std::size_t existing = findKey(block, key); existing != noLine) {
        StoredLine& line = lineOf(m_blocks[block], existing);
        line = store(keyLine, line.ending);
        return;
    }
    const std::size_t added = addLine(block, keyLine);
    m_keys.add(block, shapeOf(textOf(m_blocks[block].added.back())).name, added, m_texts);
}

template <typename Visit> void IniFile::forEachLine(const Visit& visit) const {
    for (const Block& block : m_blocks) {
        for (std::size_t i = block.first; i < block.addedAt; ++i)
            visit(m_parsed[i]);
        for (const StoredLine& line : block.added)
            visit(line);
        for (std::size_t i = block.addedAt; i < block.end; ++i)
            visit(m_parsed[i]);
    }
}

std::string_view IniFile::endingText(LineEnd ending) {
    static constexpr std::string_view texts[] = {"", "\r\n", "\n", "\r"};
    return texts[static_cast<std::size_t>(ending)];
}

namespace {

// Appends `piece` `times` times, doubling what is already appended: a long run of empty lines costs a few
// copies rather than one per line.
void appendRepeated(std::string& out, std::string_view piece, std::size_t times) {
    const std::size_t from = out.size();
    const std::size_t total = piece.size() * times;
    if (total == 0)
        return;
    out += piece;
    while (out.size() - from < total)
        out.append(out, from, std::min(out.size() - from, total - (out.size() - from)));
}

} // namespace

std::string IniFile::text() const {
    std::string out = m_byteOrderMark;
    out.reserve(m_byteOrderMark.size() + m_texts.size()); // every byte parsed, and the texts written since
    forEachLine([&](const StoredLine& line) {
        out += textOf(line);
        appendRepeated(out, endingText(line.ending), line.repeat);
    });
    return out;
}

std::vector<IniFile::Line> IniFile::lines() const {
    std::vector<Line> all;
    forEachLine([&](const StoredLine& stored) {
        const std::string_view text = textOf(stored);
        const LineShape shape = shapeOf(text);
        for (std::uint32_t i = 0; i < stored.repeat; ++i)
            all.push_back({std::string(text), std::string(endingText(stored.ending)), shape.kind,
                           std::string(shape.name), std::string(shape.value)});
    });
    return all;
}

} // namespace quietmon
