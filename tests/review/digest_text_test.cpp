// Reading the digest file: its sections, the two excerpts and the link lines.
#include "ReviewFixture.h"
#include "review/DigestText.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using test::kDivider;

// A digest of the four sections, each a list of lines ended by CR LF.
std::string MakeDigest(const std::vector<std::vector<std::string>>& sections)
{
    std::string bytes;
    for (std::size_t s = 0; s < sections.size(); ++s) {
        if (s > 0)
            bytes += std::string(kDivider) + "\r\n";
        for (const std::string& line : sections[s])
            bytes += line + "\r\n";
    }
    return bytes;
}

const std::string kIndent = "&nbsp;&nbsp;&nbsp;&nbsp;";
const std::string kBreak = "<br>&nbsp;&nbsp;&nbsp;";

class DigestFile : public ::testing::Test
{
protected:
    fs::path Write(const std::string& bytes)
    {
        const fs::path file = fs::path(dir_.path().toStdString()) / "u.dt";
        test::WriteBytes(file, bytes);
        return file;
    }
    fs::path Missing() const { return fs::path(dir_.path().toStdString()) / "none.dt"; }

    QTemporaryDir dir_;
};

TEST(ParseDigest, SplitsSectionsAtDividerLinesOnly)
{
    const std::string bytes = "one\r\n" + std::string(kDivider) + "\n"
                              "two a\rtwo b\n"
                              "\x01\x07 \r\n"  // not a divider: a blank follows
                              "x\x01\x07\r\n" + // nor this
                              std::string(kDivider) + "\r\n"
                              "\"http://a/\">A<\r\n\r\n" + std::string(kDivider) + "\r"
                              "four\r\n" + std::string(kDivider) + "\r\n"
                              "five\r\n" + std::string(kDivider) + "\r\nsix";
    const Digest digest = ParseDigest(bytes);
    EXPECT_EQ(digest.section2, (RecordList{"two a", "two b", "\x01\x07 ", "x\x01\x07"}));
    EXPECT_EQ(digest.links, (RecordList{"\"http://a/\">A<", ""}));
    EXPECT_EQ(digest.section4, (RecordList{"four"}));
}

struct ExcerptCase
{
    const char* name;
    std::vector<std::vector<std::string>> sections;
    std::size_t maxLength;
    std::string summary;
    std::string paragraph;
};

std::ostream& operator<<(std::ostream& os, const ExcerptCase& c) { return os << c.name; }

class Excerpts : public DigestFile, public ::testing::WithParamInterface<ExcerptCase>
{
};

TEST_P(Excerpts, FollowTheSectionsAndTheCutRules)
{
    const fs::path file = Write(MakeDigest(GetParam().sections));
    RecordList list{"left over"};
    EXPECT_EQ(DigestSummary(file, list, GetParam().maxLength), GetParam().summary);
    EXPECT_EQ(DigestParagraph(file, list, GetParam().maxLength), GetParam().paragraph);
}

const std::string kLong = "aaaa bbbb cccc";

INSTANTIATE_TEST_SUITE_P(
    Cases, Excerpts,
    ::testing::Values(
        ExcerptCase{"EqualLengthsTakeSectionFour", {{}, {"abc"}, {}, {"xyz"}}, 100, "xyz",
                    kIndent + "xyz"},
        ExcerptCase{"LongerSectionTwoWins", {{"s1 is never used at all"}, {"abcdefg"}, {}, {"xyz"}},
                    100, "abcdefg", kIndent + "abcdefg"},
        // Section four joined by CR LF weighs one more per line in the paragraph.
        ExcerptCase{"ParagraphCountsTheLongerJoiner", {{}, {"abcdef"}, {}, {"abcde"}}, 100,
                    "abcdef", kIndent + "abcde"},
        ExcerptCase{"LinesAreJoinedAndTrimmed", {{}, {}, {}, {"  one", "two  "}}, 100, "one two",
                    kIndent + "one  " + kBreak + "two"},
        ExcerptCase{"TwoLinesKeepTheirBreak", {{}, {"x"}, {}, {"a", "b"}}, 100, "a b",
                    kIndent + "a  " + kBreak + "b"},
        ExcerptCase{"ExactlyMaxLengthIsCutAtItsLastSpace", {{}, {}, {}, {"aaaa bbbb"}}, 9,
                    "aaaa...", "..."},
        ExcerptCase{"OneBelowMaxLengthStaysWhole", {{}, {}, {}, {"aaaa bbb"}}, 9, "aaaa bbb",
                    "..."},
        ExcerptCase{"NoSpaceGivesOnlyTheEllipsis", {{}, {}, {}, {"abcdefghij"}}, 5, "...", "..."},
        // The indent counts: 24 + 10 characters leave "aaaa bbbb " before the cut.
        ExcerptCase{"LongerTextIsCutAtTheLastSpace", {{}, {}, {}, {kLong}}, 34, "aaaa bbbb cccc",
                    kIndent + "aaaa bbbb..."},
        ExcerptCase{"SummaryCutMidWord", {{}, {}, {}, {kLong}}, 12, "aaaa bbbb...", "..."},
        // The space made of a CR counts, the one made of an LF does not.
        ExcerptCase{"OnlyTheCarriageReturnSpaceCounts", {{}, {}, {}, {"aaaa", "bbbbbbbbbb"}}, 40,
                    "aaaa bbbbbbbbbb", kIndent + "aaaa..."},
        ExcerptCase{"CountsCharactersNotBytes", {{}, {}, {}, {"\u00e9\u00e9\u00e9\u00e9 \u00e9\u00e9\u00e9"}}, 9,
                    "\u00e9\u00e9\u00e9\u00e9 \u00e9\u00e9\u00e9", "..."},
        ExcerptCase{"ParagraphEscapesTheText", {{}, {}, {}, {"<b>&</b> \"q\""}}, 100,
                    "<b>&</b> \"q\"", kIndent + "&lt;b&gt;&amp;&lt;/b&gt; &quot;q&quot;"},
        ExcerptCase{"AFifthSectionIsIgnored", {{}, {}, {}, {"keep"}, {"a much longer fifth one"}},
                    100, "keep", kIndent + "keep"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DigestFile, MissingFileGivesEmptyExcerptsAndNoLinks)
{
    RecordList list{"left over"};
    EXPECT_EQ(DigestSummary(Missing(), list, 1000), "");
    EXPECT_TRUE(list.empty());
    list = {"left over"};
    EXPECT_EQ(DigestParagraph(Missing(), list, 1500), kIndent);
    EXPECT_TRUE(list.empty());
}

TEST_F(DigestFile, LeavesTheLinkLinesInTheList)
{
    const fs::path file = Write(MakeDigest({{}, {"two"}, {"\"http://a/\">A<", "", "junk"}, {}}));
    RecordList list;
    DigestSummary(file, list, 1000);
    EXPECT_EQ(list, (RecordList{"\"http://a/\">A<", "", "junk"}));
    list.clear();
    DigestParagraph(file, list, 1000);
    EXPECT_EQ(list, (RecordList{"\"http://a/\">A<", "", "junk"}));
}

struct LinkCase
{
    const char* line;
    bool ok;
    const char* address = "";
    const char* text = "";
};

std::ostream& operator<<(std::ostream& os, const LinkCase& c)
{
    return os << test::Printable(c.line);
}

class LinkLines : public ::testing::TestWithParam<LinkCase>
{
};

TEST_P(LinkLines, AreReadAsAddressAndText)
{
    DigestLink link;
    ASSERT_EQ(ParseLinkLine(GetParam().line, link), GetParam().ok) << GetParam().line;
    if (GetParam().ok) {
        EXPECT_EQ(link.address, GetParam().address);
        EXPECT_EQ(link.text, GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkLines,
    ::testing::Values(
        LinkCase{"\"http://a.example/\">Alpha<", true, "http://a.example/", "Alpha"},
        LinkCase{"  \"https://a.example/?b=1&c=2\">Tom & Jerry<  ", true,
                 "https://a.example/?b=1&c=2", "Tom & Jerry"},
        LinkCase{"\"ftp://f.example/\"><", true, "ftp://f.example/", ""},
        LinkCase{"\"file:///tmp/x.html\">Local<", true, "file:///tmp/x.html", "Local"},
        LinkCase{"\"http://a/\">x\">y<", true, "http://a/", "x\">y"},
        LinkCase{"\"http://a/\" onclick=\"x\">A<", true, "http://a/\" onclick=\"x", "A"},
        LinkCase{"\"http://a/\">no end", false}, LinkCase{"http://a/\">no start<", false},
        LinkCase{"\"http://a/\"A<", false}, LinkCase{"\"\"><", false},
        LinkCase{"\"javascript:alert(1)\">A<", false},
        LinkCase{"\"JavaScript:alert(1)\">A<", false},
        LinkCase{"\" javascript:alert(1)\">A<", false},
        LinkCase{"\"java\tscript:alert(1)\">A<", false},
        LinkCase{"\"data:text/html,x\">A<", false}, LinkCase{"\"mailto:a@b.example\">A<", false},
        LinkCase{"\"/relative/page.html\">A<", false}, LinkCase{"", false},
        LinkCase{"     ", false}));

TEST(LinkList, WritesOnlyGoodLinksEscaped)
{
    const RecordList lines{"\"http://a.example/?x=1&y=2\">A & <b>B</b><",
                           "",
                           "   ",
                           "not a link",
                           "\"javascript:alert(1)\">Bad<",
                           "\"http://c.example/\" onmouseover=\"alert(1)\">C<"};
    EXPECT_EQ(LinkListHtml(lines),
              "<div><a href=\"http://a.example/?x=1&amp;y=2\">A &amp; &lt;b&gt;B&lt;/b&gt;"
              "</a><br></div>\r\n"
              "<div><a href=\"http://c.example/&quot; onmouseover=&quot;alert(1)\">C</a><br>"
              "</div>\r\n");
    EXPECT_EQ(LinkListHtml({}), "");
}

} // namespace
} // namespace orvex
