#include "ChromiumProcess.h"

#include "NulFramer.h"

#include "workspace/FileBytes.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvex::oxupdate {

namespace {

using Clock = std::chrono::steady_clock;

// Flags that proved reliable for a headless browser driven over the pipe; the
// background services are off so a capture never competes with them for CPU.
const char* const kFlags[] = {
    "--headless=new",
    "--remote-debugging-pipe",
    "--no-sandbox",
    "--disable-gpu",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-extensions",
    "--mute-audio",
    "--hide-scrollbars",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-features=NetworkTimeServiceQuerying",
    "--log-level=3",
};

// Ids of the commands this class sends itself. The first answer is consumed
// before anyone else uses the pipe; the closing command's answer is never read.
constexpr int kVersionId = 1;
constexpr int kCloseId = 2147483646;

void IgnoreSigpipe()
{
    struct sigaction old
    {
    };
    if (sigaction(SIGPIPE, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) &&
        old.sa_handler == SIG_DFL)
        signal(SIGPIPE, SIG_IGN);
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 200) <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

char StateOf(pid_t pid, pid_t* group)
{
    // The process may end while it is read; that reads as "no state".
    const std::optional<std::string> stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    if (!stat)
        return 0;
    const std::string line = stat->substr(0, stat->find('\n'));
    // The command name is in parentheses and may itself hold spaces or ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size())
        return 0;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    long parent = 0, pgrp = 0;
    rest >> state >> parent >> pgrp;
    if (group)
        *group = static_cast<pid_t>(pgrp);
    return state;
}

template <typename F> void ForEachPid(F f)
{
    DIR* dir = opendir("/proc");
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && end && *end == '\0')
            f(static_cast<pid_t>(pid));
    }
    closedir(dir);
}

// Live members of a process group (zombies do not count: they hold nothing).
bool GroupHasLiveMembers(pid_t group)
{
    bool live = false;
    ForEachPid([&](pid_t pid) {
        pid_t pgrp = 0;
        const char state = StateOf(pid, &pgrp);
        if (state && state != 'Z' && state != 'X' && pgrp == group)
            live = true;
    });
    return live;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

constexpr const char* kScratchPrefix = "oxbrowser-";

} // namespace

void ChromiumProcess::SweepLeftovers(const std::string& root)
{
    // An owner killed with SIGKILL cannot remove its scratch folder; its
    // browser died with it. Such a folder is recognised by no live process
    // mentioning it; the age guard keeps away from folders being set up.
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix) || !entry.is_directory(ec) || entry.is_symlink(ec))
            continue;
        const auto written = std::filesystem::last_write_time(entry.path(), ec);
        if (ec || now - written < std::chrono::seconds(60))
            continue;
        struct stat st
        {
        };
        if (lstat(entry.path().c_str(), &st) != 0 || st.st_uid != geteuid())
            continue;
        if (!ProcessesMentioning(entry.path().string() + "/").empty())
            continue;
        std::filesystem::remove_all(entry.path(), ec);
    }
}

std::vector<pid_t> ProcessesMentioning(const std::string& text)
{
    std::vector<pid_t> found;
    if (text.empty())
        return found;
    const pid_t self = getpid();
    ForEachPid([&](pid_t pid) {
        if (pid == self)
            return;
        const std::optional<std::string> cmdline =
            ReadFileBytes("/proc/" + std::to_string(pid) + "/cmdline");
        if (!cmdline || cmdline->find(text) == std::string::npos)
            return;
        const char state = StateOf(pid, nullptr);
        if (state && state != 'Z' && state != 'X')
            found.push_back(pid);
    });
    return found;
}

std::string ChromiumProcess::DefaultScratchRoot()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st
    {
    };
    if (runtime && *runtime && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
        access(runtime, W_OK | X_OK) == 0)
        return runtime;
    return "/tmp";
}

std::unique_ptr<ChromiumProcess> ChromiumProcess::Start(const BrowserOptions& options,
                                                        std::string& error)
{
    return Start(options, StartOptions{}, error);
}

std::unique_ptr<ChromiumProcess>
ChromiumProcess::Start(const BrowserOptions& options, const StartOptions& start, std::string& error)
{
    const std::string binary = options.chromiumPath.empty()
                                   ? std::string("/usr/lib/chromium/chromium")
                                   : options.chromiumPath;
    if (access(binary.c_str(), X_OK) != 0) {
        error = "cannot run the browser " + binary + ": " + std::strerror(errno);
        return nullptr;
    }
    IgnoreSigpipe();

    std::unique_ptr<ChromiumProcess> browser(new ChromiumProcess);

    // A fresh scratch folder: the browser must not see another run's profile,
    // and its crash folders must not land in the user's home.
    const std::string root =
        options.scratchRoot.empty() ? DefaultScratchRoot() : options.scratchRoot;
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    SweepLeftovers(root);
    std::string pattern = root + "/" + kScratchPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a scratch folder in " + root + ": " + std::strerror(errno);
        browser->m_closed = true;
        return nullptr;
    }
    browser->m_scratch = pattern;
    const std::string profile = pattern + "/profile";
    const std::string home = pattern + "/home";
    const std::string config = pattern + "/config";
    const std::string cache = pattern + "/cache";
    const std::string runtime = pattern + "/runtime";
    for (const std::string* dir : {&profile, &home, &config, &cache, &runtime}) {
        if (mkdir(dir->c_str(), 0700) != 0) {
            error = "cannot make " + *dir + ": " + std::strerror(errno);
            browser->m_pid = -1;
            browser->Close(0);
            return nullptr;
        }
    }

    // Everything the child needs is built before fork: after it, the child
    // may only make async-signal-safe calls.
    std::vector<std::string> args;
    args.push_back(binary);
    for (const char* flag : kFlags)
        args.emplace_back(flag);
    args.push_back("--user-data-dir=" + profile);
    for (const std::string& flag : start.extraFlags)
        args.push_back(flag);
    args.emplace_back("about:blank");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        if (entry.starts_with("HOME=") || entry.starts_with("XDG_CONFIG_HOME=") ||
            entry.starts_with("XDG_CACHE_HOME=") || entry.starts_with("XDG_RUNTIME_DIR="))
            continue;
        env.emplace_back(entry);
    }
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + config);
    env.push_back("XDG_CACHE_HOME=" + cache);
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int commands[2] = {-1, -1}; // browser reads [0] as fd 3
    int events[2] = {-1, -1};   // browser writes [1] as fd 4
    if (pipe2(commands, O_CLOEXEC) != 0 || pipe2(events, O_CLOEXEC) != 0) {
        error = std::string("cannot make the browser's pipes: ") + std::strerror(errno);
        for (int fd : {commands[0], commands[1], events[0], events[1]})
            if (fd >= 0)
                close(fd);
        browser->Close(0);
        return nullptr;
    }

    sigset_t noSignals;
    sigemptyset(&noSignals);
    const pid_t parent = getpid();
    const int devNullFlags = O_RDWR;

    const pid_t pid = fork();
    if (pid < 0) {
        error = std::string("cannot start the browser: ") + std::strerror(errno);
        for (int fd : {commands[0], commands[1], events[0], events[1]})
            close(fd);
        browser->Close(0);
        return nullptr;
    }
    if (pid == 0) {
        // Child: own process group (so the whole browser tree can be killed at
        // once) and death with its parent, even a SIGKILLed one.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(126);
        sigprocmask(SIG_SETMASK, &noSignals, nullptr);
        struct sigaction dfl
        {
        };
        dfl.sa_handler = SIG_DFL;
        for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
            sigaction(sig, &dfl, nullptr);
        // Move the pipe ends out of the way before placing them on 3 and 4:
        // dup2 onto the same number would keep close-on-exec set.
        const int in = fcntl(commands[0], F_DUPFD_CLOEXEC, 10);
        const int out = fcntl(events[1], F_DUPFD_CLOEXEC, 10);
        const int devNull = open("/dev/null", devNullFlags | O_CLOEXEC);
        if (in < 0 || out < 0 || devNull < 0)
            _exit(127);
        if (dup2(devNull, 0) < 0 || dup2(devNull, 1) < 0 || dup2(devNull, 2) < 0 ||
            dup2(in, 3) < 0 || dup2(out, 4) < 0)
            _exit(127);
        // Nothing else of ours (sockets, other pipes) may leak into the browser.
        if (syscall(SYS_close_range, 5u, ~0u, 0u) != 0) {
            for (int fd = 5; fd < 4096; ++fd)
                close(fd);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid); // also from here, so the group exists whoever runs first
    close(commands[0]);
    close(events[1]);
    browser->m_pid = pid;
    browser->m_writeFd = commands[1];
    browser->m_readFd = events[0];

    if (!browser->WaitFirstAnswer(start, error)) {
        browser->Close(0);
        return nullptr;
    }
    return browser;
}

bool ChromiumProcess::WaitFirstAnswer(const StartOptions& start, std::string& error)
{
    const std::string ask =
        NulFrame(nlohmann::json{{"id", kVersionId}, {"method", "Browser.getVersion"}}.dump());
    // A failed write means the browser is already gone; the read below then
    // sees the end of its output and reports how it ended.
    WriteAll(m_writeFd, ask);
    const auto deadline = Clock::now() + std::chrono::seconds(std::max(1, start.startSeconds));
    // One byte at a time, so that nothing after the answer is taken from the
    // pipe: whoever uses the browser next reads from a clean message boundary.
    std::string message;
    while (true) {
        if (Clock::now() >= deadline) {
            error =
                "the browser did not answer within " + std::to_string(start.startSeconds) + " s";
            return false;
        }
        if (start.cancel && start.cancel()) {
            error = "cancelled";
            return false;
        }
        pollfd p{m_readFd, POLLIN, 0};
        const int ready = poll(&p, 1, 50);
        if (ready < 0 && errno != EINTR) {
            error = std::string("waiting for the browser: ") + std::strerror(errno);
            return false;
        }
        if (ready <= 0)
            continue;
        char c = 0;
        const ssize_t n = read(m_readFd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            int status = 0;
            std::string how = "the browser ended before answering";
            // Its output closes a moment before its exit status is ready.
            pid_t ended = 0;
            for (int i = 0; i < 50 && ended == 0; ++i) {
                ended = waitpid(m_pid, &status, WNOHANG);
                if (ended == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (ended == m_pid) {
                m_reaped = true;
                if (WIFEXITED(status))
                    how += " (exit " + std::to_string(WEXITSTATUS(status)) + ")";
                else if (WIFSIGNALED(status))
                    how += " (signal " + std::to_string(WTERMSIG(status)) + ")";
            }
            error = how;
            return false;
        }
        if (c != '\0') {
            message.push_back(c);
            if (message.size() > NulFramer::kDefaultLimit) {
                error = "the browser sent an oversized message";
                return false;
            }
            continue;
        }
        const auto reply = nlohmann::json::parse(message, nullptr, false);
        message.clear();
        if (!reply.is_object() || !reply.contains("id") || reply["id"] != kVersionId)
            continue; // an event; nobody has asked for any yet
        if (!reply.contains("result")) {
            error = "the browser refused its first command: " + reply.dump();
            return false;
        }
        const auto& result = reply["result"];
        if (result.is_object() && result.contains("product") && result["product"].is_string())
            m_version = result["product"].get<std::string>();
        return true;
    }
}

bool ChromiumProcess::Exited()
{
    if (m_reaped || m_pid <= 0)
        return true;
    int status = 0;
    const pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid || (r < 0 && errno == ECHILD))
        m_reaped = true;
    return m_reaped;
}

void ChromiumProcess::KillGroup()
{
    if (m_pid <= 0)
        return;
    kill(-m_pid, SIGKILL);
    if (!m_reaped) {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_reaped = true;
    }
    // The leader is gone; its zygote and renderers may take a moment longer.
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (GroupHasLiveMembers(m_pid) && Clock::now() < deadline) {
        kill(-m_pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChromiumProcess::Close(int graceMs)
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_pid > 0 && !Exited() && m_writeFd >= 0 && graceMs > 0) {
        fcntl(m_writeFd, F_SETFL, fcntl(m_writeFd, F_GETFL) | O_NONBLOCK);
        fcntl(m_readFd, F_SETFL, fcntl(m_readFd, F_GETFL) | O_NONBLOCK);
        const std::string bye =
            NulFrame(nlohmann::json{{"id", kCloseId}, {"method", "Browser.close"}}.dump());
        if (WriteAll(m_writeFd, bye)) {
            const auto deadline = Clock::now() + std::chrono::milliseconds(graceMs);
            char sink[65536];
            while (!Exited() && Clock::now() < deadline) {
                // Keep reading so the browser never blocks on a full pipe
                // while it shuts down.
                pollfd p{m_readFd, POLLIN, 0};
                if (poll(&p, 1, 10) > 0 && read(m_readFd, sink, sizeof sink) == 0) {
                    // Its end of the pipe is closed: the exit is imminent.
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        }
    }
    // Even after a clean exit the group may hold stragglers.
    KillGroup();
    CloseFd(m_writeFd);
    CloseFd(m_readFd);
    if (!m_scratch.empty()) {
        // Processes that left the group still carry the profile path.
        for (pid_t pid : ProcessesMentioning(m_scratch))
            kill(pid, SIGKILL);
        std::error_code ec;
        for (int attempt = 0; attempt < 5; ++attempt) {
            std::filesystem::remove_all(m_scratch, ec);
            if (!ec)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

ChromiumProcess::~ChromiumProcess()
{
    Close();
}

} // namespace orvex::oxupdate
