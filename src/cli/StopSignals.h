#pragma once

#include <chrono>
#include <csignal>
#include <iosfwd>
#include <string>

namespace orvex::cli {

// While one lives, Ctrl-C (or SIGTERM) asks the running command to stop
// instead of ending the program; a second one ends it the usual way. The
// previous handlers come back when it goes.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether a stop was asked for since this was made.
    static bool Requested();

private:
    struct sigaction oldInt_ = {};
    struct sigaction oldTerm_ = {};
};

// Progress of a long command on standard error: on a terminal one line
// rewritten in place, otherwise a plain line now and then, for logs.
class ProgressLine
{
public:
    explicit ProgressLine(std::ostream& err);

    void Show(const std::string& text);
    // Clears the line on a terminal, so the summary starts clean.
    void End();

private:
    std::ostream& err_;
    bool terminal_;
    std::string shown_;
    std::chrono::steady_clock::time_point lastShown_{};
};

} // namespace orvex::cli
