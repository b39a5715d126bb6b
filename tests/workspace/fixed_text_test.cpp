// Text helpers of the fixed-width records: trimming, UTF-8-safe cuts, padding,
// line-break replacement, lower case and decimal parsing.

#include "workspace/FixedText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvex;

namespace {

// Multibyte characters of every UTF-8 length.
const std::string kE2 = "\xC3\xA9";           // é, 2 bytes
const std::string kEuro = "\xE2\x82\xAC";     // €, 3 bytes
const std::string kGrin = "\xF0\x9F\x98\x80"; // U+1F600, 4 bytes

bool IsValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

} // namespace

TEST(TrimText, RemovesCodesZeroToThirtyTwoAtBothEnds)
{
    EXPECT_EQ(TrimText("  abc  "), "abc");
    EXPECT_EQ(TrimText(std::string("\0\x01\t\r\n\x1f abc def \x1f\n\r\t\x01\0", 21)), "abc def");
    EXPECT_EQ(TrimText("abc"), "abc");
    EXPECT_EQ(TrimText(""), "");
    EXPECT_EQ(TrimText(" \t\r\n "), "");
    EXPECT_EQ(TrimView(" a b ").size(), 3u);
}

TEST(TrimText, KeepsCharactersAboveThirtyTwo)
{
    // 127 and bytes of multibyte characters are not trimmed.
    EXPECT_EQ(TrimText("\x7f"
                       "a\x7f"),
              "\x7f"
              "a\x7f");
    EXPECT_EQ(TrimText(" " + kE2 + " "), kE2);
    EXPECT_EQ(TrimText("!a!"), "!a!");
}

TEST(Utf8Prefix, ShorterOrEqualTextIsReturnedWhole)
{
    EXPECT_EQ(Utf8Prefix("abc", 3), "abc");
    EXPECT_EQ(Utf8Prefix("abc", 10), "abc");
    EXPECT_EQ(Utf8Prefix("", 0), "");
    EXPECT_EQ(Utf8Prefix("ab" + kE2, 4), "ab" + kE2);
}

TEST(Utf8Prefix, CutsAsciiAtTheByteCount)
{
    EXPECT_EQ(Utf8Prefix("abcdef", 3), "abc");
    EXPECT_EQ(Utf8Prefix("abcdef", 0), "");
}

TEST(Utf8Prefix, NeverSplitsASequence)
{
    for (const std::string& ch : {kE2, kEuro, kGrin}) {
        const std::string text = "ab" + ch + "cd";
        // Every cut inside the character falls back to before it.
        for (std::size_t cut = 2; cut < 2 + ch.size(); ++cut)
            EXPECT_EQ(Utf8Prefix(text, cut), "ab") << "cut " << cut << " size " << ch.size();
        EXPECT_EQ(Utf8Prefix(text, 2 + ch.size()), "ab" + ch);
        EXPECT_EQ(Utf8Prefix(text, 3 + ch.size()), "ab" + ch + "c");
    }
}

TEST(Utf8Prefix, CharacterAtTheVeryStart)
{
    EXPECT_EQ(Utf8Prefix(kGrin + "x", 3), "");
    EXPECT_EQ(Utf8Prefix(kGrin + "x", 4), kGrin);
}

TEST(PadRight, PadsWithBlanksAndLeavesLongerTexts)
{
    EXPECT_EQ(PadRight("ab", 5), "ab   ");
    EXPECT_EQ(PadRight("", 3), "   ");
    EXPECT_EQ(PadRight("abc", 3), "abc");
    EXPECT_EQ(PadRight("abcdef", 3), "abcdef");
}

TEST(FitField, TrimsCutsAndPads)
{
    EXPECT_EQ(FitField("  ab  ", 5), "ab   ");
    EXPECT_EQ(FitField("abcdefgh", 5), "abcde");
    EXPECT_EQ(FitField("", 4), "    ");
    EXPECT_EQ(FitField(" \t\x01", 4), "    ");
    // Trimming happens before the cut: leading blanks do not use up the width.
    EXPECT_EQ(FitField("      abcdefgh", 5), "abcde");
    // Inner blanks stay.
    EXPECT_EQ(FitField("a  b", 6), "a  b  ");
}

TEST(FitField, PadsInsteadOfSplittingACharacter)
{
    EXPECT_EQ(FitField("abcd" + kE2, 5), "abcd ");
    EXPECT_EQ(FitField("abc" + kEuro, 5), "abc  ");
    EXPECT_EQ(FitField("a" + kGrin, 4), "a   ");
    EXPECT_EQ(FitField("a" + kGrin, 5), "a" + kGrin);
}

// Every width over a text of mixed character lengths: the result is always the
// width in bytes, valid UTF-8, and the longest whole-character prefix.
TEST(FitField, SweepOverWidths)
{
    const std::string text = "a" + kE2 + "b" + kEuro + kGrin + "c" + kE2 + kGrin + kEuro + "z";
    std::vector<std::size_t> boundaries{0};
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            boundaries.push_back(i);
    }
    for (std::size_t width = 0; width <= text.size() + 3; ++width) {
        const std::string fitted = FitField(text, width);
        ASSERT_EQ(fitted.size(), width) << width;
        EXPECT_TRUE(IsValidUtf8(fitted)) << width;
        std::size_t best = 0;
        for (std::size_t b : boundaries) {
            if (b <= width)
                best = b;
        }
        EXPECT_EQ(fitted, text.substr(0, best) + std::string(width - best, ' ')) << width;
    }
}

TEST(ReplaceLineBreaks, EveryCrAndLfBecomesABlank)
{
    EXPECT_EQ(ReplaceLineBreaks("a\rb\nc\r\nd"), "a b c  d");
    EXPECT_EQ(ReplaceLineBreaks("\r\n"), "  ");
    EXPECT_EQ(ReplaceLineBreaks("plain\ttext"), "plain\ttext");
    EXPECT_EQ(ReplaceLineBreaks(""), "");
}

TEST(LowerText, AsciiAndUnicode)
{
    EXPECT_EQ(LowerText("Hello WORLD 123"), "hello world 123");
    EXPECT_EQ(LowerText(""), "");
    EXPECT_EQ(LowerText("\xC3\x89"
                        "CLAIR"),
              "\xC3\xA9"
              "clair");                                           // ÉCLAIR
    EXPECT_EQ(LowerText("\xC3\x84rger"), "\xC3\xA4rger");         // Ärger
    EXPECT_EQ(LowerText("\xD0\x9F\xD0\xA0"), "\xD0\xBF\xD1\x80"); // ПР -> пр
    EXPECT_EQ(LowerText(kEuro + "A"), kEuro + "a");
}

TEST(ParseDecimal, NumbersWithBlanksAndSign)
{
    EXPECT_EQ(ParseDecimal("42", -1), 42);
    EXPECT_EQ(ParseDecimal("  42  ", -1), 42);
    EXPECT_EQ(ParseDecimal("00000007", -1), 7);
    EXPECT_EQ(ParseDecimal("-7", 0), -7);
    EXPECT_EQ(ParseDecimal("+7", 0), 7);
    EXPECT_EQ(ParseDecimal("       0", -1), 0);
    EXPECT_EQ(ParseDecimal("999999999999999999", -1), 999999999999999999LL);
}

TEST(ParseDecimal, AnythingElseGivesTheFallback)
{
    EXPECT_EQ(ParseDecimal("", -5), -5);
    EXPECT_EQ(ParseDecimal("    ", -5), -5);
    EXPECT_EQ(ParseDecimal("-", -5), -5);
    EXPECT_EQ(ParseDecimal("+", -5), -5);
    EXPECT_EQ(ParseDecimal("4 2", -5), -5);
    EXPECT_EQ(ParseDecimal("12a", -5), -5);
    EXPECT_EQ(ParseDecimal("abc", -5), -5);
    EXPECT_EQ(ParseDecimal("1.5", -5), -5);
    EXPECT_EQ(ParseDecimal("0x10", -5), -5);
    EXPECT_EQ(ParseDecimal("1234567890123456789", -5), -5); // too long to be safe
}
