#include "cli/StopSignals.h"

#include <ostream>
#include <unistd.h>

namespace orvex::cli {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopSignal(int)
{
    g_stopRequested = 1;
}

} // namespace

StopSignals::StopSignals()
{
    g_stopRequested = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool StopSignals::Requested()
{
    return g_stopRequested != 0;
}

ProgressLine::ProgressLine(std::ostream& err) : err_(err), terminal_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(const std::string& text)
{
    const auto now = std::chrono::steady_clock::now();
    const auto every = terminal_ ? std::chrono::milliseconds(100) : std::chrono::seconds(2);
    if (text == shown_ || now - lastShown_ < every)
        return;
    err_ << (terminal_ ? "\r" + text + "\x1b[K" : text + "\n") << std::flush;
    shown_ = text;
    lastShown_ = now;
}

void ProgressLine::End()
{
    if (terminal_ && !shown_.empty())
        err_ << "\r\x1b[K" << std::flush;
}

} // namespace orvex::cli
