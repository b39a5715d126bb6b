#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

// What the status checker needs besides the URL: whether it goes through the
// proxy, and with which credentials. Server and port it reads from orx.ini.
struct CheckProxy
{
    bool useProxy = false;
    std::string user;
    std::string password;
};

// A check command must fit a 2048-byte buffer.
inline constexpr std::size_t kMaxCheckTokenBytes = 2048;

// The checker's single argument: "0" and the URL without the proxy, or "1",
// user, ":", password, "@" and the URL with it (empty credentials keep the
// ":" and "@"). The URL is trimmed. Nothing when the result would not fit.
std::optional<std::string> BuildCheckToken(std::string_view url, const CheckProxy& proxy);

} // namespace orvex
