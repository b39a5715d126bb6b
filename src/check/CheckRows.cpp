#include "check/CheckRows.h"

#include "workspace/ReasonPhrase.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

namespace orvex {

namespace {

constexpr std::size_t kFlagPos = 1; // Flags position 2, 0-based
const FieldSpec kStatusText = UrlRowFieldSpec(UrlRowField::StatusText);
const FieldSpec kUpdated = UrlRowFieldSpec(UrlRowField::Updated);
const std::size_t kAfterUpdated = kUpdated.first - 1 + kUpdated.width; // column 149, 0-based

// A damaged short row is padded so that the columns written land where they belong.
void PadToColumns(std::string& row)
{
    if (row.size() < kAfterUpdated)
        row.resize(kAfterUpdated, ' ');
}

} // namespace

std::string CheckStatusText(int exitCode)
{
    std::string text = std::to_string(exitCode);
    text += ' ';
    text += ReasonPhrase(exitCode);
    return PadRight(text, kStatusText.width).substr(0, kStatusText.width);
}

void MarkRowChecking(std::string& row)
{
    PadToColumns(row);
    row[kFlagPos] = '2';
    row.replace(kStatusText.first - 1, kStatusText.width, kCheckingText);
}

bool ApplyCheckResult(RecordList& rows, std::size_t rowIndex, RecordList& records, int exitCode,
                      std::string_view timeText)
{
    if (rowIndex >= rows.size())
        return false;
    std::string taken = rows[rowIndex];
    PadToColumns(taken);
    taken[kFlagPos] = '0';
    const std::string code = std::to_string(exitCode);
    const std::string updated = PadRight(timeText, kUpdated.width).substr(0, kUpdated.width);

    std::string row = taken.substr(0, kStatusText.first - 1);
    row += CheckStatusText(exitCode);
    row += updated;
    row.append(taken, kAfterUpdated);

    const long long index = RowStoreIndex(UrlRowFieldView(taken, UrlRowField::StoreIndex));
    if (index < 0)
        return false;
    rows[rowIndex] = std::move(row);
    SetUrlField(records, index, code, UrlField::StatusCode);
    SetUrlField(records, index, updated, UrlField::Updated);
    return true;
}

std::vector<std::size_t> ClearCheckMarks(RecordList& rows)
{
    std::vector<std::size_t> cleared;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string& row = rows[i];
        if (row.size() <= kFlagPos || row[kFlagPos] != '2')
            continue;
        PadToColumns(row);
        row[kFlagPos] = '0';
        row.replace(kStatusText.first - 1, kStatusText.width, kStatusText.width, ' ');
        cleared.push_back(i);
    }
    return cleared;
}

} // namespace orvex
