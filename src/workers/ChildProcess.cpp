#include "workers/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace orvex {

namespace {

constexpr auto kEndGrace = std::chrono::seconds(2);

std::string_view NameOf(std::string_view entry)
{
    return entry.substr(0, entry.find('=') + 1);
}

} // namespace

pid_t SpawnInOwnGroup(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnvironment, int stdoutFd)
{
    if (argv.empty())
        return -1;
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        bool replaced = false;
        for (const std::string& extra : extraEnvironment)
            replaced = replaced || NameOf(text) == NameOf(extra);
        if (!replaced)
            environment.emplace_back(text);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, &attributes, args.data(), env.data()) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool Reaped(pid_t pid, int* status)
{
    if (pid <= 0)
        return true;
    int ignored = 0;
    pid_t done;
    do
        done = waitpid(pid, status ? status : &ignored, WNOHANG);
    while (done < 0 && errno == EINTR);
    return done == pid || done < 0; // gone either way
}

void EndProcessGroups(std::vector<pid_t> pids)
{
    std::vector<pid_t> left;
    for (pid_t pid : pids) {
        if (pid > 0 && !Reaped(pid)) {
            kill(-pid, SIGTERM);
            left.push_back(pid);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + kEndGrace;
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
        std::erase_if(left, [](pid_t pid) { return Reaped(pid); });
        if (!left.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (pid_t pid : left) {
        kill(-pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    for (pid_t pid : pids) {
        if (pid > 0)
            kill(-pid, SIGKILL);
    }
}

} // namespace orvex
