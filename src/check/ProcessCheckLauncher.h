#pragma once

#include "check/CheckLauncher.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

// Runs each check as a checker process (urlstat), watched by a thread of its
// own: the thread starts the process, reads the status it prints and waits
// for it to end, at most timeLimit. A checker that overruns, or whose check
// is cut off, gets SIGTERM (SIGKILL if it lingers) and yields exit code 0, as
// does one that prints no status or exits non-zero.
class ProcessCheckLauncher : public CheckLauncher
{
public:
    static constexpr std::chrono::milliseconds kTimeLimit{30000};

    // Each check runs: checker, leadingArgs..., token.
    ProcessCheckLauncher(std::filesystem::path checker, std::vector<std::string> leadingArgs,
                         std::chrono::milliseconds timeLimit = kTimeLimit);
    ~ProcessCheckLauncher() override; // cuts off every check and waits for its thread
    ProcessCheckLauncher(const ProcessCheckLauncher&) = delete;
    ProcessCheckLauncher& operator=(const ProcessCheckLauncher&) = delete;

    // The leading arguments that point the checker at a workspace's settings
    // (it reads the proxy server and port there). When the environment holds
    // ORVEX_TEST_CHECK_TIMEOUT (set by tests only), its value is passed on as
    // the checker's --timeout, so that tests need not wait out the real limit.
    static std::vector<std::string> CheckerArguments(const std::filesystem::path& settingsFile);

    bool Start(int slot, const std::string& token) override;
    bool Running(int slot) const override;
    int ExitCode(int slot) const override;
    void CutOff(int slot) override;

private:
    struct Check;

    void Retire(std::shared_ptr<Check> check);
    void JoinEnded();

    std::filesystem::path checker_;
    std::vector<std::string> leadingArgs_;
    std::chrono::milliseconds timeLimit_;
    std::vector<std::shared_ptr<Check>> slots_;
    std::vector<std::shared_ptr<Check>> retired_; // cut off, still ending
};

} // namespace orvex
