#pragma once

#include <chrono>
#include <csignal>
#include <optional>
#include <string>

namespace orvex::urlstat {

struct ProxyTarget
{
    std::string server; // host, "host:port" or "scheme://host:port"
    long port = 0;      // 0: the port in `server`, else libcurl's default
    std::string user;
    std::string password; // no credentials are sent when both are empty
};

struct CheckLimits
{
    std::chrono::milliseconds connect{10'000};
    // For everything, a GET after a refused HEAD included. Well below the
    // 30 s after which the scheduler gives up on the checker.
    std::chrono::milliseconds total{20'000};
};

struct CheckResult
{
    std::optional<long> status; // absent: no status
    bool stopped = false;       // `stop` was raised before the check ended
    std::string reason;         // why there is no status
};

// True for an http or https URL with a host; nothing else is ever requested.
bool IsCheckableUrl(const std::string& url);

// Requests `url` once with HEAD, and once more with GET (dropping the body)
// when the server refuses HEAD with 405 or 501 or closes without answering
// it. Redirects are not followed: a 301 or 302 is the status. Without a
// proxy, a direct connection is used whatever the environment says.
//
// Ends early once `stop` is non-zero; `wakeFd` (or -1) becomes readable at
// the same moment, so a wait is cut short at once.
CheckResult CheckUrlStatus(const std::string& url, const std::optional<ProxyTarget>& proxy,
                           const CheckLimits& limits, const volatile std::sig_atomic_t& stop,
                           int wakeFd);

} // namespace orvex::urlstat
