#pragma once

#include "workspace/InstanceLock.h"
#include "workspace/ProjectUrls.h"
#include "workspace/Workspace.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvex::cli {

// Exit codes of orvexctl.
enum ExitCode : int { kOk = 0, kFailed = 1, kUsageError = 2 };

// One command's view of the workspace and of the terminal.
struct CliContext
{
    std::filesystem::path workspace;
    std::vector<std::string> args; // after the command and subcommand words
    std::istream& in;
    std::ostream& out;
    std::ostream& err;

    // Prints "orvexctl: <message>" (trailing blanks trimmed) and returns kFailed.
    int Fail(const std::string& message) const;
    // Prints the usage text on standard error and returns kUsageError.
    int UsageError(const std::string& problem, const std::string& usage) const;
};

// A workspace opened for one command: changing commands hold its lock,
// read-only ones read it as it is when the desktop program holds it.
class OpenedWorkspace
{
public:
    // Returns nothing after printing why it could not be opened.
    static std::unique_ptr<OpenedWorkspace> Open(const CliContext& context, bool forChange);

    Workspace& workspace() { return *workspace_; }
    // The project named by its Id or exact trimmed title; nothing after printing why.
    std::optional<std::size_t> ResolveProject(const CliContext& context, const std::string& name);
    // The project's URL list, loaded; nothing after printing why.
    std::unique_ptr<ProjectUrls> OpenUrls(const CliContext& context, std::size_t projectIndex);

private:
    std::unique_ptr<WorkspaceLock> lock_;
    std::unique_ptr<Workspace> workspace_;
};

// The workspace, one project of it and the project's URL list, for one command.
struct OpenedProject
{
    std::unique_ptr<OpenedWorkspace> workspace;
    std::size_t index = 0; // of the project record
    std::unique_ptr<ProjectUrls> urls;
};
// Opens the project named by its Id or title; nothing after printing why.
std::optional<OpenedProject> OpenProjectOf(const CliContext& context, const std::string& name,
                                           bool forChange);

// Joins fields with tabs, each trimmed and with tabs inside turned into blanks.
std::string TabLine(const std::vector<std::string_view>& fields);

int RunProjectCommand(const std::string& sub, CliContext& context);
int RunUrlCommand(const std::string& sub, CliContext& context);
int RunReviewCommand(CliContext& context);
int RunCheckCommand(CliContext& context);
int RunUpdateCommand(CliContext& context);
extern const char* const kProjectUsage;
extern const char* const kUrlUsage;
extern const char* const kReviewUsage;
extern const char* const kCheckUsage;
extern const char* const kUpdateUsage;

} // namespace orvex::cli
