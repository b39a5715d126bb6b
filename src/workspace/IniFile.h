#pragma once

#include "workspace/Status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// An INI document that keeps every line in file order, so a file edited by
// hand (comments, blank lines, keys we do not know) survives our writes.
//
// Reading follows the Windows private-profile rules the file format comes
// from: `[Section]` headers, `key=value` lines with key and value trimmed,
// names matched case-insensitively, values taken as they are (no quoting, no
// escaping). Sections that appear twice act as one; the first occurrence of a
// key wins. A header missing its closing bracket still starts a section.
// Lines starting with ';', lines without '=' and entries before the
// first header are kept but never read.
class IniFile
{
public:
    // Lines may end in CR LF, CR or LF; a leading UTF-8 byte order mark is dropped.
    static IniFile Parse(std::string_view bytes);

    // Replaces the document with the file's content. A missing file gives an
    // empty document and is not an error; an unreadable one leaves the
    // document unchanged.
    Status Load(const std::filesystem::path& file);

    // Writes through a temporary file in the same folder that replaces the old
    // file only once complete, so a crash never leaves a half-written file.
    Status Save(const std::filesystem::path& file) const;

    // Every line followed by CR LF.
    std::string serialize() const;

    bool empty() const { return lines_.empty(); }

    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Missing key or empty value gives the fallback. Otherwise the value's
    // leading sign and digits are read (clamped to the int range); a value
    // that does not start with digits reads as 0.
    int intValue(std::string_view section, std::string_view key, int fallback) const;

    // Read as an integer: true when not 0.
    bool boolValue(std::string_view section, std::string_view key, bool fallback) const;

    // Replaces the key's value where it stands, or adds the key after the last
    // line of its section, or adds the section at the end of the document.
    // Line breaks in the value become blanks: they would split the entry.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    void setInt(std::string_view section, std::string_view key, int value);
    void setBool(std::string_view section, std::string_view key, bool value);

private:
    enum class Kind { Other, Section, Entry };
    struct Line
    {
        Kind kind = Kind::Other;
        std::string text;  // the line as written to the file
        std::string name;  // section or key name, folded for matching
        std::string value; // entry value, trimmed
    };

    static Line ParseLine(std::string_view text);
    // Index of the entry line, or lines_.size() when the key is absent.
    std::size_t findEntry(std::string_view section, std::string_view key) const;

    std::vector<Line> lines_;
};

} // namespace orvex
