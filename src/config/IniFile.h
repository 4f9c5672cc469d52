#pragma once

#include "config/NameIndex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quietmon {

// An INI document with the rules of the desktop's own profile functions: section and key names match
// without regard to case, the first of duplicate sections and keys counts, names and values are trimmed
// and a value in matching quotes loses them. Writing replaces a value where it stands, appends a new key
// at the end of its section and a new section at the end of the document; every other line, comments
// and unknown keys included, is kept as it was. Takes any bytes: NUL bytes, a UTF-8 byte-order mark,
// CR LF, LF or lone CR line ends.
//
// Parsing indexes every section and key once, so reading and writing a key costs the same however long
// the document is: a hand-made file of a megabyte loads in one pass over its lines.
class IniFile {
public:
    static constexpr std::size_t maxValueLength = 2047;

    IniFile();
    static IniFile parse(std::string_view bytes);

    // The value of `key` in `section`, at most `maxValueLength` bytes; nothing when the key is absent.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    void write(std::string_view section, std::string_view key, std::string_view value);
    std::string text() const;

    // How the reader took each line, for reports on a hand-edited file: line n of the document is
    // element n - 1. A line opening with "[" is a section header, "]" or not; any other line with "=" is
    // a key (of the section above it, if there is one); every other line is ignored.
    enum class LineKind { Other, Section, Key };
    struct Line {
        std::string text;   // without the line end
        std::string ending; // "\r\n", "\n", "\r" or empty for a last line without one
        LineKind kind = LineKind::Other;
        std::string name;  // section or key name, trimmed
        std::string value; // key value, trimmed and unquoted, not cut to `maxValueLength`
    };
    // A copy of every line, in document order.
    std::vector<Line> lines() const;

private:
    enum class LineEnd : std::uint8_t { None, CrLf, Lf, Cr };
    // A line is where its text stands in `m_texts`, so that a megabyte of lines costs no allocation per
    // line: the parsed document comes first there, then each line written since. A run of empty lines
    // with one kind of line end is one entry.
    struct StoredLine {
        std::size_t start = 0;
        std::size_t length = 0;
        std::uint32_t repeat = 1;
        LineEnd ending = LineEnd::None;
    };
    // Line ids: an index of m_parsed, or m_parsed.size() + an index of the block's `added`.
    static constexpr std::size_t noLine = NameIndex::none;
    // A section header with the lines up to the next one; the first block holds the lines before any
    // header. Lines written into a block are kept apart in `added`, which stands at `addedAt` among its
    // parsed lines: parsed lines never move, so every id stays valid.
    struct Block {
        std::size_t first = 0; // its parsed lines are [first, end) of m_parsed
        std::size_t end = 0;
        std::size_t addedAt = 0;
        bool firstOfItsName = false; // only the first section of a name is read and written
        std::vector<StoredLine> added;
    };
    static std::string_view endingText(LineEnd ending);
    // The line end that begins at `at`, with its length; none where no line end begins.
    static std::pair<LineEnd, std::size_t> lineEndAt(std::string_view bytes, std::size_t at);
    void addParsedLine(StoredLine line);
    StoredLine store(std::string_view text, LineEnd ending);
    std::string_view textOf(const StoredLine& line) const;
    StoredLine& lineOf(Block& block, std::size_t id);
    const StoredLine& lineOf(const Block& block, std::size_t id) const;
    std::size_t findSection(std::string_view section) const;
    std::size_t findKey(std::size_t block, std::string_view key) const;
    // Adds a line at the end of the lines written into `block`, after its last non-blank parsed line;
    // returns its id.
    std::size_t addLine(std::size_t block, std::string_view text);
    // Calls `visit` with each stored line in document order.
    template <typename Visit> void forEachLine(const Visit& visit) const;

    std::string m_byteOrderMark;
    std::string m_texts;
    std::vector<StoredLine> m_parsed;
    std::vector<Block> m_blocks;
    NameIndex m_sections;              // section name to the first block of that name
    NameIndex m_keys;                  // key name, in the first block of a section name, to its first line
    LineEnd m_lineEnd = LineEnd::CrLf; // the document's own style, used for lines added
};

} // namespace quietmon
