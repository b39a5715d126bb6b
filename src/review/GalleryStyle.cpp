// Style 2: a grid of thumbnails, five to a row, each linked to the full
// screenshot with the excerpt as its alternative text and the title in two
// short lines under it.
#include "review/ReviewStyles.h"

#include "review/ReviewText.h"

namespace orvex {

namespace {

constexpr std::size_t kLineWidth = 28;
constexpr int kColumns = 5;
constexpr std::size_t kSummaryLength = 1000;

constexpr std::string_view kStyleSheet =
    "<style type=\"text/css\">p { margin-top:2px; margin-bottom:2px; font-size:13; "
    "font-family:arial; color:dimgray; text-align: center; }\r\n"
    "a:hover { color:#FF8040 }\r\n"
    "img { width:186px; height:140px; border:1px solid #C0C0C0; margin-left:4px; "
    "margin-right:4px; }\r\n"
    "</style>\r\n";

class GalleryPage : public ReviewPage
{
public:
    explicit GalleryPage(std::string_view title) : ReviewPage(title, kStyleSheet, 1) {}

    void AddUrl(const ReviewUrl& url) override
    {
        std::string& out = text_;
        if (column_ == 1)
            out += "<tr>";
        out += "<td><p>";
        // Without a valid Id there is no picture to refer to.
        if (!url.id.empty()) {
            out += "<a href=\"";
            out += ScreenshotReference(url.id);
            out += "\"><img src=\"";
            out += ThumbnailReference(url.id);
            out += "\" alt=\"";
            out += url.ShortExcerpt(kSummaryLength);
            out += "\"></a>";
        }
        const GalleryTitle lines = GalleryTitleLines(url.title);
        out += "<br>";
        AppendLinkStart(out, url.address);
        AppendEscaped(out, lines.line1);
        out += "<br>";
        AppendEscaped(out, lines.line2);
        out += "</a><br><br></p></td>\r\n";
        if (column_ == kColumns) {
            out += "</tr>\r\n";
            column_ = 1;
        } else {
            ++column_;
        }
    }

private:
    void CloseRows() override
    {
        if (column_ > 1)
            text_ += "</tr>\r\n"; // the open row is not filled up
    }

    int column_ = 1;
};

} // namespace

std::unique_ptr<ReviewPage> MakeGalleryPage(std::string_view title)
{
    return std::make_unique<GalleryPage>(title);
}

GalleryTitle GalleryTitleLines(std::string_view tidiedTitle)
{
    std::u32string rest = DecodeUtf8(tidiedTitle);
    std::u32string lines[2];
    for (std::u32string& line : lines) {
        if (rest.empty())
            break;
        if (rest.size() <= kLineWidth) {
            line = TrimChars(rest);
            break;
        }
        // Break at the last space of the first 28 characters; with none the
        // line stays empty and the text is left for the next line.
        const std::size_t space = rest.rfind(U' ', kLineWidth - 1);
        if (space == std::u32string::npos)
            continue;
        line = TrimChars(std::u32string_view(rest).substr(0, space));
        rest.erase(0, space + 1);
    }
    for (std::u32string& line : lines) {
        if (line.size() > kLineWidth)
            line.resize(kLineWidth);
    }
    return {EncodeUtf8(lines[0]), EncodeUtf8(lines[1])};
}

} // namespace orvex
