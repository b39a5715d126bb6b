// Script and markup carried in by titles, excerpts, links and addresses must
// stay text on every review page: checked on the page's own tags, and by
// loading the pages in headless Chromium and seeing that no script ran.
#include "HeadlessChromium.h"
#include "HtmlScan.h"
#include "ReviewFixture.h"
#include "review/ReviewGenerator.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace orvex {
namespace {

// What an injected script writes when it runs. It is built from two pieces,
// so the pages can hold the scripts' text without holding the marker.
const std::string kMarker = "XSSRAN";
const std::string kRun = "document.title='XS'+'SRAN'";

std::vector<test::FixtureUrl> HostileUrls()
{
    const std::string divider(test::kDivider);
    const std::string digest =
        "<script>" + kRun + "</script>\r\n" + divider + "\r\n"
        "<script>" + kRun + "</script> \"><img src=x onerror=\"" + kRun + "\">\r\n" + divider +
        "\r\n"
        "\"javascript:" + kRun + "\">Plain<\r\n"
        "\" JavaScript:" + kRun + "\">Spaced<\r\n"
        "\"java\tscript:" + kRun + "\">Tabbed<\r\n"
        "\"data:text/html,<script>" + kRun + "</script>\">Data<\r\n"
        "\"vbscript:msgbox(1)\">VB<\r\n"
        "\"https://example.com/\" onmouseover=\"" + kRun + "\">Attribute<\r\n"
        "\"https://example.com/\">x</a><script>" + kRun + "</script><a href=\"x\">y<\r\n"
        "\"https://example.com/\"><img src=x onerror=\"" + kRun + "\"><\r\n" + divider + "\r\n"
        "<script>" + kRun + "</script>\r\n"
        "\"><img src=x onerror=\"" + kRun + "\">\r\n"
        "<a href=\"javascript:" + kRun + "\">click</a>\r\n";
    const std::string title = "<script>" + kRun + "</script>\"><img src=x onerror=" + kRun + ">";
    return {
        // Without thumbnail: the excerpts that keep markup characters.
        {"safetyurl0000000001", title, "javascript:" + kRun, false, false, digest},
        // With icon and thumbnail: the short excerpt and the alternative text.
        {"safetyurl0000000002", "\"><img src=x onerror=" + kRun + ">",
         "https://example.com/\"><img src=x onerror=\"" + kRun + "\">", true, true, digest},
        {"safetyurl0000000003", "javascript:" + kRun, "JaVaScRiPt:" + kRun, false, false,
         std::nullopt},
        {"safetyurl0000000004", "data", "data:text/html,<script>" + kRun + "</script>", true,
         false, digest},
    };
}

// Elements and attributes a review page is made of; anything else came in from the data.
const std::set<std::string> kTags{"html", "head", "meta", "title", "style", "body", "div",
                                  "table", "tbody", "tr", "td", "h3", "p", "b", "a", "img",
                                  "br"};
const std::set<std::string> kAttributes{
    "http-equiv", "content", "type",  "bgcolor", "align", "border", "width", "cellspacing",
    "cellpadding", "colspan", "rowspan", "height", "style", "class", "alt",  "src", "href"};
const std::set<std::string> kLinkSchemes{"http", "https", "ftp", "file"};

// Checks the tags of a page (as written, or as Chromium parsed it).
void ExpectOnlyInertMarkup(const std::string& html, const std::string& what)
{
    const std::vector<test::HtmlTag> tags = test::ScanStartTags(html);
    ASSERT_FALSE(tags.empty()) << what;
    for (const test::HtmlTag& tag : tags) {
        EXPECT_TRUE(kTags.count(tag.name)) << what << ": element <" << tag.name << ">";
        for (const auto& [name, value] : tag.attributes) {
            EXPECT_TRUE(kAttributes.count(name)) << what << ": <" << tag.name << " " << name
                                                 << "=\"" << value << "\">";
            EXPECT_FALSE(name.starts_with("on")) << what << ": handler " << name;
            if (name != "href" && name != "src")
                continue;
            const std::string scheme = test::AddressScheme(value);
            if (scheme.empty()) {
                EXPECT_TRUE(value.starts_with("./")) << what << ": " << name << "=" << value;
            } else {
                EXPECT_TRUE(kLinkSchemes.count(scheme)) << what << ": " << name << "=" << value;
            }
            if (tag.name == "img") {
                EXPECT_TRUE(value.starts_with("./")) << what << ": img src=" << value;
            }
        }
    }
}

class ReviewSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        const RecordList rows = test::MakeFixtureProject(folder(), HostileUrls());
        const std::string title = "</title><script>" + kRun + "</script><title>";
        const Status status = GenerateReviews({folder(), rows, title});
        ASSERT_TRUE(status.ok()) << status.message();
    }
    fs::path scratch() const { return fs::path(dir_.path().toStdString()); }
    fs::path folder() const { return scratch() / "00000000"; }

    // Loads a page in Chromium; fails the test (never skips it) when that is not possible.
    std::string Rendered(const fs::path& page)
    {
        EXPECT_TRUE(fs::exists(test::kChromium))
            << "headless Chromium is needed at " << test::kChromium
            << " (Debian package chromium); install it to run this test";
        std::string dom;
        std::string error;
        EXPECT_TRUE(test::DumpDom(page, scratch(), dom, error)) << error;
        return dom;
    }

    QTemporaryDir dir_;
};

TEST_F(ReviewSafety, PagesHoldOnlyTheirOwnMarkup)
{
    for (int style : {1, 2, 3}) {
        const std::string page = test::ReadBytes(ReviewPagePath(folder(), style));
        ExpectOnlyInertMarkup(page, "preview" + std::to_string(style) + ".html");
        EXPECT_EQ(page.find(kMarker), std::string::npos);
        // The hostile text is still shown, as text.
        EXPECT_NE(page.find("&lt;script&gt;"), std::string::npos) << style;
    }
}

TEST_F(ReviewSafety, NoScriptRunsInChromium)
{
    for (int style : {1, 2, 3}) {
        const std::string what = "preview" + std::to_string(style) + ".html as loaded";
        const std::string dom = Rendered(ReviewPagePath(folder(), style));
        ASSERT_FALSE(dom.empty()) << what;
        EXPECT_EQ(dom.find(kMarker), std::string::npos) << what << "\n" << dom.substr(0, 2000);
        ExpectOnlyInertMarkup(dom, what);
    }
}

// The check above means something only if a script that does run is seen.
TEST_F(ReviewSafety, ChromiumCheckSeesAScriptThatRuns)
{
    const fs::path control = scratch() / "control.html";
    test::WriteBytes(control, "<html><head><title>t</title></head><body>"
                              "<img src=missing.png onerror=\"" + kRun + "\"></body></html>");
    const std::string dom = Rendered(control);
    EXPECT_NE(dom.find(kMarker), std::string::npos) << dom;
}

} // namespace
} // namespace orvex
