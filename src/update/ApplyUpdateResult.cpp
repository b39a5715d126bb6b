#include "update/ApplyUpdateResult.h"

#include "update/ResultBlock.h"
#include "workspace/ReasonPhrase.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

namespace orvex {

namespace {

constexpr std::size_t kFlagActivity = 1; // Flags character 2
constexpr std::size_t kFlagResult = 4;   // Flags character 5

char ResultCode(std::string_view code)
{
    return code.size() == 1 && code[0] >= '0' && code[0] <= '7' ? code[0] : '2';
}

bool IsSuccessStatus(std::string_view statusText)
{
    const std::string_view head = statusText.substr(0, 3);
    return head == "200" || head == "302";
}

} // namespace

UpdateApplyOutcome ApplyUpdateResult(RecordList& rows, RecordList& records, long long rowIndex,
                                     std::string_view blockText)
{
    UpdateApplyOutcome outcome;
    if (rowIndex < 0 || static_cast<unsigned long long>(rowIndex) >= rows.size())
        return outcome;
    outcome.applied = true;

    const ResultBlock block = ParseBlockText(ReplaceLineBreaks(std::string(blockText)));
    const std::string& oldRow = rows[static_cast<std::size_t>(rowIndex)];

    std::string flags = PadRight(UrlRowFieldView(oldRow, UrlRowField::Flags), 8);
    flags[kFlagActivity] = '0';
    flags[kFlagResult] = ResultCode(block.code);

    const std::string statusText = StatusTextFor(block.status);
    if (!IsSuccessStatus(statusText))
        flags[kFlagResult] = '0';
    outcome.failed = flags[kFlagResult] == '0';

    const std::string properties =
        PackProperties({block.contentLength.empty() ? std::string("0") : block.contentLength,
                        block.contentType, block.charset, block.lastModified});

    // The new row is built aside: it replaces the old one only when its record exists.
    RecordList built{oldRow};
    const auto set = [&built](std::string_view value, int field) {
        SetUrlRowField(built, 0, value, field);
    };
    set(flags, UrlRowField::Flags);
    set(ResultWord(flags[kFlagResult]), UrlRowField::Result);
    set(block.captured, UrlRowField::Captured);
    set(statusText, UrlRowField::StatusText);
    set(block.updated, UrlRowField::Updated);
    set(block.title, UrlRowField::Title);
    set(block.keywords, UrlRowField::Keywords);
    set(block.description, UrlRowField::Description);
    set(properties, UrlRowField::Properties);

    const long long storeIndex = RowStoreIndex(UrlRowFieldView(oldRow, UrlRowField::StoreIndex));
    if (storeIndex < 0 || static_cast<unsigned long long>(storeIndex) >= records.size())
        return outcome;

    // The row's URL runs past its column when it is long; the record keeps it whole.
    const std::size_t urlFirst = UrlRowFieldSpec(UrlRowField::Url).first - 1;
    const std::string_view url = built[0].size() > urlFirst
                                     ? std::string_view(built[0]).substr(urlFirst)
                                     : std::string_view();

    SetUrlField(records, storeIndex, flags, UrlField::Flags);
    SetUrlField(records, storeIndex, block.updated, UrlField::Updated);
    SetUrlField(records, storeIndex, block.captured, UrlField::Captured);
    SetUrlField(records, storeIndex, block.status, UrlField::StatusCode);
    SetUrlField(records, storeIndex, block.title, UrlField::Title);
    SetUrlField(records, storeIndex, block.keywords, UrlField::Keywords);
    SetUrlField(records, storeIndex, block.description, UrlField::Description);
    SetUrlField(records, storeIndex, properties, UrlField::Properties);
    SetUrlField(records, storeIndex, url, UrlField::Url);
    outcome.recordChanged = true;

    rows[static_cast<std::size_t>(rowIndex)] = std::move(built[0]);
    return outcome;
}

} // namespace orvex
