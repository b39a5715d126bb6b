#pragma once

#include <functional>
#include <memory>
#include <string>

namespace orvex::oxupdate {

// Where a worker's headless browser comes from and how it reaches the web.
struct BrowserOptions
{
    std::string chromiumPath = "/usr/lib/chromium/chromium";
    // Abstract socket name of the run's shared browser host; empty for none.
    std::string hostSocket;
    // Folder under which a browser started for this worker alone keeps its
    // profile, HOME and crash folders (a fresh subfolder, removed at the end).
    std::string scratchRoot;
    // Asked about every 50 ms while Open() waits (for the host's answer or a
    // browser's start); returning true gives up at once (a stop message).
    std::function<bool()> cancel;
};

// A connection to a headless browser that speaks the DevTools protocol as
// NUL-terminated JSON messages: commands are written to writeFd(), replies and
// events are read from readFd(). Either a link to the run's shared browser
// host, or a browser started for this worker alone (ended with the link, and
// with the worker when it is killed).
class BrowserLink
{
public:
    virtual ~BrowserLink() = default;

    // The shared host when hostSocket names one that answers, else a browser
    // of our own. Null with a reason in error when neither can be had.
    // Call it from the thread that keeps the link (the browser of our own
    // dies with the thread that started it). SIGPIPE is ignored from then on,
    // so a peer that vanishes shows up as a failed write, not a killed worker.
    static std::unique_ptr<BrowserLink> Open(const BrowserOptions& options, std::string& error);

    virtual int readFd() const = 0;
    virtual int writeFd() const = 0;
    // True for the shared host: the worker then asks it for its slot's
    // browser context (see BrowserHost.h) instead of making its own.
    virtual bool shared() const = 0;
    // Ends the link now; a browser of our own is closed within about 2 s.
    virtual void Close() = 0;
};

} // namespace orvex::oxupdate
