// The text helpers of the review pages: TidyText, the character-counted cuts,
// escaping, which addresses may be links, and the Gallery title lines.
#include "ReviewFixture.h"
#include "review/ReviewStyles.h"
#include "review/ReviewText.h"
#include "review/TidyText.h"

#include <gtest/gtest.h>

#include <string>

namespace orvex {
namespace {

struct TextCase
{
    const char* name;
    std::string input;
    std::string expected;
};

std::ostream& operator<<(std::ostream& os, const TextCase& c) { return os << c.name; }

class TidyTextCases : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(TidyTextCases, GivesTheCleanedText)
{
    EXPECT_EQ(TidyText(GetParam().input), GetParam().expected);
}

// n Cyrillic letters of two bytes each.
std::string Zhe(int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "\u0436";
    return text;
}

const std::string k40WithStop = "abcdefghi.jklmnopqrstuvwxyzabcdefghijklm"; // '.' at 10

INSTANTIATE_TEST_SUITE_P(
    Cases, TidyTextCases,
    ::testing::Values(
        TextCase{"Empty", "", ""}, TextCase{"OnlyBlanks", " \t\r\n ", ""},
        TextCase{"TagAndBlanks", "  a<b>  c  ", "a b c"},
        TextCase{"ColonAndQuotes", "Title: \"x\" end", "Title x end"},
        TextCase{"EveryAsciiSeparator", "a\\b/c:d*e?f\"g<h>i|j\tk\x01l", "a b c d e f g h i j k l"},
        TextCase{"TypographicSeparators",
                 "a\u2018b\u2019c\u201cd\u201de\u2022f\u2013g\u2014h\u00a6i\u00a7j\u00b6k",
                 "a b c d e f g h i j k"},
        TextCase{"OtherPunctuationStays", "It's 50% off & more!", "It's 50% off & more!"},
        // Separators are replaced after trimming, so an outer one leaves a space.
        TextCase{"SeparatorAtTheEnds", ":abc:", " abc "},
        TextCase{"FullStopBreaksALongWord", k40WithStop + " tail",
                 "abcdefghi. jklmnopqrstuvwxyzabcdefghijklm tail"},
        TextCase{"CommaAtFirstPosition", ",bcdefghijklmnopqrstuvwxyzabcdefgh x",
                 ", bcdefghijklmnopqrstuvwxyzabcdefgh x"},
        // A stop at position n - 1 is outside 1..n-2, so the word is cut in pieces.
        TextCase{"FullStopTooLate", "abcdefghijklmnopqrstuvwxyzabcdef.g x",
                 "abcdefghijklmnopqrstuvwxyzabcde f.g x"},
        TextCase{"CapitalsBreakALongWord", "TheQuickBrownFoxJumpsOverTheLazyDog",
                 "The Quick Brown Fox Jumps Over The Lazy Dog"},
        TextCase{"CapitalsOnlyOutsideTwoToNMinusTwo", "Abcdefghijklmnopqrstuvwxyzabcdefg" "HI",
                 "Abcdefghijklmnopqrstuvwxyzabcde fgHI"},
        TextCase{"NonAsciiCapital", "abcdefghijklmnopqrstuvwxyz\u00c4bcdefgh",
                 "abcdefghijklmnopqrstuvwxyz \u00c4bcdefgh"},
        TextCase{"ThirtyTwoCharactersStayWhole", "abcdefghijklmnopqrstuvwxyzabcdef x",
                 "abcdefghijklmnopqrstuvwxyzabcdef x"},
        TextCase{"SeventyCharactersGive31And31And8",
                 std::string(31, 'a') + std::string(31, 'b') + std::string(8, 'c') + " x",
                 std::string(31, 'a') + " " + std::string(31, 'b') + " " + std::string(8, 'c') +
                     " x"},
        // Lengths are characters, not bytes.
        TextCase{"CountsCharacters", Zhe(33), Zhe(31) + " " + Zhe(2)},
        TextCase{"TwentyCyrillicLettersStayWhole", Zhe(20) + " x", Zhe(20) + " x"},
        TextCase{"LastWordIsBrokenToo", "see " + std::string(40, 'z'),
                 "see " + std::string(31, 'z') + " " + std::string(9, 'z')},
        TextCase{"InvalidBytesBecomeReplacementCharacters", "a\xff" "b", "a\ufffd" "b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReviewText, EscapesMarkupCharacters)
{
    EXPECT_EQ(EscapeHtml("<a href=\"x\">Tom & 'Jerry'</a>"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; 'Jerry'&lt;/a&gt;");
    EXPECT_EQ(EscapeHtml("&amp;"), "&amp;amp;");
    std::string out = "x";
    AppendEscaped(out, std::u32string_view(U"\u00e9<"));
    EXPECT_EQ(out, "x\u00e9&lt;");
}

TEST(ReviewText, CutsByCharactersAndAddsAnEllipsis)
{
    EXPECT_EQ(CutWithEllipsis("abcdef", 3), "abc...");
    EXPECT_EQ(CutWithEllipsis("abc", 3), "abc");
    EXPECT_EQ(CutWithEllipsis("\u00e9\u00e9\u00e9", 2), "\u00e9\u00e9...");
    EXPECT_EQ(CutWithEllipsis("\u00e9\u00e9\u00e9", 3), "\u00e9\u00e9\u00e9");
    EXPECT_EQ(CutWithEllipsis("", 0), "");
}

TEST(ReviewText, DecodesUtf8AndReplacesWhatIsNot)
{
    EXPECT_EQ(DecodeUtf8("a\u00e9\u20ac\U0001F600"), U"a\u00e9\u20ac\U0001F600");
    EXPECT_EQ(DecodeUtf8("\xc0\xaf"), U"\ufffd\ufffd");         // overlong "/"
    EXPECT_EQ(DecodeUtf8("\xed\xa0\x80"), U"\ufffd\ufffd\ufffd"); // a surrogate
    EXPECT_EQ(DecodeUtf8("x\xe2\x82"), U"x\ufffd\ufffd");       // cut short
    EXPECT_EQ(EncodeUtf8(DecodeUtf8("a\u00e9\U0001F600")), "a\u00e9\U0001F600");
    // Counting and decoding a prefix agree with decoding the whole.
    for (const char* text : {"a\u00e9\u20ac\U0001F600", "\xc0\xaf", "x\xe2\x82", "\x80\x80z"}) {
        const std::u32string whole = DecodeUtf8(text);
        EXPECT_EQ(CountChars(text), whole.size()) << test::Printable(text);
        EXPECT_EQ(DecodeUtf8Prefix(text, 2), whole.substr(0, 2)) << test::Printable(text);
    }
}

struct AddressCase
{
    const char* address;
    bool linkable;
};

std::ostream& operator<<(std::ostream& os, const AddressCase& c)
{
    return os << '"' << test::Printable(c.address) << '"';
}

class LinkableAddresses : public ::testing::TestWithParam<AddressCase>
{
};

TEST_P(LinkableAddresses, OnlyHttpHttpsFtpAndFile)
{
    EXPECT_EQ(IsSafeLinkAddress(GetParam().address), GetParam().linkable)
        << "\"" << GetParam().address << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkableAddresses,
    ::testing::Values(AddressCase{"http://example.com/", true},
                      AddressCase{"HTTPS://Example.com/a?b=1&c=2", true},
                      AddressCase{"ftp://ftp.example.org/pub/", true},
                      AddressCase{"file:///home/user/a.html", true},
                      AddressCase{"ht\ttp://example.com/", true}, // a browser drops the tab
                      AddressCase{"javascript:alert(1)", false},
                      AddressCase{"JavaScript:alert(1)", false},
                      AddressCase{" \x01javascript:alert(1)", false},
                      AddressCase{"java\tscript:alert(1)", false},
                      AddressCase{"java\nscript:alert(1)", false},
                      AddressCase{"vbscript:msgbox(1)", false},
                      AddressCase{"data:text/html,<script>alert(1)</script>", false},
                      AddressCase{"mailto:someone@example.com", false},
                      AddressCase{"httpx://example.com/", false},
                      AddressCase{"www.example.com/page", false},
                      AddressCase{"/local/path", false}, AddressCase{"http", false},
                      AddressCase{"", false}));

struct GalleryCase
{
    const char* title;
    const char* line1;
    const char* line2;
};

std::ostream& operator<<(std::ostream& os, const GalleryCase& c) { return os << c.title; }

class GalleryLines : public ::testing::TestWithParam<GalleryCase>
{
};

TEST_P(GalleryLines, SplitTheTitleInTwoShortLines)
{
    const GalleryTitle lines = GalleryTitleLines(GetParam().title);
    EXPECT_EQ(lines.line1, GetParam().line1);
    EXPECT_EQ(lines.line2, GetParam().line2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GalleryLines,
    ::testing::Values(
        GalleryCase{"An introduction to the theory of everything and more",
                    "An introduction to the", "theory of everything and"},
        GalleryCase{"", "", ""},
        GalleryCase{"abcdefghij abcdefghij abcdef", "abcdefghij abcdefghij abcdef", ""},
        // A space at position 29 lies beyond the first 28 characters.
        GalleryCase{"abcdefghij abcdefghij abcdef tail", "abcdefghij abcdefghij",
                    "abcdef tail"},
        GalleryCase{"abcdefghijklmnopqrstuvwxyzabcd efg", "", ""},
        GalleryCase{"Short words here and then some abcdefghijklmnopqrstuvwxyzab",
                    "Short words here and then", "some"},
        GalleryCase{"Caf\u00e9 Zeitgeist na\u00efve r\u00e9sum\u00e9 \u00dcberblick",
                    "Caf\u00e9 Zeitgeist na\u00efve r\u00e9sum\u00e9", "\u00dcberblick"}));

} // namespace
} // namespace orvex
