#include "cli/CliContext.h"

#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <istream>
#include <ostream>
#include <unordered_set>

namespace orvex::cli {

const char* const kUrlUsage =
    "Usage:\n"
    "  orvexctl [--workspace DIR] url list PROJECT\n"
    "      One line per URL: Id, status, result, Created, Updated, Title, URL (tab-separated).\n"
    "  orvexctl [--workspace DIR] url add PROJECT URL...\n"
    "  orvexctl [--workspace DIR] url add PROJECT -\n"
    "      Adds URLs (with -, one a line from standard input) and prints one new Id a line.\n"
    "      Blank addresses are skipped.\n"
    "  orvexctl [--workspace DIR] url edit PROJECT ID NEWURL\n"
    "      Gives a URL a new address; one the project holds already is refused.\n"
    "  orvexctl [--workspace DIR] url delete PROJECT ID...\n"
    "      Deletes URLs with their captured files.\n"
    "\n"
    "PROJECT is a project's Id or its exact title.\n";

namespace {

int ListUrls(CliContext& context)
{
    if (context.args.size() != 1)
        return context.UsageError("url list takes one project.", kUrlUsage);
    std::optional<OpenedProject> opened = OpenProjectOf(context, context.args[0], false);
    if (!opened)
        return kFailed;
    std::string text;
    for (std::size_t i = 0; i < opened->urls->records().size(); ++i) {
        const std::string row = BuildUrlRow(opened->urls->records()[i], i);
        text += TabLine({UrlRowFieldView(row, UrlRowField::Id),
                         UrlRowFieldView(row, UrlRowField::StatusText),
                         UrlRowFieldView(row, UrlRowField::Result),
                         UrlRowFieldView(row, UrlRowField::Created),
                         UrlRowFieldView(row, UrlRowField::Updated),
                         UrlRowFieldView(row, UrlRowField::Title),
                         UrlFieldView(opened->urls->records()[i], UrlField::Url)});
        text += '\n';
    }
    context.out << text;
    return kOk;
}

int AddUrls(CliContext& context)
{
    if (context.args.size() < 2)
        return context.UsageError("url add takes a project and URLs, or - for standard input.",
                                  kUrlUsage);
    std::vector<std::string> urls;
    auto take = [&urls](std::string_view text) {
        if (!TrimView(text).empty())
            urls.emplace_back(TrimView(text));
    };
    if (context.args.size() == 2 && context.args[1] == "-") {
        for (std::string line; std::getline(context.in, line);)
            take(line);
    } else {
        for (std::size_t i = 1; i < context.args.size(); ++i)
            take(context.args[i]);
    }
    std::optional<OpenedProject> opened = OpenProjectOf(context, context.args[0], true);
    if (!opened)
        return kFailed;
    if (urls.empty())
        return kOk;
    const std::vector<std::string> ids = opened->urls->AddUrls(urls);
    if (Status saved = opened->urls->Save(); !saved)
        return context.Fail(saved.message());
    std::string text;
    for (const std::string& id : ids)
        text += id + '\n';
    context.out << text;
    return kOk;
}

int EditUrl(CliContext& context)
{
    if (context.args.size() != 3)
        return context.UsageError("url edit takes a project, an Id and the new URL.", kUrlUsage);
    std::optional<OpenedProject> opened = OpenProjectOf(context, context.args[0], true);
    if (!opened)
        return kFailed;
    const std::string& id = context.args[1];
    Status saved = Status::Ok();
    switch (opened->urls->EditUrl(opened->urls->FindRecord(id), context.args[2], saved)) {
    case ProjectUrls::EditResult::NoSuchRecord:
        return context.Fail("No URL with the Id " + id + " in this project.");
    case ProjectUrls::EditResult::Duplicate:
        return context.Fail("URL already exists!     ");
    case ProjectUrls::EditResult::Unchanged:
        return kOk;
    case ProjectUrls::EditResult::Changed:
        break;
    }
    return saved ? kOk : context.Fail(saved.message());
}

int DeleteUrls(CliContext& context)
{
    if (context.args.size() < 2)
        return context.UsageError("url delete takes a project and one or more Ids.", kUrlUsage);
    std::optional<OpenedProject> opened = OpenProjectOf(context, context.args[0], true);
    if (!opened)
        return kFailed;
    std::unordered_set<std::string_view> present;
    for (const std::string& record : opened->urls->records())
        present.insert(UrlFieldView(record, UrlField::Id));
    // Every Id must be known before anything is deleted.
    const std::vector<std::string> ids(context.args.begin() + 1, context.args.end());
    for (const std::string& id : ids) {
        if (!present.count(id))
            return context.Fail("No URL with the Id " + id + " in this project; nothing deleted.");
    }
    if (Status deleted = opened->urls->DeleteUrls(ids); !deleted)
        return context.Fail(deleted.message());
    return kOk;
}

} // namespace

int RunUrlCommand(const std::string& sub, CliContext& context)
{
    if (sub == "list")
        return ListUrls(context);
    if (sub == "add")
        return AddUrls(context);
    if (sub == "edit")
        return EditUrl(context);
    if (sub == "delete")
        return DeleteUrls(context);
    return context.UsageError(sub.empty() ? "url needs a subcommand."
                                          : "Unknown url subcommand \"" + sub + "\".",
                              kUrlUsage);
}

} // namespace orvex::cli
