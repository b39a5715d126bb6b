// oxupdate: the update worker and the run's shared browser host.
//
//   oxupdate ox<N>                 the worker of update slot N (0..9)
//   oxupdate --browser-host NAME   the shared headless browser of an update run
//
// The worker listens on its slot's socket, takes one job, captures the page
// in headless chromium (through the run's shared browser when
// ORVEX_BROWSER_SOCKET names one that answers, else a browser of its own),
// writes the URL's files, then the fields of the slot's result block and last
// its marker, and ends. A stop message or SIGTERM ends it at any point within
// about 2 s, its own browser included, without the marker. Without a job
// within ORVEX_IDLE_SECONDS (30 s) it ends by itself.
//
// Environment (all optional): ORVEX_SETTINGS (orx.ini to read the proxy
// from), ORVEX_BROWSER_SOCKET, ORVEX_CHROMIUM, ORVEX_LOAD_SECONDS (bound of
// the wait for the page's load event, default 30), ORVEX_IDLE_SECONDS,
// ORVEX_CONTEXT_MODE (slot or fresh), ORVEX_TRACE (1: time each capture step).
//
// Exit: 0 after a job (whatever its result) or an idle end, 0 after a stop
// message, 128 + the signal after SIGTERM or SIGINT, 1 when the slot's socket
// or block cannot be had, 2 for a malformed command line.
#include "BrowserHost.h"
#include "BrowserLink.h"
#include "CaptureFiles.h"
#include "CaptureResult.h"
#include "DevToolsSession.h"
#include "JobSocket.h"
#include "PageCapture.h"
#include "WorkerConfig.h"

#include "update/ResultBlock.h"
#include "update/SharedBlock.h"
#include "update/UpdateProtocol.h"
#include "workers/WorkerStopSignal.h"
#include "workspace/UniqueId.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace orvex;
using namespace orvex::oxupdate;

constexpr int kExitUsage = 2;
constexpr int kExitNoSlot = 1;

int Usage(const char* message)
{
    std::fprintf(stderr, "oxupdate: %s\nusage: oxupdate ox<0-9> | oxupdate --browser-host NAME\n",
                 message);
    return kExitUsage;
}

int StoppedExit()
{
    return WorkerStopSignal() ? 128 + static_cast<int>(WorkerStopSignal()) : 0;
}

BrowserOptions OptionsFrom(const WorkerConfig& config)
{
    BrowserOptions options;
    options.chromiumPath = config.chromiumPath;
    options.hostSocket = config.hostSocket;
    return options;
}

void Report(const std::string& message)
{
    std::fprintf(stderr, "oxupdate: %s\n", message.c_str());
}

// The block of a job that captured nothing.
double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One line per job, written at once so that workers sharing the file do not
// mix their lines.
void AppendPhaseLine(const std::string& path,
                     const std::vector<std::pair<std::string, double>>& phases)
{
    std::string line;
    for (const auto& [phase, ms] : phases) {
        char field[64];
        std::snprintf(field, sizeof field, "%s%s=%.1f", line.empty() ? "" : " ", phase.c_str(), ms);
        line += field;
    }
    line += '\n';
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

void WriteFailure(SharedBlock& block, const std::string& captured)
{
    CaptureOutcome outcome;
    outcome.captured = captured;
    outcome.updated = NowText();
    WriteBlockFields(block.data(), BlockFields(outcome));
    WriteBlockMarker(block.data());
}

int RunWorker(int slot)
{
    const int wakeRead = InstallWorkerStopHandlers();
    // The coordinator gives up on a worker whose socket does not accept soon:
    // listening comes before anything else.
    JobSocket socket(wakeRead);
    std::string error;
    if (!socket.Listen(UpdateSocketName(::getuid(), slot), error)) {
        Report(error);
        return kExitNoSlot;
    }
    SharedBlock block = SharedBlock::Open(UpdateBlockName(::getuid(), slot));
    if (!block.valid()) {
        Report("no result block: " + block.error());
        return kExitNoSlot;
    }
    const WorkerConfig config = ReadWorkerConfig();

    switch (socket.WaitForJob(Clock::now() + config.idleLimit)) {
    case JobSocket::Wait::Timeout:
        return 0;
    case JobSocket::Wait::Stop:
        return StoppedExit();
    case JobSocket::Wait::Job:
        break;
    }
    const std::string captured = NowText();
    const std::optional<UpdateJob> job = DecodeJobText(socket.TakeJob().value_or(std::string()));
    std::error_code fsError;
    if (!job || !IsValidId(job->id) || job->projectFolder.empty() ||
        !std::filesystem::is_directory(job->projectFolder, fsError)) {
        // Never a path from an unchecked id, and no page loaded for nothing.
        Report(!job ? "malformed job" : "unusable id or project folder in the job");
        WriteFailure(block, captured);
        return 0;
    }

    BrowserOptions options = OptionsFrom(config);
    options.cancel = [&socket] {
        socket.Poll();
        return socket.stopped();
    };
    const auto browserStart = Clock::now();
    std::unique_ptr<BrowserLink> link = BrowserLink::Open(options, error);
    std::vector<std::pair<std::string, double>> phases = {{"browser", MsSince(browserStart)}};
    if (socket.stopped()) {
        if (link)
            link->Close();
        return StoppedExit();
    }
    if (!link) {
        Report("no browser: " + error);
        WriteFailure(block, captured);
        return 0;
    }

    CaptureOutcome outcome;
    {
        DevToolsSession session(link->readFd(), link->writeFd(), &socket);
        CaptureFiles files(job->projectFolder, job->id);
        PageCapture capture(session, config, slot, link->shared());
        try {
            outcome = capture.Run(*job, files);
            // Before the marker: the slot's next job may start the moment
            // the coordinator sees it, and must find the context clean.
            capture.Finish();
        } catch (const StopRequested&) {
            files.Abandon();
            link->Close();
            return StoppedExit();
        } catch (const std::exception& failure) {
            // Whatever went wrong, the coordinator gets its block rather
            // than waiting out its time limit.
            Report(job->url + ": " + failure.what());
            outcome = CaptureOutcome{};
        }
        const auto filesStart = Clock::now();
        files.Finish();
        phases.insert(phases.end(), capture.phases().begin(), capture.phases().end());
        phases.emplace_back("files", MsSince(filesStart));
        if (!capture.error().empty())
            Report(job->url + ": " + capture.error());
        outcome.screenshotWritten = files.Written(CaptureFile::Screenshot);
        outcome.thumbnailWritten = files.Written(CaptureFile::Thumbnail);
        outcome.iconDeclared = capture.iconDeclared();
        outcome.iconWritten = files.Written(CaptureFile::Icon);
        bool data = !capture.dataFailed() && capture.dataHanded().size() >= 3;
        for (const CaptureFile file : capture.dataHanded())
            data = data && files.Written(file);
        outcome.dataWritten = data;
    }
    outcome.captured = captured;
    outcome.updated = NowText();
    WriteBlockFields(block.data(), BlockFields(outcome));
    WriteBlockMarker(block.data());
    link->Close();
    if (!config.phaseLog.empty())
        AppendPhaseLine(config.phaseLog, phases);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--browser-host") == 0) {
        const WorkerConfig config = ReadWorkerConfig();
        BrowserOptions options = OptionsFrom(config);
        options.hostSocket.clear();
        return RunBrowserHost(argv[2], options);
    }
    if (argc != 2)
        return Usage("one argument expected");
    const std::optional<int> slot = SlotFromWorkerArgument(argv[1]);
    if (!slot)
        return Usage("unknown slot argument");
    return RunWorker(*slot);
}
