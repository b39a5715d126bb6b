#include "check/CheckerRun.h"

#include "workspace/FixedText.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvex {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTermGrace{2000};
constexpr std::size_t kMaxOutput = 64; // a status line is a few bytes

pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool Reap(pid_t pid, int& status)
{
    pid_t done;
    do
        done = waitpid(pid, &status, WNOHANG);
    while (done < 0 && errno == EINTR);
    return done == pid || done < 0; // gone either way
}

// SIGTERM, a grace to end cleanly, then SIGKILL, each to the checker's own
// process group so that nothing it started outlives it.
void EndProcess(pid_t pid)
{
    int status = 0;
    kill(-pid, SIGTERM);
    const Clock::time_point deadline = Clock::now() + kTermGrace;
    while (Clock::now() < deadline) {
        if (Reap(pid, status))
            return;
        poll(nullptr, 0, 10);
    }
    kill(-pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

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
    const pid_t pid = Spawn(argv, out[1]);
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
            exited = Reap(pid, status);
    }
    close(out[0]);
    if (!exited) {
        EndProcess(pid);
        return 0;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 0;
    return ParseCheckerOutput(output);
}

} // namespace orvex
