#pragma once

// One headless chromium driven over --remote-debugging-pipe: commands are
// written to writeFd() (the browser's fd 3), replies and events read from
// readFd() (its fd 4), each message NUL-terminated JSON.
//
// The browser runs in its own process group with a parent-death signal, so it
// never outlives its owner, even a SIGKILLed one. Its profile, HOME and XDG
// folders live in a fresh scratch folder that Close() removes.
//
// Call Start() from a thread that lives as long as the browser should: the
// kernel's parent-death signal follows the thread that forked, not the
// process. SIGPIPE is set to ignored process-wide (if it was at its default)
// so a browser that dies mid-write cannot kill its owner.

#include "BrowserLink.h"

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex::oxupdate {

class ChromiumProcess
{
public:
    struct StartOptions
    {
        // Bound of the wait for the browser to answer its first command.
        int startSeconds = 20;
        // Asked about every 50 ms while waiting; true gives up the start.
        std::function<bool()> cancel;
        // Added after the usual flags (tests, measurements).
        std::vector<std::string> extraFlags;
    };

    // Starts the browser and waits until it answers Browser.getVersion.
    // Null with a reason in error when it cannot be started or does not answer
    // in time (nothing is left behind then).
    static std::unique_ptr<ChromiumProcess> Start(const BrowserOptions& options,
                                                  std::string& error);
    static std::unique_ptr<ChromiumProcess> Start(const BrowserOptions& options,
                                                  const StartOptions& start, std::string& error);

    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    int readFd() const { return m_readFd; }
    int writeFd() const { return m_writeFd; }
    pid_t pid() const { return m_pid; }
    // The unique folder holding the profile; it appears in the browser's
    // command line, which is how leftovers can be found.
    const std::string& scratchDir() const { return m_scratch; }
    // The browser version reported by the first answer.
    const std::string& version() const { return m_version; }

    // True once the browser process has ended (reaps it; never blocks).
    bool Exited();

    // Asks the browser to close, waits up to graceMs, then kills its whole
    // process group, reaps it and removes the scratch folder. Idempotent.
    void Close(int graceMs = 1500);

    // The folder a scratch folder is made in when options name none:
    // $XDG_RUNTIME_DIR, else /tmp.
    static std::string DefaultScratchRoot();

    // Removes scratch folders in root left by owners that were killed (no
    // live process mentions them and they are over a minute old). Start()
    // does this before making its own.
    static void SweepLeftovers(const std::string& root);

private:
    ChromiumProcess() = default;
    bool WaitFirstAnswer(const StartOptions& start, std::string& error);
    void KillGroup();

    pid_t m_pid = -1;
    int m_readFd = -1;
    int m_writeFd = -1;
    bool m_reaped = false;
    bool m_closed = false;
    std::string m_scratch;
    std::string m_version;
};

// Live processes (not zombies) whose command line contains the given text.
// Used to make sure no browser process of a scratch folder is left behind.
std::vector<pid_t> ProcessesMentioning(const std::string& text);

} // namespace orvex::oxupdate
