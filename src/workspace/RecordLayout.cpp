#include "workspace/RecordLayout.h"

#include <array>
#include <cstdio>

namespace orvex {

namespace {

constexpr std::array<FieldSpec, 10> kProjectFields{{
    {1, 8}, {9, 19}, {28, 8}, {36, 19}, {55, 19}, {74, 100}, {174, 100}, {274, 128}, {402, 256},
    {658, 8},
}};

constexpr std::array<FieldSpec, 17> kUrlFields{{
    {1, 8}, {9, 19}, {28, 8}, {36, 19}, {55, 19}, {74, 19}, {93, 100}, {193, 16}, {209, 16},
    {225, 4}, {229, 60}, {289, 256}, {545, 256}, {801, 256}, {1057, 256}, {1313, 91}, {1404, 0},
}};

constexpr std::array<FieldSpec, 15> kUrlRowFields{{
    {1, 8}, {9, 8}, {17, 19}, {36, 19}, {55, 16}, {71, 19}, {90, 40}, {130, 19}, {149, 256},
    {405, 256}, {661, 8}, {669, 256}, {925, 256}, {1181, 91}, {1272, 512},
}};

template <std::size_t N>
FieldSpec SpecOf(const std::array<FieldSpec, N>& table, int field)
{
    if (field < 1 || field > static_cast<int>(N))
        return {0, 0};
    return table[static_cast<std::size_t>(field - 1)];
}

std::string_view Slice(std::string_view line, FieldSpec layout)
{
    if (layout.first == 0 || line.size() < layout.first)
        return {};
    const std::size_t begin = layout.first - 1;
    return layout.width == 0 ? line.substr(begin) : line.substr(begin, layout.width);
}

// Replaces the field's columns by an already prepared value. A short line
// keeps whatever prefix it has, so the value lands right after it.
void Splice(std::string& line, FieldSpec layout, std::string_view value, bool dropTail)
{
    const std::size_t begin = layout.first - 1;
    std::string out(std::string_view(line).substr(0, std::min(begin, line.size())));
    out.append(value);
    if (!dropTail && layout.width != 0 && line.size() > begin + layout.width)
        out.append(std::string_view(line).substr(begin + layout.width));
    line = std::move(out);
}

bool InRange(const RecordList& list, long long index)
{
    return index >= 0 && static_cast<unsigned long long>(index) < list.size();
}

} // namespace

FieldSpec ProjectFieldSpec(int field) { return SpecOf(kProjectFields, field); }
FieldSpec UrlFieldSpec(int field) { return SpecOf(kUrlFields, field); }
FieldSpec UrlRowFieldSpec(int field) { return SpecOf(kUrlRowFields, field); }

std::string_view ProjectFieldView(std::string_view line, int field)
{
    return Slice(line, ProjectFieldSpec(field));
}

std::string_view UrlFieldView(std::string_view line, int field)
{
    return Slice(line, UrlFieldSpec(field));
}

std::string_view UrlRowFieldView(std::string_view row, int field)
{
    std::string_view raw = Slice(row, UrlRowFieldSpec(field));
    if (field == UrlRowField::Url && row.size() > kUrlRowLength) {
        // A URL longer than its column: cut where a character begins.
        raw = Utf8Prefix(row.substr(UrlRowFieldSpec(field).first - 1), kRowUrlWidth);
    }
    return raw;
}

std::string GetProjectField(std::string_view line, int field)
{
    if (field > ProjectField::Description)
        return {};
    return std::string(ProjectFieldView(line, field));
}

std::string GetProjectRowField(std::string_view row, int field)
{
    return std::string(ProjectFieldView(row, field));
}

std::string GetUrlField(std::string_view line, int field)
{
    return std::string(UrlFieldView(line, field));
}

std::string GetUrlRowField(std::string_view row, int field)
{
    return std::string(UrlRowFieldView(row, field));
}

void SetProjectField(RecordList& records, long long index, std::string_view value, int field)
{
    if (!InRange(records, index) || field < 1 || field > ProjectField::Description)
        return;
    const FieldSpec layout = ProjectFieldSpec(field);
    std::string& line = records[static_cast<std::size_t>(index)];
    Splice(line, layout, ReplaceLineBreaks(FitField(value, layout.width)),
           field == ProjectField::Description);
}

void SetUrlField(RecordList& records, long long index, std::string_view value, int field)
{
    if (!InRange(records, index) || field < 1 || field > UrlField::Url)
        return;
    const FieldSpec layout = UrlFieldSpec(field);
    std::string& line = records[static_cast<std::size_t>(index)];
    if (field == UrlField::Url) {
        std::string out = line.substr(0, std::min(kUrlFixedLength, line.size()));
        out += ReplaceLineBreaks(TrimText(value));
        line = std::move(out);
        return;
    }
    Splice(line, layout, ReplaceLineBreaks(FitField(value, layout.width)), false);
}

void SetUrlRowField(RecordList& rows, long long index, std::string_view value, int field)
{
    if (!InRange(rows, index) || field < 1 || field > UrlRowField::Url)
        return;
    const FieldSpec layout = UrlRowFieldSpec(field);
    std::string& row = rows[static_cast<std::size_t>(index)];
    const bool isUrl = field == UrlRowField::Url;
    // The row's Url column ends the row; a longer URL stored there before is replaced whole.
    Splice(row, layout, ReplaceLineBreaks(FitField(value, layout.width)), isUrl);
}

std::string StoreIndexText(std::size_t index)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%8zu", index);
    return buffer;
}

std::string MakeProjectRecord(std::string_view id, std::string_view folder,
                              std::string_view created, std::string_view title,
                              std::string_view description)
{
    std::string record;
    record.reserve(kProjectRecordLength);
    record += "00000000";
    record += FitField(id, kIdLength);
    record += FitField(folder, kFolderLength);
    record += FitField(created, 19);
    record.append(19 + 100 + 100, ' ');
    record += FitField(title, 128);
    record += FitField(description, 256);
    record = ReplaceLineBreaks(std::move(record));
    if (record.size() != kProjectRecordLength)
        return {};
    return record;
}

std::string MakeUrlRecord(std::string_view id, std::string_view folder, std::string_view created,
                          std::string_view url)
{
    std::string record;
    record.reserve(kUrlFixedLength + url.size());
    record += "0000 000";
    record += FitField(id, kIdLength);
    record += FitField(folder, kFolderLength);
    record += FitField(created, 19);
    record.append(19 + 19, ' ');    // Updated, Captured
    record.append(100, '0');        // Reserved7
    record.append(16 + 16 + 4, ' '); // Reserved8, Reserved9, StatusCode
    record.append(60 + 256 + 256 + 256 + 256 + 91, ' ');
    record += TrimText(url);
    return ReplaceLineBreaks(std::move(record));
}

std::string PackProperties(const HttpProperties& p)
{
    return FitField(p.contentLength, 8) + FitField(p.contentType, 40) + FitField(p.charset, 24) +
           FitField(p.lastModified, 19);
}

HttpProperties UnpackProperties(std::string_view field)
{
    auto part = [field](std::size_t first, std::size_t width) {
        return field.size() < first ? std::string() : TrimText(field.substr(first - 1, width));
    };
    return {part(1, 8), part(9, 40), part(49, 24), part(73, 19)};
}

} // namespace orvex
