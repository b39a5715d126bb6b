#include "check/CheckerRun.h"

#include "workers/ChildProcess.h"
#include "workspace/FixedText.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace orvex {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxOutput = 64; // a status line is a few bytes

} // namespace

int ParseCheckerOutput(const std::string& output)
{
    const long long code = ParseDecimal(TrimView(output), 0);
    return code > 0 && code <= 99999 ? static_cast<int>(code) : 0;
}

int RunChecker(const std::vector<std::string>& argv, std::chrono::milliseconds timeLimit,
               int cancelFd)
{
    if (argv.empty())
        return 0;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return 0;
    const pid_t pid = SpawnInOwnGroup(argv, {}, out[1]);
    close(out[1]);
    if (pid < 0) {
        close(out[0]);
        return 0;
    }

    const Clock::time_point deadline = Clock::now() + timeLimit;
    std::string output;
    int status = 0;
    bool exited = false;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {cancelFd, POLLIN, 0}};
    while (!exited) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || (fds[1].revents & POLLIN))
            break;
        // Until its output ends the pipe wakes us; afterwards look for its exit every few ms.
        const int wait = fds[0].fd >= 0 ? static_cast<int>(left.count()) : 5;
        if (poll(fds, 2, std::min(wait, static_cast<int>(left.count()))) < 0 && errno != EINTR)
            break;
        if (fds[0].fd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[256];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n > 0 && output.size() < kMaxOutput)
                output.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                fds[0].fd = -1;
        }
        if (fds[0].fd < 0)
            exited = Reaped(pid, &status);
    }
    close(out[0]);
    if (!exited) {
        // Its whole group goes, so that nothing it started outlives it.
        EndProcessGroups({pid});
        return 0;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 0;
    return ParseCheckerOutput(output);
}

} // namespace orvex
