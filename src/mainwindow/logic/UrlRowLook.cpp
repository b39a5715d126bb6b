#include "mainwindow/logic/UrlRowLook.h"

#include "workspace/FixedText.h"
#include "workspace/RecordLayout.h"

namespace orvex {

namespace {
char ActivityOf(std::string_view row)
{
    const std::string_view flags = UrlRowFieldView(row, UrlRowField::Flags);
    return flags.size() >= 2 ? flags[1] : '0';
}
} // namespace

UrlStateIcon StateIconOf(std::string_view row)
{
    const std::string_view status = TrimView(UrlRowFieldView(row, UrlRowField::StatusText));
    UrlStateIcon icon = UrlStateIcon::Answered;
    const std::string_view code = status.substr(0, 3);
    if ((code != "200" && code != "302") || status == "0")
        icon = UrlStateIcon::Failed;
    if (status.empty())
        icon = UrlStateIcon::NoStatus;
    const char activity = ActivityOf(row);
    if (activity == '1')
        icon = UrlStateIcon::Updating;
    else if (activity == '2')
        icon = UrlStateIcon::Checking;
    return icon;
}

std::optional<RowColour> RowBackgroundOf(std::string_view row)
{
    const char activity = ActivityOf(row);
    if (activity == '1')
        return RowColour{200, 240, 225};
    if (activity == '2')
        return RowColour{205, 240, 160};
    if (StateIconOf(row) == UrlStateIcon::Failed)
        return RowColour{250, 220, 220};
    return std::nullopt;
}

bool IsFailedRow(std::string_view row) { return StateIconOf(row) == UrlStateIcon::Failed; }

} // namespace orvex
