#include "mainwindow/logic/DetailText.h"

#include "workspace/FixedText.h"
#include "workspace/ProjectUrls.h"
#include "workspace/RecordLayout.h"

namespace orvex {

std::string ContentLengthText(std::string_view properties, char decimalPoint)
{
    const std::string_view stored = TrimView(properties.substr(0, std::min<std::size_t>(8, properties.size())));
    if (stored == "0")
        return {};
    long long bytes = ParseDecimal(stored, 0);
    if (bytes < 0)
        bytes = 0;
    const long long thousandths = (bytes * 1000 + 512) / 1024; // halves up
    std::string text = std::to_string(thousandths / 1000);
    std::string fraction = std::to_string(1000 + thousandths % 1000).substr(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += decimalPoint + fraction;
    return text + " KB";
}

std::string EditedUrlRow(std::string_view row, std::string_view newUrl, std::string_view now)
{
    RecordList rows{std::string(row)};
    SetUrlRowField(rows, 0, EditedUrlFlags(UrlRowFieldView(row, UrlRowField::Flags), newUrl),
                   UrlRowField::Flags);
    SetUrlRowField(rows, 0, now, UrlRowField::Created);
    for (int field : {UrlRowField::Result, UrlRowField::Captured, UrlRowField::StatusText,
                      UrlRowField::Updated, UrlRowField::Title, UrlRowField::Keywords,
                      UrlRowField::Description, UrlRowField::Properties})
        SetUrlRowField(rows, 0, "", field);
    SetUrlRowField(rows, 0, newUrl, UrlRowField::Url);
    return rows.front();
}

} // namespace orvex
