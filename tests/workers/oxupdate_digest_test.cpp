// The page digest the worker writes, read back with the reader the review
// pages use, and the page script's answer read into a PageContent.
#include "PageContent.h"
#include "PageDigest.h"

#include "review/DigestText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace orvex::oxupdate {
namespace {

PageContent SamplePage()
{
    PageContent page;
    page.title = "A title";
    page.description = "Short description";
    page.links = {{"http://example.test/a", "First"},
                  {"https://example.test/b?x=1&y=2", "Second <b>bold</b> \"quoted\""},
                  {"http://example.test/c", ""}};
    page.paragraphs = {"One paragraph.", "Another one."};
    return page;
}

TEST(PageDigest, SectionsAreDividedAndLinesEndInCrLf)
{
    const std::string expected = "A title\r\n"
                                 "\x01\x07\r\n"
                                 "Short description\r\n"
                                 "\x01\x07\r\n"
                                 "\"http://example.test/a\">First<\r\n"
                                 "\"https://example.test/b?x=1&y=2\">Second bbold/b quoted<\r\n"
                                 "\"http://example.test/c\"><\r\n"
                                 "\x01\x07\r\n"
                                 "One paragraph.\r\n"
                                 "Another one.\r\n";
    EXPECT_EQ(BuildDigest(SamplePage()), expected);
}

TEST(PageDigest, ReaderFindsEverySection)
{
    const Digest digest = ParseDigest(BuildDigest(SamplePage()));
    EXPECT_EQ(digest.section2, RecordList{"Short description"});
    EXPECT_EQ(digest.section4, (RecordList{"One paragraph.", "Another one."}));
    ASSERT_EQ(digest.links.size(), 3u);
    DigestLink link;
    ASSERT_TRUE(ParseLinkLine(digest.links[1], link));
    EXPECT_EQ(link.address, "https://example.test/b?x=1&y=2");
    EXPECT_EQ(link.text, "Second bbold/b quoted");
    ASSERT_TRUE(ParseLinkLine(digest.links[2], link));
    EXPECT_EQ(link.text, "");
}

TEST(PageDigest, EmptyPageStillHasFourSections)
{
    const std::string digest = BuildDigest(PageContent{});
    EXPECT_EQ(digest, "\x01\x07\r\n\x01\x07\r\n\x01\x07\r\n");
    const Digest read = ParseDigest(digest);
    EXPECT_TRUE(read.section2.empty());
    EXPECT_TRUE(read.links.empty());
    EXPECT_TRUE(read.section4.empty());
}

// Page text must never split a line or pass for a divider.
TEST(PageDigest, PageTextCannotBreakTheFormat)
{
    PageContent page;
    page.title = "Title\r\nwith\tbreaks";
    page.description = "\x01\x07";
    page.links = {{"http://example.test/x", "line\r\nbreak\x01\x07"}};
    page.paragraphs = {"\x01\x07", "  spaced \n\n out  ", "", "   "};
    const std::string digest = BuildDigest(page);
    const Digest read = ParseDigest(digest);
    EXPECT_EQ(read.section2, RecordList{});
    EXPECT_EQ(read.section4, RecordList{"spaced out"});
    ASSERT_EQ(read.links.size(), 1u);
    EXPECT_EQ(read.links[0], "\"http://example.test/x\">line break<");
    EXPECT_EQ(digest.substr(0, 18), "Title with breaks\r");
}

TEST(PageDigest, LinkLines)
{
    struct Case
    {
        PageLink link;
        const char* line;
    };
    const Case cases[] = {
        {{"http://a.test/", "Plain"}, "\"http://a.test/\">Plain<"},
        {{"http://a.test/", "a < b > c \"d\""}, "\"http://a.test/\">a b c d<"},
        // An address can neither close the quote nor the tag early.
        {{"http://a.test/\">x<", "t"}, "\"http://a.test/%22%3Ex%3C\">t<"},
        {{"http://a.test/a b", "t"}, "\"http://a.test/a%20b\">t<"},
        {{"http://a.test/ü", "Grüße"}, "\"http://a.test/ü\">Grüße<"},
        {{"mailto:x@y.test", "  Mail\n me "}, "\"mailto:x@y.test\">Mail me<"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.address + " / " + c.link.text);
        EXPECT_EQ(DigestLinkLine(c.link), c.line);
    }
}

TEST(PageDigest, LinksWithoutAddressAreLeftOut)
{
    PageContent page;
    page.links = {{"", "nothing"}, {"http://a.test/", "kept"}};
    EXPECT_EQ(ParseDigest(BuildDigest(page)).links, RecordList{"\"http://a.test/\">kept<"});
}

TEST(PageContentReading, TakesEveryField)
{
    const nlohmann::json value = {
        {"title", "T"},
        {"description", "D"},
        {"keywords", "K"},
        {"charset", "windows-1251"},
        {"contentType", "text/html"},
        {"text", "Body text"},
        // Arrays spelt out: pairs of texts would otherwise read as an object.
        {"links", nlohmann::json::array({nlohmann::json::array({"http://a.test/", "A"}),
                                         nlohmann::json::array({"http://b.test/", "B"})})},
        {"paragraphs", {"P1", "P2"}},
        {"icons", {"http://a.test/i.png", "http://a.test/favicon.ico"}},
        {"hasBody", true},
    };
    PageContent expected;
    expected.title = "T";
    expected.description = "D";
    expected.keywords = "K";
    expected.charset = "windows-1251";
    expected.contentType = "text/html";
    expected.text = "Body text";
    expected.links = {{"http://a.test/", "A"}, {"http://b.test/", "B"}};
    expected.paragraphs = {"P1", "P2"};
    expected.icons = {"http://a.test/i.png", "http://a.test/favicon.ico"};
    expected.hasBody = true;
    EXPECT_EQ(ParsePageContent(value), expected);
}

// Whatever the page managed to return, reading it never fails.
TEST(PageContentReading, OddValuesAreSkipped)
{
    const nlohmann::json odd[] = {
        nullptr,
        42,
        "text",
        nlohmann::json::array(),
        {{"title", 5}, {"links", "no"}, {"paragraphs", {1, nullptr, "kept"}}, {"hasBody", "yes"}},
        {{"links", {{"only one"}, {"http://a.test/", 7}, {"http://ok.test/", "ok"}, "x"}},
         {"icons", {"", 3, "http://a.test/i.ico"}}},
    };
    for (const nlohmann::json& value : odd) {
        SCOPED_TRACE(value.dump());
        const PageContent page = ParsePageContent(value);
        EXPECT_TRUE(page.title.empty());
        EXPECT_FALSE(page.hasBody);
        for (const PageLink& link : page.links)
            EXPECT_EQ(link, (PageLink{"http://ok.test/", "ok"}));
        for (const std::string& paragraph : page.paragraphs)
            EXPECT_EQ(paragraph, "kept");
        for (const std::string& icon : page.icons)
            EXPECT_EQ(icon, "http://a.test/i.ico");
    }
}

} // namespace
} // namespace orvex::oxupdate
