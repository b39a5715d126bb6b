#include "workspace/UrlRows.h"

#include "workspace/ReasonPhrase.h"
#include "workspace/RecordLayout.h"

namespace orvex {

std::string_view ResultWord(char captureResult)
{
    if (captureResult == '0')
        return "Failed";
    if (captureResult >= '1' && captureResult <= '6')
        return "Has errors";
    if (captureResult == '7')
        return "Ok";
    return {};
}

std::string BuildProjectRow(std::string_view record, std::size_t index)
{
    std::string row;
    row.reserve(kProjectRowLength);
    // A damaged short record is padded, so that the StoreIndex stays at its column.
    row += PadRight(record.substr(0, std::min(record.size(), kProjectRecordLength)),
                    kProjectRecordLength);
    row += StoreIndexText(index);
    return row;
}

std::string BuildUrlRow(std::string_view record, std::size_t index)
{
    // Fields of a damaged short record are padded to their widths, so that every
    // row field, the StoreIndex above all, stays at its own column.
    auto field = [record](int f) { return PadRight(UrlFieldView(record, f), UrlFieldSpec(f).width); };
    const std::string flags = field(UrlField::Flags);
    const std::string_view url = TrimView(UrlFieldView(record, UrlField::Url));

    std::string row;
    row.reserve(kUrlRowLength + (url.size() > kRowUrlWidth ? url.size() - kRowUrlWidth : 0));
    row += flags;
    row += StoreIndexText(index);
    row += field(UrlField::Id);
    row += field(UrlField::Created);
    row += PadRight(ResultWord(flags[4]), 16);
    row += field(UrlField::Captured);
    row += RowStatusText(field(UrlField::StatusCode));
    row += field(UrlField::Updated);
    row += field(UrlField::Title);
    row += field(UrlField::Reserved12);
    row += field(UrlField::Folder);
    row += field(UrlField::Keywords);
    row += field(UrlField::Description);
    row += field(UrlField::Properties);
    row += PadRight(url, kRowUrlWidth);
    return row;
}

void BuildProjectRows(const RecordList& records, RecordList& rows)
{
    rows.clear();
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        rows.push_back(BuildProjectRow(records[i], i));
}

void BuildUrlRows(const RecordList& records, RecordList& rows)
{
    rows.clear();
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        rows.push_back(BuildUrlRow(records[i], i));
}

long long RowStoreIndex(std::string_view storeIndexField)
{
    return ParseDecimal(storeIndexField, -1);
}

} // namespace orvex
