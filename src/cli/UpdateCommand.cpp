#include "cli/CliContext.h"
#include "cli/StopSignals.h"

#include "review/ReviewGenerator.h"
#include "update/ProcessUpdateLauncher.h"
#include "update/RunUpdate.h"
#include "update/UpdateSettings.h"
#include "workspace/RecordLayout.h"
#include "workspace/Settings.h"
#include "workspace/UniqueId.h"
#include "workspace/UrlRows.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <thread>
#include <unistd.h>

namespace orvex::cli {

const char* const kUpdateUsage =
    "Usage:\n"
    "  orvexctl [--workspace DIR] update PROJECT [--threads N] [--selected ID...] [--from ID]\n"
    "      Captures the URLs of a project: screenshot, thumbnail, site icon, page,\n"
    "      text, digest and HTTP properties, N at a time (1..10; default: the\n"
    "      ThreadCount setting). Then stamps the project's update time and rewrites\n"
    "      its review pages.\n"
    "      --selected  only the URLs with these Ids\n"
    "      --from      every URL from the one with this Id to the end of the list\n"
    "      (with both, only the Ids given to --selected, from --from on)\n"
    "      Progress goes to standard error and a summary line to standard output.\n"
    "      Ctrl-C stops the run as the Stop button does: busy workers are stopped,\n"
    "      results obtained so far are kept and the review pages are written.\n"
    "\n"
    "PROJECT is a project's Id or its exact title.\n";

namespace {

struct UpdateArgs
{
    std::string project;
    int threads = 0; // 0: the setting
    std::vector<std::string> selected;
    std::string from;
};

std::optional<int> ParseThreads(const std::string& text)
{
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::stoi(text);
    if (value < 1 || value > RunUpdate::kSlotCount)
        return std::nullopt;
    return value;
}

// The project first, then the options in any order; an empty problem means
// the arguments are good.
std::string ParseArgs(const std::vector<std::string>& args, UpdateArgs& parsed)
{
    if (args.empty() || args[0].rfind("--", 0) == 0)
        return "update takes a project first.";
    parsed.project = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--threads") {
            const std::optional<int> threads =
                i + 1 < args.size() ? ParseThreads(args[i + 1]) : std::nullopt;
            if (!threads)
                return "--threads takes a number from 1 to 10.";
            parsed.threads = *threads;
            ++i;
        } else if (arg == "--from") {
            if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
                return "--from takes one Id.";
            parsed.from = args[++i];
        } else if (arg == "--selected") {
            const std::size_t first = parsed.selected.size();
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0)
                parsed.selected.push_back(args[++i]);
            if (parsed.selected.size() == first)
                return "--selected takes one or more Ids.";
        } else {
            return "unknown option " + arg + ".";
        }
    }
    return {};
}

std::string RateText(int pages, std::chrono::steady_clock::duration spent)
{
    const double minutes = std::chrono::duration<double>(spent).count() / 60.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", minutes > 0 ? pages / minutes : 0.0);
    return text;
}

} // namespace

int RunUpdateCommand(CliContext& context)
{
    UpdateArgs args;
    if (const std::string problem = ParseArgs(context.args, args); !problem.empty())
        return context.UsageError(problem, kUpdateUsage);
    std::optional<OpenedProject> opened = OpenProjectOf(context, args.project, true);
    if (!opened)
        return kFailed;
    Workspace& workspace = opened->workspace->workspace();
    ProjectUrls* urls = opened->urls.get();

    // Rows in record order, so row and record indices agree.
    std::vector<std::size_t> selected;
    UpdateOptions options;
    const auto findRow = [&](const std::string& id) -> std::optional<std::size_t> {
        const long long found = urls->FindRecord(id);
        if (found < 0)
            return std::nullopt;
        return static_cast<std::size_t>(found);
    };
    for (const std::string& id : args.selected) {
        const std::optional<std::size_t> row = findRow(id);
        if (!row)
            return context.Fail("No URL with the Id " + id + " in this project; nothing updated.");
        selected.push_back(*row);
    }
    if (!args.from.empty()) {
        const std::optional<std::size_t> row = findRow(args.from);
        if (!row)
            return context.Fail("No URL with the Id " + args.from +
                                " in this project; nothing updated.");
        // The first selected row is where the run starts.
        if (args.selected.empty() || *row < *std::min_element(selected.begin(), selected.end()))
            selected.push_back(*row);
        options.startFromSelected = true;
    }
    options.updateSelected = !args.selected.empty();
    if (selected.empty() && !urls->records().empty())
        selected.push_back(0);

    Settings settings;
    const std::filesystem::path settingsFile = workspace.settingsFile();
    if (Status loaded = LoadSettingsFile(settingsFile, settings, 0, 0); !loaded)
        return context.Fail(loaded.message());
    const std::filesystem::path worker =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "oxupdate";
    if (access(worker.c_str(), X_OK) != 0)
        return context.Fail("The update worker " + worker.string() + " cannot be run.");

    RecordList rows;
    BuildUrlRows(urls->records(), rows);
    ProcessUpdateLauncher launcher(worker, settingsFile);
    RunUpdate run(launcher, workspace.seconds());
    const int threads = args.threads > 0 ? args.threads : settings.threadCount;
    run.SetThreadCount([threads] { return threads; });
    // Tests only: not to wait out the real job time-out.
    if (const char* limit = std::getenv("ORVEX_TEST_JOB_TIMEOUT"); limit && std::atoi(limit) > 0)
        run.SetJobTimeout(static_cast<std::uint32_t>(std::atoi(limit)));
    std::string saveError;
    run.SetSaveRecords([&] {
        const Status saved = urls->Save();
        if (!saved && saveError.empty())
            saveError = saved.message();
        return static_cast<bool>(saved);
    });

    const auto started = std::chrono::steady_clock::now();
    if (!urls->records().empty() && !run.Begin(rows, urls->records(), selected, options,
                                               UpdateJobSettingsFrom(settings), urls->folder()))
        return context.Fail("The update could not start: " + (launcher.error().empty()
                                                                  ? std::string("no URL chosen.")
                                                                  : launcher.error()));
    {
        StopSignals stopSignals;
        ProgressLine progress(context.err);
        for (bool going = run.running(); going;) {
            if (StopSignals::Requested())
                run.Stop();
            going = run.Poll();
            progress.Show("Updating: " + run.ProcessedText() + ", " + std::to_string(run.failed()) +
                          " failed, " +
                          RateText(run.position(), std::chrono::steady_clock::now() - started) +
                          " pages/min");
            if (going)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        progress.End();
    }
    const auto spent = std::chrono::steady_clock::now() - started;

    if (Status stamped = workspace.SetProjectUpdated(opened->index, NowText()); !stamped)
        return context.Fail(stamped.message());
    const std::string& record = workspace.projects()[opened->index];
    const ReviewInput input{urls->folder(), rows,
                            TrimText(ProjectFieldView(record, ProjectField::Title))};
    if (Status written = GenerateReviews(input); !written)
        return context.Fail(written.message());
    if (!saveError.empty())
        return context.Fail(saveError);

    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(spent).count();
    context.out << (run.ended() == UpdateEnd::Stopped ? "Update stopped: " : "Update completed: ")
                << run.position() << " of " << run.total() << " processed, " << run.failed()
                << " failed, in " << seconds << " s (" << RateText(run.position(), spent)
                << " pages/min).\n";
    return kOk;
}

} // namespace orvex::cli
