#include "review/ReviewGenerator.h"

#include "review/ReviewStyles.h"
#include "workspace/RecordFile.h"

#include <array>
#include <memory>
#include <system_error>
#include <vector>

namespace orvex {

namespace fs = std::filesystem;

const char* const kReviewStopped = "The review was stopped before it was finished.";

std::string_view ReviewStyleCaption(int style)
{
    static constexpr std::array<std::string_view, 3> kCaptions{"Simple", "Gallery",
                                                               "Gray Granite"};
    if (style < ReviewStyle::Simple || style > ReviewStyle::GrayGranite)
        return {};
    return kCaptions[static_cast<std::size_t>(style - 1)];
}

fs::path ReviewPagePath(const fs::path& projectFolder, int style)
{
    if (style < ReviewStyle::Simple || style > ReviewStyle::GrayGranite)
        return {};
    return projectFolder / ("preview" + std::to_string(style) + ".html");
}

namespace {

std::unique_ptr<ReviewPage> MakePage(int style, std::string_view title)
{
    switch (style) {
    case ReviewStyle::Simple: return MakeSimplePage(title);
    case ReviewStyle::Gallery: return MakeGalleryPage(title);
    default: return MakeGrayGranitePage(title);
    }
}

// Builds the pages of the given styles side by side, URL by URL, so that each
// URL's digest is read once, then writes them.
Status Generate(const ReviewInput& input, const ReviewProgress& progress,
                std::initializer_list<int> styles)
{
    std::error_code ec;
    if (!fs::is_directory(input.projectFolder, ec))
        return Status::Error("The project folder " + input.projectFolder.string() +
                             " does not exist.");
    std::vector<std::unique_ptr<ReviewPage>> pages;
    for (int style : styles)
        pages.push_back(MakePage(style, input.title));

    const UrlFileProbe files(input.projectFolder);
    for (std::size_t i = 0; i < input.urlRows.size(); ++i) {
        const ReviewUrl url = ReadReviewUrl(files, input.urlRows[i], i);
        for (const std::unique_ptr<ReviewPage>& page : pages) {
            if (progress && !progress())
                return Status::Error(kReviewStopped);
            page->AddUrl(url);
        }
    }

    Status result = Status::Ok();
    std::size_t k = 0;
    for (int style : styles) {
        const Status written =
            WriteFileSafely(ReviewPagePath(input.projectFolder, style), pages[k]->Finish());
        pages[k++].reset();
        if (!written && result)
            result = written;
    }
    return result;
}

} // namespace

Status GenerateSimpleReview(const ReviewInput& input, const ReviewProgress& progress)
{
    return Generate(input, progress, {ReviewStyle::Simple});
}

Status GenerateGalleryReview(const ReviewInput& input, const ReviewProgress& progress)
{
    return Generate(input, progress, {ReviewStyle::Gallery});
}

Status GenerateGrayGraniteReview(const ReviewInput& input, const ReviewProgress& progress)
{
    return Generate(input, progress, {ReviewStyle::GrayGranite});
}

Status GenerateReviews(const ReviewInput& input, const ReviewProgress& progress)
{
    return Generate(input, progress,
                    {ReviewStyle::Simple, ReviewStyle::Gallery, ReviewStyle::GrayGranite});
}

} // namespace orvex
