#include "check/CheckCommand.h"

#include "workspace/FixedText.h"

namespace orvex {

std::optional<std::string> BuildCheckToken(std::string_view url, const CheckProxy& proxy)
{
    std::string token;
    if (proxy.useProxy)
        token = "1" + proxy.user + ":" + proxy.password + "@";
    else
        token = "0";
    token += TrimView(url);
    if (token.size() > kMaxCheckTokenBytes)
        return std::nullopt;
    return token;
}

} // namespace orvex
