#include "cli/CliContext.h"

#include "workspace/RecordLayout.h"

#include <ostream>

namespace orvex::cli {

const char* const kProjectUsage =
    "Usage:\n"
    "  orvexctl [--workspace DIR] project list\n"
    "      One line per project: Id, Folder, Created, Updated, Title (tab-separated).\n"
    "  orvexctl [--workspace DIR] project new TITLE [DESCRIPTION]\n"
    "      Creates a project and prints its Id. A title that exists already is refused.\n"
    "  orvexctl [--workspace DIR] project rename PROJECT TITLE [DESCRIPTION]\n"
    "      Gives a project a new title (and description; without one it keeps its own).\n"
    "  orvexctl [--workspace DIR] project delete PROJECT...\n"
    "      Deletes projects with their folders and everything captured for them.\n"
    "\n"
    "PROJECT is a project's Id or its exact title.\n";

namespace {

int ListProjects(CliContext& context)
{
    if (!context.args.empty())
        return context.UsageError("project list takes no arguments.", kProjectUsage);
    auto opened = OpenedWorkspace::Open(context, false);
    if (!opened)
        return kFailed;
    for (const std::string& record : opened->workspace().projects()) {
        context.out << TabLine({ProjectFieldView(record, ProjectField::Id),
                                ProjectFieldView(record, ProjectField::Folder),
                                ProjectFieldView(record, ProjectField::Created),
                                ProjectFieldView(record, ProjectField::Updated),
                                ProjectFieldView(record, ProjectField::Title)})
                    << '\n';
    }
    return kOk;
}

int NewProject(CliContext& context)
{
    if (context.args.empty() || context.args.size() > 2)
        return context.UsageError("project new takes a title and an optional description.",
                                  kProjectUsage);
    auto opened = OpenedWorkspace::Open(context, true);
    if (!opened)
        return kFailed;
    Workspace& workspace = opened->workspace();
    const std::string& title = context.args[0];
    if (workspace.TitleExists(title))
        return context.Fail("Project already exists!     ");
    std::string id;
    const std::string description = context.args.size() > 1 ? context.args[1] : std::string();
    if (Status created = workspace.CreateProject(title, description, id); !created)
        return context.Fail(created.message());
    if (Status saved = workspace.SaveProjects(); !saved)
        return context.Fail(saved.message());
    context.out << id << '\n';
    return kOk;
}

int RenameProject(CliContext& context)
{
    if (context.args.size() < 2 || context.args.size() > 3)
        return context.UsageError(
            "project rename takes a project, a title and an optional description.",
            kProjectUsage);
    auto opened = OpenedWorkspace::Open(context, true);
    if (!opened)
        return kFailed;
    const std::optional<std::size_t> index = opened->ResolveProject(context, context.args[0]);
    if (!index)
        return kFailed;
    Workspace& workspace = opened->workspace();
    const std::string description =
        context.args.size() > 2
            ? context.args[2]
            : std::string(ProjectFieldView(workspace.projects()[*index], ProjectField::Description));
    if (Status renamed = workspace.RenameProject(*index, context.args[1], description); !renamed)
        return context.Fail(renamed.message());
    return kOk;
}

int DeleteProjects(CliContext& context)
{
    if (context.args.empty())
        return context.UsageError("project delete takes one or more projects.", kProjectUsage);
    auto opened = OpenedWorkspace::Open(context, true);
    if (!opened)
        return kFailed;
    // Every name must resolve before anything is deleted.
    std::vector<std::size_t> indices;
    for (const std::string& name : context.args) {
        const std::optional<std::size_t> index = opened->ResolveProject(context, name);
        if (!index)
            return kFailed;
        indices.push_back(*index);
    }
    Workspace& workspace = opened->workspace();
    std::vector<std::string> titles;
    for (std::size_t index : indices)
        titles.push_back(TrimText(ProjectFieldView(workspace.projects()[index], ProjectField::Title)));
    Status saved = Status::Ok();
    const std::vector<std::size_t> survived = workspace.DeleteProjects(indices, saved);
    int code = kOk;
    for (std::size_t index : survived) {
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (indices[i] == index)
                code = context.Fail("The folder of project \"" + titles[i] +
                                    "\" could not be removed; the project stays in the list.");
        }
    }
    if (!saved)
        code = context.Fail(saved.message());
    return code;
}

} // namespace

int RunProjectCommand(const std::string& sub, CliContext& context)
{
    if (sub == "list")
        return ListProjects(context);
    if (sub == "new")
        return NewProject(context);
    if (sub == "rename")
        return RenameProject(context);
    if (sub == "delete")
        return DeleteProjects(context);
    return context.UsageError(sub.empty() ? "project needs a subcommand."
                                          : "Unknown project subcommand \"" + sub + "\".",
                              kProjectUsage);
}

} // namespace orvex::cli
