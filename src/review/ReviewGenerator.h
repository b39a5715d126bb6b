#pragma once

#include "workspace/Status.h"

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace orvex {

// Review styles; the number selects the page file and the menu item.
namespace ReviewStyle {
enum : int { Simple = 1, Gallery = 2, GrayGranite = 3 };
}

// "Simple", "Gallery" or "Gray Granite"; empty for any other number.
std::string_view ReviewStyleCaption(int style);
// <project folder>/preview1.html ... preview3.html; empty for any other number.
std::filesystem::path ReviewPagePath(const std::filesystem::path& projectFolder, int style);

// What a review is made of.
struct ReviewInput
{
    std::filesystem::path projectFolder;
    std::span<const std::string> urlRows; // URL list rows, in the order the list shows
    std::string title;                    // the project title, trimmed
};

// Called before the rows of each URL of each page (so 3 times per URL for
// GenerateReviews): one step of a progress bar. Returning false stops the run,
// as when the program is closing; then no page is written.
using ReviewProgress = std::function<bool()>;

// The message of the Status of a stopped run.
extern const char* const kReviewStopped;

// Write preview1.html, preview2.html or preview3.html into the project folder,
// each replacing the old page only once the new one is complete.
Status GenerateSimpleReview(const ReviewInput& input, const ReviewProgress& progress = {});
Status GenerateGalleryReview(const ReviewInput& input, const ReviewProgress& progress = {});
Status GenerateGrayGraniteReview(const ReviewInput& input, const ReviewProgress& progress = {});
// All three pages; each URL's files are read once for the three of them.
Status GenerateReviews(const ReviewInput& input, const ReviewProgress& progress = {});

} // namespace orvex
