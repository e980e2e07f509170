#pragma once
// One INI text held line by line, so that an edit changes only its own line and every other
// section, key, comment and blank line stays where it was. Section and key names compare
// without regard to case; the first section of a name and its first key of a name count.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

// The text without leading and trailing blanks and tabs, as names and values are read.
std::string_view trimIniBlanks(std::string_view text);

class IniDocument {
public:
    // Lines may end in CR LF or LF. A UTF-8 byte-order mark is kept for writing. A line that is
    // no UTF-8 text is read as Windows-1252 (and written back in UTF-8); a line with NUL bytes is
    // no text at all and counts as nothing.
    static IniDocument parse(std::string_view content);

    // Every line ended by CR LF.
    std::string serialize() const;

    // Whether the text had lines with NUL bytes.
    bool hadInvalidText() const { return invalidLines_ > 0; }
    // Drops those lines, so that a damaged file heals on its next write.
    void dropInvalidLines();

    // The value of a key: the text after "=", blanks and tabs around it removed, and one
    // pair of enclosing quotes ("..." or '...') removed. Empty optional when the key is missing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;

    // Sets a key; a missing key goes after the last key of its section, a missing section
    // at the end. Line breaks inside the value become blanks.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // Removes a key, or a section with everything in it; false when there was nothing.
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    bool empty() const { return lines_.empty(); }

private:
    enum class Kind { Other, Section, Key };
    struct Line {
        std::string text;
        Kind kind = Kind::Other;
        std::string name;  // folded section or key name
        bool invalid = false;
    };
    static Line classify(std::string text);
    // First line of the first section of that name, or npos.
    std::size_t findSection(const std::string& folded) const;
    std::size_t sectionEnd(std::size_t header) const;

    std::vector<Line> lines_;
    bool bom_ = false;
    std::size_t invalidLines_ = 0;
};

}  // namespace rt
