#include "HttpDate.h"

#include "workspace/UniqueId.h"

#include <QDateTime>

#include <array>
#include <cctype>
#include <vector>

namespace orvex::oxupdate {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                      "jul", "aug", "sep", "oct", "nov", "dec"};

bool IsLeap(long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(long year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The text split at blanks, commas and hyphens; the time stays one token.
std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '-' ||
                                   text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '-' &&
               text[i] != '\t')
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

std::optional<long> Number(std::string_view token, std::size_t minDigits, std::size_t maxDigits)
{
    if (token.size() < minDigits || token.size() > maxDigits)
        return std::nullopt;
    long value = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> Month(std::string_view token)
{
    if (token.size() != 3)
        return std::nullopt;
    std::string lower;
    for (char c : token)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (kMonths[i] == lower)
            return static_cast<int>(i) + 1;
    return std::nullopt;
}

bool Time(std::string_view token, int& hour, int& minute, int& second)
{
    if (token.size() != 8 || token[2] != ':' || token[5] != ':')
        return false;
    const auto h = Number(token.substr(0, 2), 2, 2);
    const auto m = Number(token.substr(3, 2), 2, 2);
    const auto s = Number(token.substr(6, 2), 2, 2);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 60)
        return false;
    hour = static_cast<int>(*h);
    minute = static_cast<int>(*m);
    second = static_cast<int>(std::min(*s, 59L)); // a leap second reads as :59
    return true;
}

bool IsGmt(std::string_view token)
{
    return token == "GMT" || token == "UTC" || token == "gmt" || token == "utc" ||
           token == "+0000" || token == "Z";
}

} // namespace

std::optional<std::time_t> ParseHttpDate(std::string_view text)
{
    const std::vector<std::string_view> t = Tokens(text);
    long year = 0;
    int month = 0;
    long day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    // Each form starts with a weekday name, which is not checked.
    if (t.size() == 6 && IsGmt(t[5])) {
        // "Sun, 06 Nov 1994 08:49:37 GMT" and "Sunday, 06-Nov-94 08:49:37 GMT"
        const auto d = Number(t[1], 1, 2);
        const auto m = Month(t[2]);
        const auto y = Number(t[3], 2, 4);
        if (!d || !m || !y || t[3].size() == 3 || !Time(t[4], hour, minute, second))
            return std::nullopt;
        day = *d;
        month = *m;
        year = *y;
        if (t[3].size() == 2) // two-digit years: the nearer century, as browsers read them
            year += year < 70 ? 2000 : 1900;
    } else if (t.size() == 5) {
        // "Sun Nov  6 08:49:37 1994"
        const auto m = Month(t[1]);
        const auto d = Number(t[2], 1, 2);
        const auto y = Number(t[4], 4, 4);
        if (!m || !d || !y || !Time(t[3], hour, minute, second))
            return std::nullopt;
        month = *m;
        day = *d;
        year = *y;
    } else {
        return std::nullopt;
    }
    if (year < 1601 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    const long long days = DaysFromCivil(year, static_cast<unsigned>(month),
                                         static_cast<unsigned>(day));
    return static_cast<std::time_t>(days * 86400LL + hour * 3600LL + minute * 60LL + second);
}

std::string HttpDateAsLocalText(std::string_view text)
{
    const std::optional<std::time_t> seconds = ParseHttpDate(text);
    if (!seconds)
        return {};
    const QDateTime local =
        QDateTime::fromSecsSinceEpoch(static_cast<qint64>(*seconds), Qt::UTC).toLocalTime();
    return DateTimeText(local);
}

} // namespace orvex::oxupdate
