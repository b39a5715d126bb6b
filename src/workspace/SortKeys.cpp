#include "workspace/SortKeys.h"

#include "workspace/RecordLayout.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <cstdint>

namespace orvex {

namespace {

// A text column's key part: the field lower-cased, kept at its full width.
std::string LoweredField(std::string_view field, std::size_t width)
{
    std::string lowered = LowerText(field);
    if (lowered.size() == field.size())
        return PadRight(lowered, width);
    // Lower-casing changed the byte length: refit on a character boundary.
    return PadRight(Utf8Prefix(lowered, width), width);
}

// "MM/dd/yyyy hh:mm:ss" as year, month, day, time: 16 bytes.
std::string DateKeyPart(std::string_view text)
{
    const std::string padded = PadRight(text.substr(0, std::min<std::size_t>(text.size(), 19)), 19);
    std::string_view v(padded);
    std::string out;
    out.reserve(16);
    out += v.substr(6, 4);
    out += v.substr(0, 2);
    out += v.substr(3, 2);
    out += v.substr(11, 8);
    return out;
}

// Eight key bytes from pos as one number that orders like CompareSortKeys
// orders those bytes (signed bytes, so the top bit is flipped).
std::uint64_t KeyHead(std::string_view key, std::size_t pos)
{
    std::uint64_t head = 0;
    for (std::size_t j = 0; j < 8; ++j) {
        const std::size_t at = pos + j;
        const unsigned byte = at < key.size() ? static_cast<unsigned char>(key[at]) ^ 0x80u : 0u;
        head = (head << 8) | byte;
    }
    return head;
}

template <typename Column>
void SortRows(RecordList& rows, Column column, bool ascending,
              std::string (*makeKey)(std::string_view, Column))
{
    if (rows.size() < 2)
        return;
    std::vector<std::string> keys;
    keys.reserve(rows.size());
    for (const std::string& row : rows)
        keys.push_back(makeKey(row, column));

    // Bytes that every key shares decide nothing; the eight after them decide
    // most comparisons without touching the keys themselves.
    std::size_t common = keys.front().size();
    for (const std::string& key : keys) {
        std::size_t n = 0;
        while (n < common && n < key.size() && key[n] == keys.front()[n])
            ++n;
        common = n;
    }
    struct Entry
    {
        std::uint64_t head;
        std::size_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(rows.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        entries.push_back({KeyHead(keys[i], common), i});
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        int c = a.head == b.head ? CompareSortKeys(keys[a.index], keys[b.index])
                                 : (a.head < b.head ? -1 : 1);
        return ascending ? c < 0 : c > 0;
    });

    RecordList sorted;
    sorted.reserve(rows.size());
    for (const Entry& entry : entries)
        sorted.push_back(std::move(rows[entry.index]));
    rows = std::move(sorted);
}

} // namespace

std::optional<UrlSortColumn> UrlSortColumnFromCaption(std::string_view caption)
{
    if (caption == "URL")
        return UrlSortColumn::Url;
    if (caption == "Title")
        return UrlSortColumn::Title;
    if (caption == "Created")
        return UrlSortColumn::Created;
    if (caption == "URL Status")
        return UrlSortColumn::Status;
    if (caption == "Updated")
        return UrlSortColumn::Updated;
    return std::nullopt;
}

std::optional<ProjectSortColumn> ProjectSortColumnFromCaption(std::string_view caption)
{
    if (caption == "Title")
        return ProjectSortColumn::Title;
    if (caption == "Created")
        return ProjectSortColumn::Created;
    if (caption == "Updated")
        return ProjectSortColumn::Updated;
    if (caption == "Description")
        return ProjectSortColumn::Description;
    return std::nullopt;
}

std::string UrlSortKey(std::string_view row, UrlSortColumn column)
{
    std::string key;
    switch (column) {
    case UrlSortColumn::Url:
        key = LoweredField(UrlRowFieldView(row, UrlRowField::Url), 512);
        break;
    case UrlSortColumn::Title:
        key = LoweredField(UrlRowFieldView(row, UrlRowField::Title), 256);
        break;
    case UrlSortColumn::Created:
        key = DateKeyPart(UrlRowFieldView(row, UrlRowField::Created));
        break;
    case UrlSortColumn::Status:
        key = LoweredField(UrlRowFieldView(row, UrlRowField::StatusText), 40);
        break;
    case UrlSortColumn::Updated:
        key = DateKeyPart(UrlRowFieldView(row, UrlRowField::Updated));
        break;
    }
    key += PadRight(UrlRowFieldView(row, UrlRowField::StoreIndex), kStoreIndexWidth);
    return key;
}

std::string ProjectSortKey(std::string_view row, ProjectSortColumn column)
{
    std::string key;
    switch (column) {
    case ProjectSortColumn::Title:
        key = LoweredField(ProjectFieldView(row, ProjectField::Title), 128);
        break;
    case ProjectSortColumn::Created:
        key = DateKeyPart(ProjectFieldView(row, ProjectField::Created));
        break;
    case ProjectSortColumn::Updated:
        key = DateKeyPart(ProjectFieldView(row, ProjectField::Updated));
        break;
    case ProjectSortColumn::Description:
        key = LoweredField(ProjectFieldView(row, ProjectField::Description), 256);
        break;
    }
    key += PadRight(ProjectFieldView(row, ProjectField::StoreIndex), kStoreIndexWidth);
    return key;
}

int CompareSortKeys(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    // Skip equal stretches eight bytes at a time: keys of blank fields share long runs.
    for (; i + 8 <= n; i += 8) {
        if (std::memcmp(a.data() + i, b.data() + i, 8) != 0)
            break;
    }
    for (; i < n; ++i) {
        const auto x = static_cast<signed char>(a[i]);
        const auto y = static_cast<signed char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

void SortUrlRows(RecordList& rows, UrlSortColumn column, bool ascending)
{
    SortRows(rows, column, ascending, &UrlSortKey);
}

void SortProjectRows(RecordList& rows, ProjectSortColumn column, bool ascending)
{
    SortRows(rows, column, ascending, &ProjectSortKey);
}

} // namespace orvex
