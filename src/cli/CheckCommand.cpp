#include "cli/CliContext.h"
#include "cli/StopSignals.h"

#include "check/CheckUrls.h"
#include "check/ProcessCheckLauncher.h"
#include "workspace/Settings.h"
#include "workspace/UrlRows.h"

#include <QCoreApplication>

#include <chrono>
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
            if (StopSignals::Requested())
                check.Stop();
            going = check.Poll();
            progress.Show("Checking: " + check.ProcessedText() + ", " +
                          std::to_string(check.failed()) + " failed");
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
