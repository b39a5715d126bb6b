#include "review/ReviewFrame.h"

#include "review/ReviewText.h"
#include "review/TidyText.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"


namespace orvex {

namespace fs = std::filesystem;

namespace {

// The pages are written in UTF-8 and say so.
constexpr std::string_view kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
    "<html>\r\n"
    "<head>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<title>";

constexpr std::string_view kBodyHeadStart =
    "</head>\r\n<body bgcolor=\"#FFFFFF\">\r\n<div align=\"center\">\r\n"
    "<table border=\"0\" width=\"910\" cellspacing=\"0\" cellpadding=\"0\" bgcolor=\"#FFFFFF\">\r\n"
    "<tr><td colspan=\"";

constexpr std::string_view kBodyHeadEnd =
    "\" bgcolor=\"#FFFFFF\" align=\"left\"><h3 align=\"left\" style=\"margin-bottom:8px; "
    "font-size:15px; font-family:arial; color:dimgray\">Tolvane Orvex</h3></td></tr>\r\n";

constexpr std::string_view kTail = "</table>\r\n</div>\r\n</body>\r\n</html>";

} // namespace

ReviewUrl ReadReviewUrl(const UrlFileProbe& files, std::string_view urlRow, std::size_t position)
{
    ReviewUrl url;
    url.position = position;
    url.title = TidyText(UrlRowFieldView(urlRow, UrlRowField::Title));
    url.address = TrimText(UrlRowFieldView(urlRow, UrlRowField::Url));
    const std::string_view id = TrimView(UrlRowFieldView(urlRow, UrlRowField::Id));
    if (!IsValidId(id))
        return url;
    url.id = id;
    url.hasIcon = files.HasIcon(url.id);
    url.hasThumbnail = files.HasThumbnail(url.id);
    url.digest = files.ReadDigest(url.id);
    return url;
}

const std::string& ReviewUrl::ShortExcerpt(std::size_t maxLength) const
{
    if (!hasExcerpt_ || excerptLength_ != maxLength) {
        excerpt_.clear();
        AppendEscaped(excerpt_, TidyChars(SummaryChars(digest, maxLength)));
        excerptLength_ = maxLength;
        hasExcerpt_ = true;
    }
    return excerpt_;
}

ReviewPage::ReviewPage(std::string_view title, std::string_view styleSheet, int colspan)
{
    text_ += kHead;
    AppendEscaped(text_, title);
    text_ += "</title>\r\n";
    text_ += styleSheet;
    text_ += kBodyHeadStart;
    text_ += std::to_string(colspan);
    text_ += kBodyHeadEnd;
}

std::string ReviewPage::Finish()
{
    CloseRows();
    text_ += kTail;
    return WithCrLfLines(std::move(text_));
}

std::string IconReference(std::string_view id) { return "./Icon/" + std::string(id) + ".ico"; }
std::string ScreenshotReference(std::string_view id)
{
    return "./Screenshot/" + std::string(id) + ".png";
}
std::string ThumbnailReference(std::string_view id)
{
    return "./Screenshot/" + std::string(id) + ".jpg";
}

void AppendLinkStart(std::string& out, std::string_view address)
{
    if (!IsSafeLinkAddress(address)) {
        out += "<a>";
        return;
    }
    out += "<a href=\"";
    AppendEscaped(out, address);
    out += "\">";
}

std::string WithCrLfLines(std::string text)
{
    // Pages are large and their line ends nearly always CR LF already: look
    // for a lone one first (memchr is fast), rebuild only when there is one.
    bool clean = true;
    for (std::size_t at = text.find('\n'); clean && at != std::string::npos;
         at = text.find('\n', at + 1))
        clean = at > 0 && text[at - 1] == '\r';
    for (std::size_t at = text.find('\r'); clean && at != std::string::npos;
         at = text.find('\r', at + 1))
        clean = at + 1 < text.size() && text[at + 1] == '\n';
    if (clean) {
        text += "\r\n";
        return text;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
        } else {
            out.push_back(text[i]);
        }
    }
    out += "\r\n";
    return out;
}

} // namespace orvex
