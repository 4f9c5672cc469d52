#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// An INI document with the rules of the desktop's own profile functions: section and key names match
// without regard to case, the first of duplicate sections and keys counts, names and values are trimmed
// and a value in matching quotes loses them. Writing replaces a value where it stands, appends a new key
// at the end of its section and a new section at the end of the document; every other line, comments
// and unknown keys included, is kept as it was. Takes any bytes: NUL bytes, a UTF-8 byte-order mark,
// CR LF, LF or lone CR line ends.
class IniFile {
public:
    static constexpr std::size_t maxValueLength = 2047;

    IniFile() = default;
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
    const std::vector<Line>& lines() const { return m_lines; }

private:
    static Line classify(std::string text, std::string ending);
    std::optional<std::size_t> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(std::size_t sectionLine, std::string_view key) const;
    std::size_t sectionEnd(std::size_t sectionLine) const;
    void insertLine(std::size_t at, std::string text);

    std::string m_byteOrderMark;
    std::vector<Line> m_lines;
    std::string m_lineEnd = "\r\n"; // the document's own style, used for lines added
};

} // namespace quietmon
