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
    row.append(record.substr(0, std::min(record.size(), kProjectRecordLength)));
    row += StoreIndexText(index);
    return row;
}

std::string BuildUrlRow(std::string_view record, std::size_t index)
{
    auto field = [record](int f) { return UrlFieldView(record, f); };
    const std::string_view flags = field(UrlField::Flags);
    const std::string_view url = TrimView(field(UrlField::Url));

    std::string row;
    row.reserve(kUrlRowLength + (url.size() > kRowUrlWidth ? url.size() - kRowUrlWidth : 0));
    row += flags;
    row += StoreIndexText(index);
    row += field(UrlField::Id);
    row += field(UrlField::Created);
    row += PadRight(ResultWord(flags.size() >= 5 ? flags[4] : ' '), 16);
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
