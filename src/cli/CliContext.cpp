#include "cli/CliContext.h"

#include "workspace/InstanceLock.h"

#include <ostream>
#include <system_error>

namespace orvex::cli {

int CliContext::Fail(const std::string& message) const
{
    std::string text = message;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    err << "orvexctl: " << text << '\n';
    return kFailed;
}

int CliContext::UsageError(const std::string& problem, const std::string& usage) const
{
    if (!problem.empty())
        err << "orvexctl: " << problem << '\n';
    err << usage;
    return kUsageError;
}

namespace {

// Damage is reported and stops the command: the user should look before
// anything else is done to the workspace.
bool ReportDamage(const CliContext& context, Workspace& workspace)
{
    const std::vector<DamageReport> reports = workspace.TakeDamageReports();
    for (const DamageReport& report : reports)
        context.Fail(report.Message());
    return !reports.empty();
}

} // namespace

std::unique_ptr<OpenedWorkspace> OpenedWorkspace::Open(const CliContext& context, bool forChange)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(context.workspace, ec)) {
        context.Fail("The workspace folder \"" + context.workspace.string() + "\" does not exist.");
        return nullptr;
    }
    auto opened = std::make_unique<OpenedWorkspace>();
    opened->lock_ = std::make_unique<WorkspaceLock>(context.workspace);
    AccessMode mode = AccessMode::ReadWrite;
    if (!opened->lock_->Acquire(forChange ? 10000 : 0)) {
        if (forChange) {
            context.Fail(opened->lock_->holderMessage());
            return nullptr;
        }
        mode = AccessMode::ReadOnly; // only reading while someone else changes it
    }
    opened->workspace_ = std::make_unique<Workspace>(context.workspace, mode);
    const Status status = opened->workspace_->Open();
    const bool damaged = ReportDamage(context, *opened->workspace_);
    if (!status.ok()) {
        context.Fail(status.message());
        return nullptr;
    }
    if (damaged)
        return nullptr;
    return opened;
}

std::optional<std::size_t> OpenedWorkspace::ResolveProject(const CliContext& context,
                                                           const std::string& name)
{
    const std::vector<std::size_t> found = workspace_->FindProjects(name);
    if (found.empty()) {
        context.Fail("No project \"" + name + "\".");
        return std::nullopt;
    }
    if (found.size() > 1) {
        context.Fail("Several projects are titled \"" + name + "\"; name one by its Id.");
        return std::nullopt;
    }
    return found.front();
}

std::unique_ptr<ProjectUrls> OpenedWorkspace::OpenUrls(const CliContext& context,
                                                       std::size_t projectIndex)
{
    const std::string& record = workspace_->projects()[projectIndex];
    const std::optional<std::filesystem::path> folder = workspace_->ProjectFolder(record);
    if (!folder) {
        context.Fail("The project's record names no valid folder; it is left alone.");
        return nullptr;
    }
    auto urls = std::make_unique<ProjectUrls>(*folder, workspace_->saveGate(), workspace_->mode());
    const LoadOutcome outcome = urls->Load();
    if (outcome.damage)
        workspace_->AddDamageReport(*outcome.damage);
    if (ReportDamage(context, *workspace_))
        return nullptr;
    if (!outcome.status) {
        context.Fail(outcome.status.message());
        return nullptr;
    }
    return urls;
}

std::optional<OpenedProject> OpenProjectOf(const CliContext& context, const std::string& name,
                                           bool forChange)
{
    OpenedProject opened;
    opened.workspace = OpenedWorkspace::Open(context, forChange);
    if (!opened.workspace)
        return std::nullopt;
    const std::optional<std::size_t> index = opened.workspace->ResolveProject(context, name);
    if (!index)
        return std::nullopt;
    opened.index = *index;
    opened.urls = opened.workspace->OpenUrls(context, *index);
    if (!opened.urls)
        return std::nullopt;
    return opened;
}

std::string TabLine(const std::vector<std::string_view>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += '\t';
        std::string field = TrimText(fields[i]);
        for (char& c : field) {
            if (c == '\t')
                c = ' ';
        }
        line += field;
    }
    return line;
}

} // namespace orvex::cli
