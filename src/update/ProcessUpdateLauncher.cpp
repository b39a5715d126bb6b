#include "update/ProcessUpdateLauncher.h"

#include "update/AbstractSocket.h"
#include "update/UpdateProtocol.h"
#include "workspace/InstanceLock.h"

#include <QLockFile>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace orvex {

namespace {

using namespace std::chrono_literals;

// How long a new worker may take before its socket takes the job: the wait
// for it to be ready for input and the lookup of its socket together.
constexpr auto kDeliveryLimit = 13s;
constexpr auto kConnectEvery = 50ms;
// A worker or the browser host told to end gets this long before SIGKILL.
constexpr auto kEndGrace = 2s;

// Starts a program in a process group of its own (so that it and everything
// it starts can be ended together, and a Ctrl-C meant for us does not reach
// it), with standard streams on /dev/null and extra environment entries.
pid_t SpawnInOwnGroup(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        bool replaced = false;
        for (const std::string& extra : extraEnvironment) {
            const std::size_t equals = extra.find('=');
            if (text.substr(0, equals + 1) == std::string_view(extra).substr(0, equals + 1))
                replaced = true;
        }
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

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : 0;
}

// Reaps the process if it has ended; true when it has (or was never there).
bool Reaped(pid_t pid)
{
    if (pid <= 0)
        return true;
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    return result == pid || (result < 0 && errno == ECHILD);
}

// SIGTERM to the processes' groups, then SIGKILL to those still there after
// the grace (and to whatever their groups left behind), every one reaped.
// Runs on the launcher's ending thread, so the caller never waits.
void EndProcessGroups(std::vector<pid_t> pids)
{
    std::vector<pid_t> left;
    for (pid_t pid : pids) {
        if (pid > 0 && !Reaped(pid))
            left.push_back(pid);
    }
    const auto deadline = std::chrono::steady_clock::now() + kEndGrace;
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
        std::erase_if(left, Reaped);
        if (!left.empty())
            std::this_thread::sleep_for(10ms);
    }
    for (pid_t pid : left) {
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    for (pid_t pid : pids) {
        if (pid > 0)
            kill(-pid, SIGKILL);
    }
}

} // namespace

// One worker process and the thread that hands it its job.
struct ProcessUpdateLauncher::Worker
{
    pid_t pid = 0;
    bool ended = false;
    std::mutex mutex;
    int socket = -1; // the connection the job went over, kept for a stop
    std::atomic<bool> cancel{false};
    std::thread delivery;

    ~Worker()
    {
        cancel = true;
        if (delivery.joinable())
            delivery.join();
        if (socket >= 0)
            close(socket);
    }

    void Deliver(std::string socketName, std::string frame)
    {
        const auto deadline = std::chrono::steady_clock::now() + kDeliveryLimit;
        while (!cancel && std::chrono::steady_clock::now() < deadline) {
            std::string error;
            const int fd = ConnectAbstractSocket(socketName, 0, error);
            if (fd >= 0) {
                if (WriteAllToSocket(fd, frame)) {
                    std::lock_guard lock(mutex);
                    socket = fd;
                } else {
                    close(fd);
                }
                return;
            }
            std::this_thread::sleep_for(kConnectEvery);
        }
        // Not delivered: the worker ends by itself for want of a job.
    }
};

ProcessUpdateLauncher::ProcessUpdateLauncher(std::filesystem::path worker,
                                             std::filesystem::path settingsFile)
    : worker_(std::move(worker)), settingsFile_(std::move(settingsFile))
{
}

ProcessUpdateLauncher::~ProcessUpdateLauncher()
{
    EndRun();
    for (Ending& ending : ending_)
        ending.thread.join();
}

bool ProcessUpdateLauncher::CreateBlocks()
{
    error_.clear();
    // The slots' blocks and sockets are named per user: a second run at the
    // same time (orvexctl on another workspace, say) would take them over.
    runLock_ = std::make_unique<QLockFile>(
        QString::fromStdString(RuntimeLockPath("orvex-update.lock").string()));
    runLock_->setStaleLockTime(0); // only a dead holder makes it stale
    if (!runLock_->tryLock(0)) {
        runLock_.reset();
        error_ = "Another update is running.";
        return false;
    }
    for (int s = 0; s < kUpdateSlotCount; ++s) {
        blocks_[s] = SharedBlock::Create(UpdateBlockName(getuid(), s));
        if (!blocks_[s].valid()) {
            error_ = blocks_[s].error();
            ReleaseBlocks();
            return false;
        }
    }
    return true;
}

char* ProcessUpdateLauncher::Block(int slot)
{
    return blocks_[slot].data();
}

void ProcessUpdateLauncher::ReleaseBlocks()
{
    for (SharedBlock& block : blocks_)
        block = SharedBlock{};
    runLock_.reset();
}

void ProcessUpdateLauncher::StartWorker(int slot, const std::string& jobText)
{
    // The slot's last worker has had its say (result taken, or told to stop):
    // it must not hold the slot's socket name against the new one.
    // It is killed outright: its result was taken or given up on.
    if (const std::shared_ptr<Worker>& old = workers_[slot]; old && !WorkerEnded(slot)) {
        kill(-old->pid, SIGKILL);
        waitpid(old->pid, nullptr, 0);
    }
    workers_[slot].reset();

    EnsureBrowserHost();
    auto worker = std::make_shared<Worker>();
    std::vector<std::string> environment = {"ORVEX_SETTINGS=" + settingsFile_.string()};
    if (!hostSocket_.empty())
        environment.push_back("ORVEX_BROWSER_SOCKET=" + hostSocket_);
    worker->pid = SpawnInOwnGroup({worker_.string(), UpdateWorkerArgument(slot)}, environment);
    if (worker->pid <= 0) {
        worker->ended = true;
    } else {
        worker->delivery = std::thread(&Worker::Deliver, worker.get(),
                                       UpdateSocketName(getuid(), slot),
                                       EncodeFrame(UpdateMessage{kJobMessageId, jobText}));
    }
    workers_[slot] = std::move(worker);
}

bool ProcessUpdateLauncher::WorkerEnded(int slot) const
{
    const std::shared_ptr<Worker>& worker = workers_[slot];
    if (!worker)
        return true;
    if (!worker->ended && Reaped(worker->pid))
        worker->ended = true;
    return worker->ended;
}

void ProcessUpdateLauncher::SendStop(int slot)
{
    const std::shared_ptr<Worker>& worker = workers_[slot];
    if (!worker || WorkerEnded(slot))
        return;
    const std::string frame = EncodeFrame(StopMessage());
    {
        std::lock_guard lock(worker->mutex);
        if (worker->socket >= 0 && WriteAllToSocket(worker->socket, frame))
            return;
    }
    // The job never went over: the worker may still be starting. Telling it
    // to stop is then the same as not giving it a job; make sure of it.
    worker->cancel = true;
    std::string error;
    const int fd = ConnectAbstractSocket(UpdateSocketName(getuid(), slot), 0, error);
    if (fd >= 0) {
        WriteAllToSocket(fd, frame);
        close(fd);
    }
}

void ProcessUpdateLauncher::EndRun()
{
    std::vector<pid_t> pids;
    for (std::shared_ptr<Worker>& worker : workers_) {
        if (worker && !WorkerEnded(static_cast<int>(&worker - workers_.data())))
            pids.push_back(worker->pid);
        if (worker)
            worker->cancel = true;
    }
    if (host_ > 0)
        pids.push_back(host_);
    EndProcesses(std::move(pids));
    // The delivery threads stop within one connect attempt; they are joined
    // on the ending thread too.
    std::vector<std::shared_ptr<Worker>> workers(workers_.begin(), workers_.end());
    for (std::shared_ptr<Worker>& worker : workers_)
        worker.reset();
    StartEnding([workers = std::move(workers)]() mutable { workers.clear(); });
    host_ = 0;
    hostSocket_.clear();
}

// Told to end now; the grace and the reaping happen on a thread of their own,
// joined when the launcher goes.
void ProcessUpdateLauncher::EndProcesses(std::vector<pid_t> pids)
{
    for (pid_t pid : pids) {
        if (pid > 0)
            kill(-pid, SIGTERM);
    }
    if (!pids.empty())
        StartEnding([pids = std::move(pids)]() mutable { EndProcessGroups(std::move(pids)); });
}

void ProcessUpdateLauncher::StartEnding(std::function<void()> work)
{
    // Threads of earlier runs that are done are let go here.
    std::erase_if(ending_, [](Ending& ending) {
        if (!ending.done->load())
            return false;
        ending.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    ending_.push_back(Ending{std::thread([work = std::move(work), done] {
                                 work();
                                 *done = true;
                             }),
                             done});
}

pid_t ProcessUpdateLauncher::WorkerPid(int slot) const
{
    return WorkerEnded(slot) ? 0 : workers_[slot]->pid;
}

pid_t ProcessUpdateLauncher::BrowserHostPid() const
{
    return host_ > 0 && !Reaped(host_) ? host_ : 0;
}

// One browser for the whole run: starting one per page costs about four
// times the CPU. A host that has gone is started again for the next worker.
void ProcessUpdateLauncher::EnsureBrowserHost()
{
    if (host_ > 0 && !Reaped(host_))
        return;
    host_ = 0;
    hostSocket_ = "orvex-" + std::to_string(getuid()) + "-oxbrowser-" + std::to_string(getpid()) +
                  "-" + std::to_string(++hostGeneration_);
    host_ = SpawnInOwnGroup({worker_.string(), "--browser-host", hostSocket_}, {});
    if (host_ <= 0) {
        host_ = 0;
        hostSocket_.clear(); // workers then start browsers of their own
    }
}

} // namespace orvex
