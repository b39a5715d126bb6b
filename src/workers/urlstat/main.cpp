// urlstat: requests one URL and prints its HTTP status.
//
//   urlstat [--settings FILE] [--timeout SECONDS] TOKEN
//
// TOKEN is "0<url>" for a direct request, or "1<user>:<password>@<url>" for a
// request through the proxy named by ProxyServer and ProxyPort in section
// [Proxy] of the settings file (orx.ini beside this program unless
// --settings names another); an empty ProxyServer means a direct request.
// See CheckToken.h for how the credentials are split off.
//
// --timeout shortens the overall time limit (default 20 s, at most 20 s);
// the tests use it so as not to wait out the real limit.
//
// Exit: 0 with the status code and a newline on standard output; 1 with
// nothing on standard output when there is no status (bad token or URL, no
// answer, time limit); 2 for a malformed command line; 143 when ended by
// SIGTERM (130 for SIGINT), also with nothing on standard output. Standard
// input is never read.
#include "CheckToken.h"
#include "StatusCheck.h"

#include "workers/WorkerStopSignal.h"
#include "workspace/Settings.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

using namespace orvex::urlstat;

constexpr int kExitStatus = 0;
constexpr int kExitNoStatus = 1;
constexpr int kExitUsage = 2;
constexpr double kLongestTimeoutSeconds = 20.0;

int Usage(const char* message)
{
    std::fprintf(stderr,
                 "urlstat: %s\nusage: urlstat [--settings FILE] [--timeout SECONDS] TOKEN\n",
                 message);
    return kExitUsage;
}

std::filesystem::path DefaultSettingsFile()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path(".") : self.parent_path()) / orvex::kSettingsFileName;
}

// A port is decimal 1..65535; an empty text leaves the choice to the server text.
std::optional<long> ParsePort(const std::string& text)
{
    if (text.empty())
        return 0L;
    if (text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long port = std::stol(text);
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// The proxy for flag 1: nothing when ProxyServer is empty. False (with the
// reason on standard error) when the settings cannot be used.
bool ReadProxy(const std::filesystem::path& settingsFile, const CheckToken& token,
               std::optional<ProxyTarget>& proxy)
{
    orvex::Settings settings;
    const orvex::Status loaded = orvex::LoadSettingsFile(settingsFile, settings, 0, 0);
    if (!loaded.ok()) {
        std::fprintf(stderr, "urlstat: %s\n", loaded.message().c_str());
        return false;
    }
    if (settings.proxyServer.empty())
        return true;
    const std::optional<long> port = ParsePort(settings.proxyPort);
    if (!port) {
        std::fprintf(stderr, "urlstat: bad ProxyPort \"%s\"\n", settings.proxyPort.c_str());
        return false;
    }
    proxy = ProxyTarget{settings.proxyServer, *port, token.proxyUser, token.proxyPassword};
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int wakeRead = orvex::InstallWorkerStopHandlers();

    std::optional<std::filesystem::path> settingsFile;
    std::optional<std::string_view> tokenText;
    CheckLimits limits;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--settings" || arg == "--timeout") {
            if (i + 1 >= argc)
                return Usage("option needs a value");
            const char* value = argv[++i];
            if (arg == "--settings") {
                settingsFile = value;
                continue;
            }
            char* end = nullptr;
            const double seconds = std::strtod(value, &end);
            if (end == value || *end != '\0' || !(seconds > 0.0) ||
                seconds > kLongestTimeoutSeconds)
                return Usage("--timeout takes seconds above 0 and at most 20");
            limits.total = std::chrono::milliseconds(static_cast<long>(seconds * 1000.0));
            limits.connect = std::min(limits.connect, limits.total);
        } else if (!tokenText) {
            tokenText = arg;
        } else {
            return Usage("more than one token");
        }
    }
    if (!tokenText)
        return Usage("missing token");

    std::string error;
    const std::optional<CheckToken> token = ParseCheckToken(*tokenText, error);
    if (!token) {
        std::fprintf(stderr, "urlstat: %s\n", error.c_str());
        return kExitNoStatus;
    }
    std::optional<ProxyTarget> proxy;
    if (token->useProxy && !ReadProxy(settingsFile.value_or(DefaultSettingsFile()), *token, proxy))
        return kExitNoStatus;

    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        std::fprintf(stderr, "urlstat: cannot start libcurl\n");
        return kExitNoStatus;
    }
    const CheckResult result =
        CheckUrlStatus(token->url, proxy, limits, orvex::WorkerStopSignal(), wakeRead);
    curl_global_cleanup();

    // A stop that came in after the answer still wins: the caller has given
    // up on this check and reads nothing more.
    if (result.stopped || orvex::WorkerStopSignal())
        return 128 + static_cast<int>(orvex::WorkerStopSignal());
    if (!result.status) {
        std::fprintf(stderr, "urlstat: no status: %s\n", result.reason.c_str());
        return kExitNoStatus;
    }
    std::printf("%ld\n", *result.status);
    return std::fflush(stdout) == 0 ? kExitStatus : kExitNoStatus;
}
