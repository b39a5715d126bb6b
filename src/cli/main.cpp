// orvexctl: the command-line front end over the same core as the desktop program.
#include "cli/CliContext.h"

#include <QCoreApplication>

#include <iostream>

using namespace orvex::cli;

namespace {

const char* const kMainUsage =
    "Usage: orvexctl [--workspace DIR] COMMAND SUBCOMMAND [ARGUMENTS]\n"
    "\n"
    "Keeps the projects and URLs of an Orvex workspace from the command line.\n"
    "\n"
    "Commands:\n"
    "  project list | new | rename | delete\n"
    "  url     list | add | edit | delete\n"
    "  review  PROJECT (writes the project's three review pages)\n"
    "  check   PROJECT [--selected ID...] (records the HTTP status of URLs)\n"
    "  update  PROJECT [--threads N] [--selected ID...] [--from ID] (captures the pages)\n"
    "\n"
    "Options:\n"
    "  --workspace DIR   the workspace folder (default: the folder of this program)\n"
    "  --help            this text; 'orvexctl COMMAND --help' explains a command\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure, 2 on wrong usage.\n"
    "Commands that change the workspace refuse while Orvex has it open.\n";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);

    std::filesystem::path workspace = QCoreApplication::applicationDirPath().toStdString();
    std::size_t pos = 0;
    while (pos < args.size() && args[pos].rfind("--", 0) == 0 && !IsHelp(args[pos])) {
        if (args[pos] == "--workspace" && pos + 1 < args.size()) {
            workspace = args[pos + 1];
            pos += 2;
        } else if (args[pos].rfind("--workspace=", 0) == 0) {
            workspace = args[pos].substr(12);
            pos += 1;
        } else {
            std::cerr << "orvexctl: unknown option " << args[pos] << "\n" << kMainUsage;
            return kUsageError;
        }
    }
    if (pos >= args.size()) {
        std::cerr << kMainUsage;
        return kUsageError;
    }
    if (IsHelp(args[pos])) {
        std::cout << kMainUsage;
        return kOk;
    }
    const std::string command = args[pos++];
    const char* usage = command == "project"  ? kProjectUsage
                        : command == "url"    ? kUrlUsage
                        : command == "review" ? kReviewUsage
                        : command == "check"  ? kCheckUsage
                        : command == "update" ? kUpdateUsage
                                              : nullptr;
    if (!usage) {
        std::cerr << "orvexctl: unknown command " << command << "\n" << kMainUsage;
        return kUsageError;
    }
    for (std::size_t i = pos; i < args.size(); ++i) {
        if (IsHelp(args[i])) {
            std::cout << usage;
            return kOk;
        }
    }
    // check and update have no subcommand either.
    if (command == "check" || command == "update") {
        CliContext runContext{workspace, std::vector<std::string>(args.begin() + pos, args.end()),
                              std::cin, std::cout, std::cerr};
        std::ios::sync_with_stdio(false);
        return command == "check" ? RunCheckCommand(runContext) : RunUpdateCommand(runContext);
    }
    // review has no subcommand: its arguments follow the command.
    const bool takesSub = command != "review";
    const std::string sub = takesSub && pos < args.size() ? args[pos++] : std::string();
    CliContext context{workspace, std::vector<std::string>(args.begin() + pos, args.end()),
                       std::cin, std::cout, std::cerr};
    std::ios::sync_with_stdio(false);
    if (command == "review")
        return RunReviewCommand(context);
    return command == "project" ? RunProjectCommand(sub, context) : RunUrlCommand(sub, context);
}
