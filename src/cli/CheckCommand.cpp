#include "cli/CliContext.h"

#include "check/CheckUrls.h"
#include "check/ProcessCheckLauncher.h"
#include "workspace/Settings.h"
#include "workspace/UrlRows.h"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <ostream>
#include <thread>
#include <unistd.h>

namespace orvex::cli {

const char* const kCheckUsage =
    "Usage:\n"
    "  orvexctl [--workspace DIR] check PROJECT [--selected ID...]\n"
    "      Checks the HTTP status of every URL of a project, or only of the URLs\n"
    "      given, ten at a time, and records each status and the time of the check.\n"
    "      Progress goes to standard error and a summary line to standard output.\n"
    "      Ctrl-C stops the check; the statuses obtained so far are kept.\n"
    "\n"
    "PROJECT is a project's Id or its exact title.\n";

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopSignal(int)
{
    g_stopRequested = 1;
}

// Ctrl-C (or SIGTERM) asks the run to stop; a second one ends the program
// the usual way. The previous handlers come back when this goes.
class StopSignals
{
public:
    StopSignals()
    {
        g_stopRequested = 0;
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt_ = {};
    struct sigaction oldTerm_ = {};
};

// On a terminal one line rewritten in place; otherwise a plain line now and
// then, for logs.
class ProgressLine
{
public:
    explicit ProgressLine(std::ostream& err) : err_(err), terminal_(isatty(STDERR_FILENO) == 1) {}

    void Show(const CheckUrls& check)
    {
        const std::string text = "Checking: " + check.ProcessedText() + ", " +
                                 std::to_string(check.failed()) + " failed";
        const auto now = std::chrono::steady_clock::now();
        const auto every = terminal_ ? std::chrono::milliseconds(100) : std::chrono::seconds(2);
        if (text == shown_ || now - lastShown_ < every)
            return;
        err_ << (terminal_ ? "\r" + text + "\x1b[K" : text + "\n") << std::flush;
        shown_ = text;
        lastShown_ = now;
    }
    void End()
    {
        if (terminal_ && !shown_.empty())
            err_ << "\r\x1b[K" << std::flush;
    }

private:
    std::ostream& err_;
    bool terminal_;
    std::string shown_;
    std::chrono::steady_clock::time_point lastShown_{};
};

// Project, then optionally --selected and the Ids.
bool ParseArgs(const std::vector<std::string>& args, std::vector<std::string>& ids)
{
    if (args.empty())
        return false;
    if (args.size() == 1)
        return true;
    if (args[1] != "--selected" || args.size() < 3)
        return false;
    ids.assign(args.begin() + 2, args.end());
    return true;
}

} // namespace

int RunCheckCommand(CliContext& context)
{
    std::vector<std::string> ids;
    if (!ParseArgs(context.args, ids))
        return context.UsageError("check takes a project, then optionally --selected and Ids.",
                                  kCheckUsage);
    std::optional<OpenedProject> opened = OpenProjectOf(context, context.args[0], true);
    if (!opened)
        return kFailed;
    ProjectUrls* urls = opened->urls.get();

    // Rows in record order, so row and record indices agree.
    std::vector<std::size_t> selected;
    for (const std::string& id : ids) {
        const long long found = urls->FindRecord(id);
        if (found < 0)
            return context.Fail("No URL with the Id " + id + " in this project; nothing checked.");
        selected.push_back(static_cast<std::size_t>(found));
    }
    Settings settings;
    const std::filesystem::path settingsFile = opened->workspace->workspace().settingsFile();
    if (Status loaded = LoadSettingsFile(settingsFile, settings, 0, 0); !loaded)
        return context.Fail(loaded.message());
    const std::filesystem::path checker =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "urlstat";
    if (access(checker.c_str(), X_OK) != 0)
        return context.Fail("The status checker " + checker.string() + " cannot be run.");

    RecordList rows;
    BuildUrlRows(urls->records(), rows);
    ProcessCheckLauncher launcher(checker, ProcessCheckLauncher::CheckerArguments(settingsFile));
    CheckUrls check(launcher, opened->workspace->workspace().seconds());
    const CheckOptions options{false, !ids.empty()};
    const CheckProxy proxy{settings.useProxy, settings.proxyUser, settings.proxyPassw};
    {
        StopSignals stopSignals;
        ProgressLine progress(context.err);
        bool going = check.Begin(rows, urls->records(), selected, options, proxy);
        while (going) {
            if (g_stopRequested)
                check.Stop();
            going = check.Poll();
            progress.Show(check);
            if (going)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        progress.End();
    }

    if (Status saved = urls->Save(); !saved)
        return context.Fail(saved.message());
    const int total = urls->records().empty() ? 0 : check.maximum();
    context.out << (check.stopRequested() ? "Checking stopped: " : "Checking completed: ")
                << check.position() << " of " << total << " processed, " << check.failed()
                << " failed.\n";
    return kOk;
}

} // namespace orvex::cli
