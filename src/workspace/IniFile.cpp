#include "workspace/IniFile.h"

#include "workspace/FileBytes.h"
#include "workspace/FixedText.h"

#include <QFile>
#include <QSaveFile>

#include <climits>
#include <system_error>

namespace orvex {

namespace {

bool IsBlank(std::string_view text)
{
    return TrimView(text).empty();
}

std::string Describe(const std::filesystem::path& file)
{
    return "\"" + file.string() + "\"";
}

} // namespace

IniFile::Line IniFile::ParseLine(std::string_view text)
{
    Line line;
    line.text = std::string(text);
    const std::string_view body = TrimView(text);
    if (body.empty() || body.front() == ';')
        return line;
    if (body.front() == '[') {
        // A header missing its ']' still starts a section: the entries below it
        // must not be taken for keys of the section before.
        const std::size_t close = body.find(']');
        const std::size_t length = close == std::string_view::npos ? body.npos : close - 1;
        line.kind = Kind::Section;
        line.name = LowerText(TrimView(body.substr(1, length)));
        return line;
    }
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos)
        return line;
    const std::string_view key = TrimView(body.substr(0, equals));
    if (key.empty())
        return line;
    line.kind = Kind::Entry;
    line.name = LowerText(key);
    line.value = TrimText(body.substr(equals + 1));
    return line;
}

IniFile IniFile::Parse(std::string_view bytes)
{
    IniFile ini;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    bool inSection = false;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        Line line = ParseLine(bytes.substr(0, end));
        if (line.kind == Kind::Section)
            inSection = true;
        else if (line.kind == Kind::Entry && !inSection)
            line = Line{Kind::Other, std::move(line.text), {}, {}};
        ini.lines_.push_back(std::move(line));
        if (end == std::string_view::npos)
            break;
        const bool crlf = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
        bytes.remove_prefix(end + (crlf ? 2 : 1));
    }
    return ini;
}

Status IniFile::Load(const std::filesystem::path& file)
{
    std::error_code error;
    const auto state = std::filesystem::status(file, error);
    if (state.type() == std::filesystem::file_type::not_found) {
        lines_.clear();
        return Status::Ok();
    }
    if (error || std::filesystem::is_directory(state))
        return Status::Error("Cannot read the settings file " + Describe(file) + ".");
    const std::optional<std::string> bytes = ReadFileBytes(file);
    if (!bytes)
        return Status::Error("Cannot read the settings file " + Describe(file) + ".");
    *this = Parse(*bytes);
    return Status::Ok();
}

Status IniFile::Save(const std::filesystem::path& file) const
{
    QSaveFile out(QFile::decodeName(file.c_str()));
    const std::string bytes = serialize();
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !out.commit()) {
        return Status::Error("Cannot write the settings file " + Describe(file) + ": " +
                             out.errorString().toStdString());
    }
    return Status::Ok();
}

std::string IniFile::serialize() const
{
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += "\r\n";
    }
    return out;
}

std::size_t IniFile::findEntry(std::string_view section, std::string_view key) const
{
    const std::string wantedSection = LowerText(TrimView(section));
    const std::string wantedKey = LowerText(TrimView(key));
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section)
            inSection = line.name == wantedSection;
        else if (inSection && line.kind == Kind::Entry && line.name == wantedKey)
            return i;
    }
    return lines_.size();
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const std::size_t at = findEntry(section, key);
    if (at == lines_.size())
        return std::nullopt;
    return lines_[at].value;
}

int IniFile::intValue(std::string_view section, std::string_view key, int fallback) const
{
    const std::optional<std::string> text = value(section, key);
    if (!text || text->empty())
        return fallback;
    std::string_view digits = *text;
    const bool negative = digits.front() == '-';
    if (digits.front() == '-' || digits.front() == '+')
        digits.remove_prefix(1);
    long long number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            break;
        // Saturate early: anything past the int range is clamped below anyway.
        if (number <= INT_MAX)
            number = number * 10 + (c - '0');
    }
    if (negative)
        number = -number;
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

bool IniFile::boolValue(std::string_view section, std::string_view key, bool fallback) const
{
    return intValue(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string cleanKey = TrimText(key);
    const std::string cleanValue = TrimText(ReplaceLineBreaks(std::string(value)));
    Line entry = ParseLine(cleanKey + "=" + cleanValue);

    const std::size_t existing = findEntry(section, key);
    if (existing != lines_.size()) {
        lines_[existing] = std::move(entry);
        return;
    }

    const std::string wantedSection = LowerText(TrimView(section));
    std::size_t header = 0;
    while (header < lines_.size() &&
           !(lines_[header].kind == Kind::Section && lines_[header].name == wantedSection))
        ++header;
    if (header == lines_.size()) {
        // Keep sections visually apart, as a person editing the file would.
        if (!lines_.empty() && !IsBlank(lines_.back().text))
            lines_.push_back(ParseLine(""));
        lines_.push_back(ParseLine("[" + TrimText(section) + "]"));
        lines_.push_back(std::move(entry));
        return;
    }
    std::size_t next = header + 1;
    while (next < lines_.size() && lines_[next].kind != Kind::Section)
        ++next;
    // New keys go before the blank lines that separate this section from the next.
    std::size_t insertAt = next;
    while (insertAt > header + 1 && IsBlank(lines_[insertAt - 1].text))
        --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

void IniFile::setInt(std::string_view section, std::string_view key, int value)
{
    setValue(section, key, std::to_string(value));
}

void IniFile::setBool(std::string_view section, std::string_view key, bool value)
{
    setValue(section, key, value ? "1" : "0");
}

} // namespace orvex
