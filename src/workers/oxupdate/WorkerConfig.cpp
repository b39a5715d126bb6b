#include "WorkerConfig.h"

#include "workspace/Settings.h"

#include <cstdlib>
#include <cstring>

namespace orvex::oxupdate {

namespace fs = std::filesystem;

namespace {

const char* Env(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

fs::path DefaultSettingsFile()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (error ? fs::path(".") : self.parent_path()) / kSettingsFileName;
}

bool HostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
}

} // namespace

std::optional<int> ParseSeconds(const char* text, int max)
{
    if (!text || !*text || std::strlen(text) > 6)
        return std::nullopt;
    int value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return std::nullopt;
        value = value * 10 + (*p - '0');
    }
    if (value < 1 || value > max)
        return std::nullopt;
    return value;
}

std::optional<std::string> ProxyAddress(const std::string& server, const std::string& port,
                                        std::string& error)
{
    std::string host = server;
    if (host.rfind("http://", 0) == 0)
        host.erase(0, 7);
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    if (host.empty()) {
        error = "no proxy server";
        return std::nullopt;
    }
    for (const char c : host) {
        if (!HostCharacter(c)) {
            error = "unusable ProxyServer \"" + server + "\"";
            return std::nullopt;
        }
    }
    std::string address = "http://" + host;
    if (!port.empty()) {
        const bool digits = port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
        const long number = digits ? std::strtol(port.c_str(), nullptr, 10) : 0;
        if (number < 1 || number > 65535) {
            error = "unusable ProxyPort \"" + port + "\"";
            return std::nullopt;
        }
        address += ":" + std::to_string(number);
    }
    return address;
}

WorkerConfig ReadWorkerConfig()
{
    WorkerConfig config;
    if (const char* chromium = Env("ORVEX_CHROMIUM"))
        config.chromiumPath = chromium;
    if (const char* host = Env("ORVEX_BROWSER_SOCKET"))
        config.hostSocket = host;
    if (const auto seconds = ParseSeconds(Env("ORVEX_LOAD_SECONDS"), 300))
        config.loadLimit = std::chrono::seconds(*seconds);
    if (const auto seconds = ParseSeconds(Env("ORVEX_IDLE_SECONDS"), 3600))
        config.idleLimit = std::chrono::seconds(*seconds);
    if (const char* mode = Env("ORVEX_CONTEXT_MODE"); mode && std::strcmp(mode, "fresh") == 0)
        config.contextMode = ContextMode::Fresh;

    if (const char* trace = Env("ORVEX_TRACE"); trace && std::strcmp(trace, "1") == 0)
        config.trace = true;
    if (const char* log = Env("ORVEX_PHASE_LOG"))
        config.phaseLog = log;

    const char* named = Env("ORVEX_SETTINGS");
    const fs::path file = named ? fs::path(named) : DefaultSettingsFile();
    Settings settings;
    const Status loaded = LoadSettingsFile(file, settings, 0, 0);
    if (!loaded.ok()) {
        // Unreadable settings: whether a proxy is wanted cannot be known, and
        // going around one the user set up is not ours to decide.
        config.proxyError = loaded.message();
        return config;
    }
    if (settings.useProxy && !settings.proxyServer.empty()) {
        if (auto address = ProxyAddress(settings.proxyServer, settings.proxyPort, config.proxyError))
            config.proxyServer = *address;
    }
    return config;
}

} // namespace orvex::oxupdate
