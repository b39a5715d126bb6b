#pragma once

#include "review/DigestText.h"
#include "review/UrlFileProbe.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvex {

// What every style knows of one URL of the list.
struct ReviewUrl
{
    std::size_t position = 0; // 0-based place in the list
    std::string id;           // the trimmed Id; empty when it is not a valid Id
    std::string title;        // TidyText of the trimmed Title, not yet cut
    std::string address;      // the trimmed Url
    bool hasIcon = false;      // Icon/<Id>.ico exists
    bool hasThumbnail = false; // Screenshot/<Id>.jpg exists
    Digest digest;             // Data/<Id>.dt; empty when missing

    // TidyText of the plain excerpt of maxLength, escaped for the page. Two
    // styles ask for the same one, so the last one made is kept.
    const std::string& ShortExcerpt(std::size_t maxLength) const;

private:
    mutable std::size_t excerptLength_ = 0;
    mutable std::string excerpt_;
    mutable bool hasExcerpt_ = false;
};

// Reads the values of one URL list row and looks for its files. An Id that is
// not a valid Id names no file.
ReviewUrl ReadReviewUrl(const UrlFileProbe& files, std::string_view urlRow, std::size_t position);

// One review page as it is built: the frame (head, style sheet, body head,
// tail) is shared, each style adds the rows of a URL its own way.
class ReviewPage
{
public:
    virtual ~ReviewPage() = default;
    virtual void AddUrl(const ReviewUrl& url) = 0;
    // The finished page, each line ended by CR LF.
    std::string Finish();

protected:
    // Starts the page: head with the escaped title, the style sheet, the body
    // head whose first cell spans colspan columns.
    ReviewPage(std::string_view title, std::string_view styleSheet, int colspan);
    // Closes whatever the style left open before the tail.
    virtual void CloseRows() {}

    std::string text_;
};

// References from a page to the files of a URL, relative to the page.
std::string IconReference(std::string_view id);
std::string ScreenshotReference(std::string_view id);
std::string ThumbnailReference(std::string_view id);

// Appends <a href="address"> with the address escaped, or a plain <a> when the
// address may not be linked.
void AppendLinkStart(std::string& out, std::string_view address);

// Every CR LF, lone CR or lone LF becomes CR LF, and CR LF ends the text.
std::string WithCrLfLines(std::string text);

} // namespace orvex
