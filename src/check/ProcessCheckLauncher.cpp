#include "check/ProcessCheckLauncher.h"

#include "check/CheckerRun.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace orvex {

// One check: the thread watching its checker, its outcome, and the pipe that
// tells the thread to cut the checker off.
struct ProcessCheckLauncher::Check
{
    std::thread thread;
    std::atomic<bool> running{true};
    std::atomic<int> exitCode{0};
    int cancel[2] = {-1, -1};

    ~Check()
    {
        if (thread.joinable())
            thread.join();
        for (int fd : cancel) {
            if (fd >= 0)
                close(fd);
        }
    }
    void Cancel() const
    {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(cancel[1], &byte, 1);
    }
};

ProcessCheckLauncher::ProcessCheckLauncher(std::filesystem::path checker,
                                           std::vector<std::string> leadingArgs,
                                           std::chrono::milliseconds timeLimit)
    : checker_(std::move(checker)), leadingArgs_(std::move(leadingArgs)), timeLimit_(timeLimit)
{
}

ProcessCheckLauncher::~ProcessCheckLauncher()
{
    for (const auto& check : slots_) {
        if (check)
            check->Cancel();
    }
    for (const auto& check : retired_)
        check->Cancel();
    // Each Check joins its thread as it goes.
    slots_.clear();
    retired_.clear();
}

std::vector<std::string>
ProcessCheckLauncher::CheckerArguments(const std::filesystem::path& settingsFile)
{
    std::vector<std::string> args{"--settings", settingsFile.string()};
    if (const char* timeout = std::getenv("ORVEX_TEST_CHECK_TIMEOUT"); timeout && *timeout) {
        args.emplace_back("--timeout");
        args.emplace_back(timeout);
    }
    return args;
}

bool ProcessCheckLauncher::Start(int slot, const std::string& token)
{
    if (slot < 0)
        return false;
    JoinEnded();
    if (static_cast<std::size_t>(slot) >= slots_.size())
        slots_.resize(static_cast<std::size_t>(slot) + 1);
    if (slots_[slot])
        Retire(std::move(slots_[slot])); // a slot runs one check at a time

    auto check = std::make_shared<Check>();
    if (pipe2(check->cancel, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    std::vector<std::string> argv{checker_.string()};
    argv.insert(argv.end(), leadingArgs_.begin(), leadingArgs_.end());
    argv.push_back(token);
    try {
        check->thread =
            std::thread([state = check.get(), argv = std::move(argv), limit = timeLimit_] {
                state->exitCode.store(RunChecker(argv, limit, state->cancel[0]),
                                      std::memory_order_relaxed);
                state->running.store(false, std::memory_order_release);
            });
    } catch (const std::system_error&) {
        return false;
    }
    slots_[slot] = std::move(check);
    return true;
}

bool ProcessCheckLauncher::Running(int slot) const
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size() || !slots_[slot])
        return false;
    return slots_[slot]->running.load(std::memory_order_acquire);
}

int ProcessCheckLauncher::ExitCode(int slot) const
{
    if (Running(slot) || static_cast<std::size_t>(slot) >= slots_.size() || !slots_[slot])
        return 0;
    return slots_[slot]->exitCode.load(std::memory_order_relaxed);
}

void ProcessCheckLauncher::CutOff(int slot)
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size() || !slots_[slot])
        return;
    Retire(std::move(slots_[slot]));
}

void ProcessCheckLauncher::Retire(std::shared_ptr<Check> check)
{
    check->Cancel();
    retired_.push_back(std::move(check));
}

// Threads that have finished are joined without waiting; the rest stay.
void ProcessCheckLauncher::JoinEnded()
{
    std::erase_if(retired_, [](const std::shared_ptr<Check>& check) {
        return !check->running.load(std::memory_order_acquire);
    });
}

} // namespace orvex
