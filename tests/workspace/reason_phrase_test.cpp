// HTTP reason phrases and the 40-byte status texts built from them.

#include "workspace/ReasonPhrase.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

using namespace orvex;

namespace {

// The reason phrase table, as the program defines it.
const std::map<int, std::string> kTable{
    {100, "Continue"},
    {101, "Switching Protocols"},
    {200, "Ok"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {306, "(Unused)"},
    {307, "Temporary Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity Too Large"},
    {414, "Request-URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Requested Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
};

std::string Padded40(const std::string& text)
{
    return text + std::string(40 - text.size(), ' ');
}

} // namespace

TEST(ReasonPhrase, EveryCodeOfTheTable)
{
    for (const auto& [code, text] : kTable)
        EXPECT_EQ(ReasonPhrase(code), text) << code;
}

TEST(ReasonPhrase, SpecExamples)
{
    EXPECT_EQ(ReasonPhrase(200), "Ok"); // not "OK"
    EXPECT_EQ(ReasonPhrase(302), "Found");
    EXPECT_EQ(ReasonPhrase(0), "");
    EXPECT_EQ(ReasonPhrase(999), "");
}

TEST(ReasonPhrase, CodesOutsideTheTableAreEmpty)
{
    for (int code :
         {INT_MIN, -404, -1,  0,   1,   99,  102, 103, 199, 207, 208,  226,  299,    308,    399,
          418,     421,  429, 451, 499, 506, 511, 599, 600, 999, 1000, 2000, 100000, INT_MAX})
        EXPECT_EQ(ReasonPhrase(code), "") << code;
}

TEST(ReasonPhrase, SweepFindsExactlyTheTable)
{
    int found = 0;
    for (int code = -10; code <= 10000; ++code) {
        const auto it = kTable.find(code);
        if (it == kTable.end()) {
            EXPECT_EQ(ReasonPhrase(code), "") << code;
        } else {
            EXPECT_EQ(ReasonPhrase(code), it->second) << code;
            ++found;
        }
    }
    EXPECT_EQ(found, static_cast<int>(kTable.size()));
}

TEST(StatusTextFor, CodeBlankAndPhrasePaddedTo40)
{
    EXPECT_EQ(StatusTextFor("404"), Padded40("404 Not Found"));
    EXPECT_EQ(StatusTextFor("200 "), Padded40("200 Ok"));
    EXPECT_EQ(StatusTextFor(" 302"), Padded40("302 Found"));
}

TEST(StatusTextFor, EveryCodeOfTheTable)
{
    for (const auto& [code, text] : kTable) {
        const std::string stored = std::to_string(code) + " "; // as the 4-byte field holds it
        const std::string status = StatusTextFor(stored);
        EXPECT_EQ(status.size(), 40u) << code;
        EXPECT_EQ(status, Padded40(std::to_string(code) + " " + text)) << code;
    }
}

TEST(StatusTextFor, BlankCodeGivesZero)
{
    // Used when a checker reports no code.
    EXPECT_EQ(StatusTextFor("    "), Padded40("0"));
    EXPECT_EQ(StatusTextFor(""), Padded40("0"));
    EXPECT_EQ(StatusTextFor("0"), Padded40("0"));
}

TEST(StatusTextFor, CodesWithoutAPhraseOrNotNumbers)
{
    EXPECT_EQ(StatusTextFor("999"), Padded40("999"));
    EXPECT_EQ(StatusTextFor("418"), Padded40("418"));
    EXPECT_EQ(StatusTextFor("abc"), Padded40("abc")); // reads as 0, which has no phrase
    EXPECT_EQ(StatusTextFor("4x4"), Padded40("4x4"));
    EXPECT_EQ(StatusTextFor("9999"), Padded40("9999"));
}

TEST(StatusTextFor, AlwaysFortyBytes)
{
    for (const char* stored : {"", " ", "0", "1", "200", "404 ", "abcd", "99999999999", "-1"})
        EXPECT_EQ(StatusTextFor(stored).size(), 40u) << stored;
    const std::string longCode(60, '7');
    EXPECT_EQ(StatusTextFor(longCode), std::string(40, '7'));
}

TEST(RowStatusText, BlankCodeStaysBlank)
{
    // A never-checked URL shows no status (and so the "no status" icon).
    EXPECT_EQ(RowStatusText("    "), std::string(40, ' '));
    EXPECT_EQ(RowStatusText(""), std::string(40, ' '));
}

TEST(RowStatusText, OtherwiseLikeStatusTextFor)
{
    for (const char* stored : {"0", "0   ", "200 ", "302 ", "404 ", "500 ", "999 ", "abc "})
        EXPECT_EQ(RowStatusText(stored), StatusTextFor(stored)) << stored;
    EXPECT_EQ(RowStatusText("0   "), Padded40("0"));
    EXPECT_EQ(RowStatusText("404 "), Padded40("404 Not Found"));
}
