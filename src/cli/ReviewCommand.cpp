#include "cli/CliContext.h"

#include "review/ReviewGenerator.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <ostream>
#include <system_error>

namespace orvex::cli {

const char* const kReviewUsage =
    "Usage:\n"
    "  orvexctl [--workspace DIR] review PROJECT\n"
    "      Writes the three review pages of a project (Simple, Gallery, Gray Granite)\n"
    "      with its URLs in record order, and prints their paths one a line.\n"
    "\n"
    "PROJECT is a project's Id or its exact title.\n";

int RunReviewCommand(CliContext& context)
{
    if (context.args.size() != 1)
        return context.UsageError("review takes one project.", kReviewUsage);
    // The pages are files of the workspace: written only while no one else has it.
    const std::optional<OpenedProject> opened = OpenProjectOf(context, context.args[0], true);
    if (!opened)
        return kFailed;
    const ProjectUrls* urls = opened->urls.get();

    RecordList rows;
    BuildUrlRows(urls->records(), rows);
    const std::string& record = opened->workspace->workspace().projects()[opened->index];
    const ReviewInput input{urls->folder(), rows,
                            TrimText(ProjectFieldView(record, ProjectField::Title))};
    if (Status written = GenerateReviews(input); !written)
        return context.Fail(written.message());

    std::error_code ec;
    std::string text;
    for (int style : {ReviewStyle::Simple, ReviewStyle::Gallery, ReviewStyle::GrayGranite}) {
        const std::filesystem::path page = ReviewPagePath(input.projectFolder, style);
        const std::filesystem::path shown = std::filesystem::absolute(page, ec);
        text += (ec ? page : shown.lexically_normal()).string() + '\n';
    }
    context.out << text;
    return kOk;
}

} // namespace orvex::cli
