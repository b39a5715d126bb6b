#pragma once

#include "review/ReviewFrame.h"

#include <memory>
#include <string>
#include <string_view>

namespace orvex {

// The three review styles, each a ReviewPage of its own, started with the
// project title.
std::unique_ptr<ReviewPage> MakeSimplePage(std::string_view title);
std::unique_ptr<ReviewPage> MakeGalleryPage(std::string_view title);
std::unique_ptr<ReviewPage> MakeGrayGranitePage(std::string_view title);

// The two short lines (at most 28 characters each) under a Gallery picture,
// made from a tidied title; what does not fit is dropped.
struct GalleryTitle
{
    std::string line1;
    std::string line2;
};
GalleryTitle GalleryTitleLines(std::string_view tidiedTitle);

} // namespace orvex
