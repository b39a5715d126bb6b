#include "update/ProcessUpdateLauncher.h"

#include "update/AbstractSocket.h"
#include "update/UpdateProtocol.h"
#include "workers/ChildProcess.h"
#include "workspace/InstanceLock.h"

#include <QLockFile>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvex {

namespace {

using namespace std::chrono_literals;

// How long a new worker may take before its socket takes the job: the wait
// for it to be ready for input and the lookup of its socket together.
constexpr auto kDeliveryLimit = 13s;
constexpr auto kConnectEvery = 50ms;

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
        worker->delivery =
            std::thread(&Worker::Deliver, worker.get(), UpdateSocketName(getuid(), slot),
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
