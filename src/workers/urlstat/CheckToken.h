#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::urlstat {

// The caller holds its whole command line in a buffer of this size, so a
// longer token can only be a mistake.
inline constexpr std::size_t kMaxTokenBytes = 2048;

struct CheckToken
{
    bool useProxy = false;
    std::string proxyUser;
    std::string proxyPassword;
    std::string url;
};

// Splits the single command-line token: "0" followed directly by the URL, or
// "1" followed by "<user>:<password>@" and the URL (both may be empty; the
// ':' and '@' are always there).
//
// The user name ends at the first ':' (Basic credentials cannot carry one in
// the user name, but it may hold '@'). The password ends at the first '@'
// that is directly followed by a scheme and "://", so a password may hold '@'
// and ':' and the URL may hold '@' anywhere. Only a password that itself
// holds '@' followed by "<scheme>://" is split in the wrong place. With no
// such '@' the first one ends the password; the URL left then has no scheme
// and is refused when checked.
//
// Returns nothing, with the reason in `error`, for an empty or over-long
// token, an unknown flag, or a flag "1" without ':' and '@'.
std::optional<CheckToken> ParseCheckToken(std::string_view token, std::string& error);

} // namespace orvex::urlstat
