#include "workers/WorkerStopSignal.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvex {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;
int g_wakeWrite = -1;

extern "C" void OnWorkerStopSignal(int signal)
{
    const int savedErrno = errno;
    g_stopSignal = signal;
    if (g_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(g_wakeWrite, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

int InstallWorkerStopHandlers()
{
    int fds[2];
    int wakeRead = -1;
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead = fds[0];
        g_wakeWrite = fds[1];
    }
    struct sigaction action = {};
    action.sa_handler = OnWorkerStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return wakeRead;
}

volatile std::sig_atomic_t& WorkerStopSignal()
{
    return g_stopSignal;
}

} // namespace orvex
