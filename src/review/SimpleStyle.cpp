// Style 1: one column, a block per URL with a numbered title, icon and
// address, then the thumbnail beside a short excerpt, or a longer excerpt.
#include "review/ReviewStyles.h"

#include "review/ReviewText.h"

namespace orvex {

namespace {

constexpr std::size_t kTitleCut = 110;
constexpr std::size_t kAddressCut = 120;
constexpr std::size_t kSummaryLength = 1000;
constexpr std::size_t kParagraphLength = 1500;

constexpr std::string_view kStyleSheet =
    "<style type=\"text/css\">p,h3 { margin-top:2px; margin-bottom: 2px; font-size:13; "
    "font-family:arial; color:dimgray; text-align: justify; }\r\n"
    "h3 { font-size:14; }\r\n"
    "img.small { text-align:left; width:18px; height:18px; border:3px; margin-left:0px; "
    "margin-right:4px; vertical-align:top;}\r\n"
    "img.big { width:200px; height:154px; text-align:left; margin-left:0px; margin-right:8px; "
    "margin-top:2px; margin-bottom:2px; border-color:#C0C0C0; border-style:solid; "
    "border-width:1px; }\r\n"
    "a:hover { color:#FF8040 }\r\n"
    "</style>\r\n";

constexpr std::string_view kBlockEnd = "</p></td></tr>\r\n<tr><td><br></td></tr>\r\n";

class SimplePage : public ReviewPage
{
public:
    explicit SimplePage(std::string_view title) : ReviewPage(title, kStyleSheet, 1) {}

    void AddUrl(const ReviewUrl& url) override
    {
        std::string& out = text_;
        out += "<tr><td><h3>";
        out += std::to_string(url.position + 1);
        out += ". <b>";
        AppendEscaped(out, CutWithEllipsis(url.title, kTitleCut));
        out += "</b></h3>\r\n";

        out += "<p>";
        if (url.hasIcon) {
            out += "<img class=small alt=\"\" src=\"";
            out += IconReference(url.id);
            out += "\">";
        }
        AppendLinkStart(out, url.address);
        AppendEscaped(out, CutWithEllipsis(url.address, kAddressCut));
        out += "</a></p>\r\n";

        if (url.hasThumbnail) {
            out += "<p><a href=\"";
            out += ScreenshotReference(url.id);
            out += "\"><img class=big align=\"left\" alt=\"\" src=\"";
            out += ThumbnailReference(url.id);
            out += "\"></a></p>\r\n<p>";
            out += url.ShortExcerpt(kSummaryLength);
        } else {
            out += "<p>";
            out += ParagraphOf(url.digest, kParagraphLength);
        }
        out += kBlockEnd;
    }
};

} // namespace

std::unique_ptr<ReviewPage> MakeSimplePage(std::string_view title)
{
    return std::make_unique<SimplePage>(title);
}

} // namespace orvex
