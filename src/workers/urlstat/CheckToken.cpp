#include "CheckToken.h"

namespace orvex::urlstat {

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c)
{
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// True when `text` starts with "<scheme>://".
bool StartsWithScheme(std::string_view text)
{
    if (text.empty() || !IsAsciiLetter(text.front()))
        return false;
    std::size_t i = 1;
    while (i < text.size() && IsSchemeChar(text[i]))
        ++i;
    return text.substr(i).starts_with("://");
}

// Index of the '@' that ends the password, or npos.
std::size_t FindUrlStart(std::string_view afterUser)
{
    for (std::size_t at = afterUser.find('@'); at != std::string_view::npos;
         at = afterUser.find('@', at + 1)) {
        if (StartsWithScheme(afterUser.substr(at + 1)))
            return at;
    }
    return afterUser.find('@');
}

} // namespace

std::optional<CheckToken> ParseCheckToken(std::string_view token, std::string& error)
{
    if (token.size() > kMaxTokenBytes) {
        error = "command token longer than " + std::to_string(kMaxTokenBytes) + " bytes";
        return std::nullopt;
    }
    if (token.empty()) {
        error = "empty command token";
        return std::nullopt;
    }

    CheckToken result;
    const std::string_view rest = token.substr(1);
    switch (token.front()) {
    case '0':
        result.url = rest;
        return result;
    case '1':
        break;
    default:
        error = "command token must start with the proxy flag 0 or 1";
        return std::nullopt;
    }

    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) {
        error = "proxy flag 1 needs <user>:<password>@ before the URL";
        return std::nullopt;
    }
    const std::string_view afterUser = rest.substr(colon + 1);
    const std::size_t at = FindUrlStart(afterUser);
    if (at == std::string_view::npos) {
        error = "proxy flag 1 needs <user>:<password>@ before the URL";
        return std::nullopt;
    }
    result.useProxy = true;
    result.proxyUser = rest.substr(0, colon);
    result.proxyPassword = afterUser.substr(0, at);
    result.url = afterUser.substr(at + 1);
    return result;
}

} // namespace orvex::urlstat
