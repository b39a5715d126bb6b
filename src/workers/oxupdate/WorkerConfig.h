#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace orvex::oxupdate {

// How pages are isolated from each other in the shared browser: a context
// per slot reused and cleared after each job ("slot"), or a context of the
// job's own ("fresh"). A browser of the worker's own always gets a fresh one.
enum class ContextMode { Slot, Fresh };

// The worker's settings from its environment and the settings file.
struct WorkerConfig
{
    std::string chromiumPath = "/usr/lib/chromium/chromium";
    std::string hostSocket; // ORVEX_BROWSER_SOCKET
    std::chrono::seconds loadLimit{30};
    std::chrono::seconds idleLimit{30};
    ContextMode contextMode = ContextMode::Slot;
    // "http://host:port" when pages go through the proxy; empty otherwise.
    std::string proxyServer;
    // Why the proxy settings could not be used; pages are then not loaded at
    // all rather than sent around the proxy.
    std::string proxyError;
    // ORVEX_TRACE=1: the time of each capture step on standard error.
    bool trace = false;
    // ORVEX_PHASE_LOG: a file that gets one line per job with the time of
    // each phase ("browser=12.3 open=4.5 ..."), for the capture benchmark.
    std::string phaseLog;
};

// Reads ORVEX_CHROMIUM, ORVEX_BROWSER_SOCKET, ORVEX_LOAD_SECONDS,
// ORVEX_IDLE_SECONDS, ORVEX_CONTEXT_MODE and, from the settings file named by
// ORVEX_SETTINGS (else orx.ini beside the program), UseProxy, ProxyServer and
// ProxyPort. Values that make no sense keep their defaults.
WorkerConfig ReadWorkerConfig();

// A positive whole number of seconds, at most max; nothing otherwise.
std::optional<int> ParseSeconds(const char* text, int max);

// The proxy address for the browser from ProxyServer and ProxyPort ("http://"
// is added; an empty port leaves the scheme's default). Nothing, with a
// reason, when the server or port is not usable (a name with blanks or
// separators would change the meaning of the browser's proxy rules).
std::optional<std::string> ProxyAddress(const std::string& server, const std::string& port,
                                        std::string& error);

} // namespace orvex::oxupdate
