#pragma once

#include "update/SharedBlock.h"
#include "update/UpdateLauncher.h"

#include <QLockFile>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace orvex {

// Runs each job as an `oxupdate ox<slot>` process in a process group of its
// own, hands it the job over the slot's socket from a background thread, and
// keeps one shared browser host (`oxupdate --browser-host`) up for the run,
// starting it with the first worker and again whenever it has gone.
class ProcessUpdateLauncher : public UpdateLauncher
{
public:
    // worker: the oxupdate program; settingsFile: the orx.ini the workers
    // read the proxy server and port from.
    ProcessUpdateLauncher(std::filesystem::path worker, std::filesystem::path settingsFile);
    ~ProcessUpdateLauncher() override; // ends every process it started
    ProcessUpdateLauncher(const ProcessUpdateLauncher&) = delete;
    ProcessUpdateLauncher& operator=(const ProcessUpdateLauncher&) = delete;

    bool CreateBlocks() override;
    char* Block(int slot) override;
    void ReleaseBlocks() override;
    void StartWorker(int slot, const std::string& jobText) override;
    bool WorkerEnded(int slot) const override;
    void SendStop(int slot) override;
    void EndRun() override;

    // The process id of the slot's worker while it runs, else 0 (tests).
    pid_t WorkerPid(int slot) const;
    // The shared browser host's process id while it runs, else 0 (tests).
    pid_t BrowserHostPid() const;
    // Why the last block could not be made; empty otherwise.
    const std::string& error() const { return error_; }

private:
    struct Worker;

    void EnsureBrowserHost();
    void EndProcesses(std::vector<pid_t> pids);
    void StartEnding(std::function<void()> work);

    std::filesystem::path worker_;
    std::filesystem::path settingsFile_;
    std::array<SharedBlock, 10> blocks_;
    std::unique_ptr<QLockFile> runLock_; // held while the blocks exist
    std::array<std::shared_ptr<Worker>, 10> workers_;
    pid_t host_ = 0;
    std::string hostSocket_;
    int hostGeneration_ = 0;
    std::string error_;
    // Processes being ended, and delivery threads being let go.
    struct Ending
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Ending> ending_;
};

} // namespace orvex
