// Style 3: three columns, four rows per URL: a title bar with the icon, the
// thumbnail with an excerpt, the address; on the right a box of the page's links.
#include "review/ReviewStyles.h"

#include "review/ReviewText.h"

namespace orvex {

namespace {

constexpr std::size_t kTitleCut = 80;
constexpr std::size_t kAddressCut = 90;
constexpr std::size_t kSummaryLength = 650;
constexpr std::size_t kParagraphLength = 1200;

constexpr std::string_view kStyleSheet =
    "<style type=\"text/css\"> p { margin-right: 8px; margin-top:6px; margin-bottom: 2px; "
    "font-size:13; font-family:arial; color:dimgray; text-align:justify; }\r\n"
    "p.title { color:black; margin-top:2px; }\r\n"
    "a { font-size:13; font-family:arial; text-align:left; }\r\n"
    "a:hover { color:#FF8040 }\r\n"
    "h3 { font-size:14; }\r\n"
    "img.small { width:16px; height:16px; margin-left:7px; margin-right:7px; margin-top:2px; }\r\n"
    "img.big { width:200px; height:160px; border:1px solid #B0B0B0; text-align:left; "
    "margin-right:8px; margin-top:8px; margin-bottom:8px; }\r\n"
    "td.left { width:687px; height:22px; background-color:#D0D7D9; border-color:#97A6AA; "
    "border-bottom-style:solid; border-bottom-width:1px; }\r\n"
    "td.left2 { width:687px; height:157px; background-color:#F5F5F5; }\r\n"
    "td.left3 { width:687px; height:22px; background-color:#F5F5F5; border-color:#CECECE; "
    "border-bottom-style:solid; border-bottom-width:1px; vertical-align:top; }\r\n"
    "td.mid { width:8px; height:22px; background-color:#FFFFFF; }\r\n"
    "td.mid2 { width:8px; height:157px; background-color:#FFFFFF; }\r\n"
    "td.mid3 { width:8px; height:22px; background-color:#FFFFFF; }\r\n"
    "td.right { width:212px; height:22px; background-color:#DED4C4; border-color:#C0AD8D; "
    "border-bottom-style:solid; border-bottom-width:1px; }\r\n"
    "td.right2 { width:212px; height:0px; background-color:#EBEBEB; text-align:left; "
    "vertical-align:top; border-color:#C0C0C0; border-bottom-style:solid; "
    "border-bottom-width:1px; }\r\n"
    "td.right3 { width:212px; height:22px; background-color:#F5F5F5; border-color:#C0C0C0; "
    "border-bottom-style:solid; border-bottom-width:1px; }\r\n"
    "div.list { width:212px; height:100%; background-color:#EBEBEB; padding-right:8px; "
    "padding-left:8px; padding-top:8px; padding-bottom:8px; overflow:auto; "
    "overflow-x:hidden;}\r\n"
    "</style>\r\n";

constexpr std::string_view kTitleEnd =
    "</b></p></td>\r\n<td class=mid></td>\r\n"
    "<td class=right><p><b>&nbsp;Links:</b></p></td></tr>\r\n";

constexpr std::string_view kBodyEnd =
    "</p></td>\r\n<td class=mid2><p>&nbsp;&nbsp;<br></p></td>\r\n"
    "<td class=right2 rowspan=\"2\">\r\n<div class=list>";

constexpr std::string_view kSpacerRow =
    "<tr><td height=\"19\" bgcolor=\"#FFFFFF\" width=\"687\"></td>\r\n"
    "<td height=\"19\" bgcolor=\"#FFFFFF\" width=\"11\"></td>\r\n"
    "<td height=\"19\" width=\"212\" bgcolor=\"#FFFFFF\"></td>\r\n</tr>\r\n";

class GrayGranitePage : public ReviewPage
{
public:
    explicit GrayGranitePage(std::string_view title) : ReviewPage(title, kStyleSheet, 3) {}

    void AddUrl(const ReviewUrl& url) override
    {
        std::string& out = text_;
        out += "<tr>\r\n<td class=left>";
        if (url.hasIcon) {
            out += "<img class=small align=\"left\" alt=\"\" src=\"";
            out += IconReference(url.id);
            out += "\"><p class=title><b>";
        } else {
            out += "<p class=title><b>&nbsp;";
        }
        AppendEscaped(out, CutWithEllipsis(url.title, kTitleCut));
        out += kTitleEnd;

        out += "<tr>\r\n<td class=left2>";
        if (url.hasThumbnail) {
            out += "<a href=\"";
            out += ScreenshotReference(url.id);
            out += "\"><img class=big align=\"left\" alt=\"\" src=\"";
            out += ThumbnailReference(url.id);
            out += "\"></a><p>";
            out += url.ShortExcerpt(kSummaryLength);
        } else {
            out += "<p>";
            out += ParagraphOf(url.digest, kParagraphLength);
        }
        out += kBodyEnd;
        out += LinkListHtml(url.digest.links);
        out += "</div></td>\r\n</tr>\r\n";

        out += "<tr><td class=left3>";
        AppendLinkStart(out, url.address);
        AppendEscaped(out, CutWithEllipsis(url.address, kAddressCut));
        out += "</a></td>\r\n<td class=mid3></td>\r\n</tr>\r\n";
        out += kSpacerRow;
    }
};

} // namespace

std::unique_ptr<ReviewPage> MakeGrayGranitePage(std::string_view title)
{
    return std::make_unique<GrayGranitePage>(title);
}

} // namespace orvex
