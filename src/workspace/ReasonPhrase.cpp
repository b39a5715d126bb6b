#include "workspace/ReasonPhrase.h"

#include "workspace/FixedText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace orvex {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 41> kPhrases{{
    {100, "Continue"},
    {101, "Switching Protocols"},
    {200, "Ok"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {306, "(Unused)"},
    {307, "Temporary Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity Too Large"},
    {414, "Request-URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Requested Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
}};

} // namespace

std::string_view ReasonPhrase(int code)
{
    const auto it = std::lower_bound(kPhrases.begin(), kPhrases.end(), code,
                                     [](const auto& entry, int c) { return entry.first < c; });
    return it != kPhrases.end() && it->first == code ? it->second : std::string_view();
}

std::string StatusTextFor(std::string_view storedCode)
{
    const std::string_view code = TrimView(storedCode);
    const long long number = ParseDecimal(code, 0);
    const int asInt = number >= 0 && number <= 99999 ? static_cast<int>(number) : 0;
    std::string text(code.empty() ? std::string_view("0") : code);
    text += ' ';
    text += ReasonPhrase(asInt);
    return FitField(text, 40);
}

std::string RowStatusText(std::string_view storedCode)
{
    if (TrimView(storedCode).empty())
        return std::string(40, ' ');
    return StatusTextFor(storedCode);
}

} // namespace orvex
