// Building list rows from stored records: the URL row layout byte for byte,
// result words, status texts, long URLs, store indices, project rows.

#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvex;

namespace {

const std::string kE2 = "\xC3\xA9"; // é

const std::string kId = "5hmeiwmdphn21i3v900";
const std::string kFolder = "00000003";
const std::string kCreated = "05/14/2007 13:45:30";

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

std::string UrlOfLength(std::size_t n)
{
    std::string url = "http://example.com/";
    while (url.size() < n)
        url += static_cast<char>('a' + url.size() % 26);
    return url;
}

// A record with every field the list shows filled in.
RecordList FullRecord(const std::string& url)
{
    RecordList records{MakeUrlRecord(kId, kFolder, kCreated, url)};
    SetUrlField(records, 0, "01017000", UrlField::Flags);
    SetUrlField(records, 0, "05/15/2007 10:00:00", UrlField::Updated);
    SetUrlField(records, 0, "05/15/2007 09:59:58", UrlField::Captured);
    SetUrlField(records, 0, "404", UrlField::StatusCode);
    SetUrlField(records, 0, "reserved twelve", UrlField::Reserved12);
    SetUrlField(records, 0, "Page title", UrlField::Title);
    SetUrlField(records, 0, "kw1, kw2", UrlField::Keywords);
    SetUrlField(records, 0, "A page about things", UrlField::Description);
    SetUrlField(records, 0, PackProperties({"1234", "text/html", "utf-8", "05/01/2007 08:00:00"}),
                UrlField::Properties);
    return records;
}

std::string RecordWithFlags(const std::string& flags)
{
    RecordList records{MakeUrlRecord(kId, kFolder, kCreated, "http://x/")};
    SetUrlField(records, 0, flags, UrlField::Flags);
    return records[0];
}

std::string RecordWithStatusCode(const std::string& code)
{
    RecordList records{MakeUrlRecord(kId, kFolder, kCreated, "http://x/")};
    SetUrlField(records, 0, code, UrlField::StatusCode);
    return records[0];
}

} // namespace

TEST(BuildUrlRows, RowLayoutByteForByte)
{
    const std::string url = "http://example.com/page?q=1";
    const RecordList records = FullRecord(url);
    RecordList rows;
    BuildUrlRows(records, rows);
    ASSERT_EQ(rows.size(), 1u);
    const std::string& row = rows[0];

    std::string expected;
    expected += "01017000";                         // Flags, col 1
    expected += "       0";                         // StoreIndex, col 9
    expected += kId;                                // Id, col 17
    expected += kCreated;                           // Created, col 36
    expected += Padded("Ok", 16);                   // Result, col 55
    expected += "05/15/2007 09:59:58";              // Captured, col 71
    expected += Padded("404 Not Found", 40);        // StatusText, col 90
    expected += "05/15/2007 10:00:00";              // Updated, col 130
    expected += Padded("Page title", 256);          // Title, col 149
    expected += Padded("reserved twelve", 256);     // Reserved12, col 405
    expected += kFolder;                            // Folder, col 661
    expected += Padded("kw1, kw2", 256);            // Keywords, col 669
    expected += Padded("A page about things", 256); // Description, col 925
    expected += PackProperties({"1234", "text/html", "utf-8", "05/01/2007 08:00:00"}); // 1181
    expected += Padded(url, 512); // Url, col 1272
    ASSERT_EQ(expected.size(), 1783u);
    EXPECT_EQ(row.size(), 1783u);
    EXPECT_EQ(row, expected);

    // The same through the row field reader and the row columns.
    EXPECT_EQ(GetUrlRowField(row, 1), "01017000");
    EXPECT_EQ(GetUrlRowField(row, 2), "       0");
    EXPECT_EQ(GetUrlRowField(row, 3), kId);
    EXPECT_EQ(GetUrlRowField(row, 4), kCreated);
    EXPECT_EQ(row.substr(54, 16), Padded("Ok", 16));
    EXPECT_EQ(GetUrlRowField(row, 6), "05/15/2007 09:59:58");
    EXPECT_EQ(row.substr(89, 40), Padded("404 Not Found", 40));
    EXPECT_EQ(GetUrlRowField(row, 8), "05/15/2007 10:00:00");
    EXPECT_EQ(row.substr(148, 10), "Page title");
    EXPECT_EQ(row.substr(404, 15), "reserved twelve");
    EXPECT_EQ(row.substr(660, 8), kFolder);
    EXPECT_EQ(row.substr(668, 8), "kw1, kw2");
    EXPECT_EQ(row.substr(924, 19), "A page about things");
    EXPECT_EQ(row.substr(1180, 4), "1234");
    EXPECT_EQ(row.substr(1271, url.size()), url);
    EXPECT_EQ(TrimText(GetUrlRowField(row, 15)), url);
}

TEST(BuildUrlRows, FreshRecordGivesBlankResultStatusAndTimes)
{
    RecordList rows;
    BuildUrlRows({MakeUrlRecord(kId, kFolder, kCreated, "  http://fresh/  ")}, rows);
    ASSERT_EQ(rows.size(), 1u);
    const std::string& row = rows[0];
    ASSERT_EQ(row.size(), 1783u);
    EXPECT_EQ(GetUrlRowField(row, 1), "0000 000");
    EXPECT_EQ(GetUrlRowField(row, 5), std::string(16, ' '));
    EXPECT_EQ(GetUrlRowField(row, 6), std::string(19, ' '));
    EXPECT_EQ(GetUrlRowField(row, 7), std::string(40, ' ')); // no status yet: blank, not "0"
    EXPECT_EQ(GetUrlRowField(row, 8), std::string(19, ' '));
    EXPECT_EQ(GetUrlRowField(row, 15), Padded("http://fresh/", 512));
}

TEST(ResultWord, EveryFlagCharacter)
{
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        std::string_view expected;
        if (ch == '0')
            expected = "Failed";
        else if (ch >= '1' && ch <= '6')
            expected = "Has errors";
        else if (ch == '7')
            expected = "Ok";
        EXPECT_EQ(ResultWord(ch), expected) << c;
    }
}

TEST(BuildUrlRows, ResultWordFromFlagsPositionFive)
{
    const std::vector<std::pair<char, std::string>> cases{
        {'0', "Failed"},     {'1', "Has errors"}, {'2', "Has errors"}, {'3', "Has errors"},
        {'4', "Has errors"}, {'5', "Has errors"}, {'6', "Has errors"}, {'7', "Ok"},
        {'8', ""},           {'9', ""},           {' ', ""},           {'x', ""},
    };
    for (const auto& [flag, word] : cases) {
        std::string flags = "0000 000";
        flags[4] = flag;
        RecordList rows;
        BuildUrlRows({RecordWithFlags(flags)}, rows);
        ASSERT_EQ(rows[0].size(), 1783u);
        EXPECT_EQ(GetUrlRowField(rows[0], 5), Padded(word, 16)) << flag;
        EXPECT_EQ(GetUrlRowField(rows[0], 1), flags) << "flags are copied as stored";
    }
}

TEST(BuildUrlRows, StatusTextFromTheStoredCode)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", ""},   // never checked: blank, so the "no status" icon
        {"0", "0"}, // checked, no answer
        {"200", "200 Ok"},
        {"302", "302 Found"},
        {"404", "404 Not Found"},
        {"505", "505 HTTP Version Not Supported"},
        {"999", "999"},
        {"abc", "abc"},
    };
    for (const auto& [code, text] : cases) {
        RecordList rows;
        BuildUrlRows({RecordWithStatusCode(code)}, rows);
        EXPECT_EQ(GetUrlRowField(rows[0], 7), Padded(text, 40)) << code;
    }
}

TEST(BuildUrlRows, LongUrlStaysWholeAndTheFieldGivesItsFirst512)
{
    const std::string url = UrlOfLength(2000);
    RecordList records = FullRecord("http://short/");
    SetUrlField(records, 0, url, UrlField::Url);
    ASSERT_EQ(GetUrlField(records[0], UrlField::Url), url); // stored whole
    RecordList rows;
    BuildUrlRows(records, rows);
    const std::string& row = rows[0];
    EXPECT_EQ(row.size(), 1271u + 2000u);
    EXPECT_EQ(row.substr(1271), url);
    EXPECT_EQ(GetUrlRowField(row, 15), url.substr(0, 512));
    // The other fields are where they always are.
    EXPECT_EQ(GetUrlRowField(row, 3), kId);
    EXPECT_EQ(GetUrlRowField(row, 11), kFolder);
}

TEST(BuildUrlRows, UrlOfExactly512FillsTheColumn)
{
    const std::string url = UrlOfLength(512);
    RecordList rows;
    BuildUrlRows({MakeUrlRecord(kId, kFolder, kCreated, url)}, rows);
    EXPECT_EQ(rows[0].size(), 1783u);
    EXPECT_EQ(GetUrlRowField(rows[0], 15), url);
}

TEST(BuildUrlRows, LongMultibyteUrlIsNotCutInsideACharacter)
{
    const std::string url = UrlOfLength(511) + kE2 + UrlOfLength(100);
    RecordList rows;
    BuildUrlRows({MakeUrlRecord(kId, kFolder, kCreated, url)}, rows);
    EXPECT_EQ(rows[0].substr(1271), url);
    EXPECT_EQ(GetUrlRowField(rows[0], 15), UrlOfLength(511));
}

TEST(BuildUrlRows, OneRowPerRecordInRecordOrderWithItsStoreIndex)
{
    RecordList records;
    for (int i = 0; i < 25; ++i)
        records.push_back(MakeUrlRecord(kId, kFolder, kCreated, "http://x/" + std::to_string(i)));
    RecordList rows{"stale row"};
    BuildUrlRows(records, rows);
    ASSERT_EQ(rows.size(), records.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(GetUrlRowField(rows[i], 2), StoreIndexText(i)) << i;
        EXPECT_EQ(RowStoreIndex(GetUrlRowField(rows[i], 2)), static_cast<long long>(i));
        EXPECT_EQ(TrimText(GetUrlRowField(rows[i], 15)), "http://x/" + std::to_string(i));
    }
    BuildUrlRows({}, rows);
    EXPECT_TRUE(rows.empty());
}

TEST(BuildUrlRows, ShortDamagedRecordsDoNotBreakTheBuild)
{
    const std::string full = MakeUrlRecord(kId, kFolder, kCreated, "http://x/");
    const RecordList records{
        "0", full.substr(0, 5), full.substr(0, 50), full.substr(0, 600), full.substr(0, 1403),
        full};
    RecordList rows;
    BuildUrlRows(records, rows);
    ASSERT_EQ(rows.size(), records.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(RowStoreIndex(GetUrlRowField(rows[i], 2)), static_cast<long long>(i)) << i;
    // A record without its Url gives a blank Url column.
    EXPECT_EQ(rows[4].size(), 1783u);
    EXPECT_EQ(GetUrlRowField(rows[4], 15), std::string(512, ' '));
}

// An empty line in urls.dat (a blank line between records, or one at the end of
// a hand-edited file) is a record like any other: its row must name it.
TEST(BuildUrlRows, EmptyRecordLineGivesARowThatNamesIt)
{
    const std::string full = MakeUrlRecord(kId, kFolder, kCreated, "http://x/");
    RecordList rows;
    BuildUrlRows({full, "", full}, rows);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(GetUrlRowField(rows[1], 2), StoreIndexText(1));
    EXPECT_EQ(RowStoreIndex(GetUrlRowField(rows[1], 2)), 1);
}

// A damaged record that ends early must still give a row of the fixed layout:
// every field at its own column, the missing ones blank. Otherwise later fields
// slide into the wrong columns (here the Folder digits would be read as the
// status text of a URL that was never checked).
TEST(BuildUrlRows, ShortDamagedRecordStillGivesTheFixedRowLayout)
{
    const std::string full = MakeUrlRecord(kId, kFolder, kCreated, "http://x/");
    const std::string damaged = full.substr(0, 50); // ends inside Created
    RecordList rows;
    BuildUrlRows({damaged}, rows);
    ASSERT_EQ(rows.size(), 1u);
    const std::string& row = rows[0];
    EXPECT_EQ(row.size(), 1783u);
    EXPECT_EQ(GetUrlRowField(row, 1), "0000 000");
    EXPECT_EQ(GetUrlRowField(row, 3), kId);
    EXPECT_EQ(GetUrlRowField(row, 4), Padded(kCreated.substr(0, 15), 19));
    EXPECT_EQ(GetUrlRowField(row, 5), std::string(16, ' '));
    EXPECT_EQ(GetUrlRowField(row, 7), std::string(40, ' '));
    EXPECT_EQ(GetUrlRowField(row, 11), kFolder);
    EXPECT_EQ(GetUrlRowField(row, 15), std::string(512, ' '));
}

TEST(RowStoreIndex, ParsesTheColumnText)
{
    EXPECT_EQ(RowStoreIndex("       0"), 0);
    EXPECT_EQ(RowStoreIndex("      42"), 42);
    EXPECT_EQ(RowStoreIndex("99999999"), 99999999);
    EXPECT_EQ(RowStoreIndex(""), -1);
    EXPECT_EQ(RowStoreIndex("        "), -1);
    EXPECT_EQ(RowStoreIndex("   4 2  "), -1);
    EXPECT_EQ(RowStoreIndex("   abc  "), -1);
}

// ---------------------------------------------------------------------------
// Project rows.

TEST(BuildProjectRows, RecordFollowedByItsStoreIndex)
{
    RecordList records;
    for (int i = 0; i < 12; ++i) {
        records.push_back(MakeProjectRecord(kId, "0000000" + std::to_string(i % 10), kCreated,
                                            "Project " + std::to_string(i), "Description"));
    }
    RecordList rows{"stale"};
    BuildProjectRows(records, rows);
    ASSERT_EQ(rows.size(), records.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 665u);
        EXPECT_EQ(rows[i], records[i] + StoreIndexText(i));
        EXPECT_EQ(GetProjectRowField(rows[i], 10), StoreIndexText(i));
        EXPECT_EQ(RowStoreIndex(GetProjectRowField(rows[i], 10)), static_cast<long long>(i));
    }
}

TEST(BuildProjectRows, StrayCharactersAfterColumn657AreLeftOut)
{
    const std::string record = MakeProjectRecord(kId, kFolder, kCreated, "T", "D");
    RecordList rows;
    BuildProjectRows({record + "STRAY"}, rows);
    EXPECT_EQ(rows[0], record + StoreIndexText(0));
}

// The invariant of the rows: a row's StoreIndex names the record it was built
// from, also for a damaged (short) project record.
TEST(BuildProjectRows, ShortDamagedRecordStillHasItsStoreIndexAtColumn658)
{
    const std::string record = MakeProjectRecord(kId, kFolder, kCreated, "T", "D");
    RecordList rows;
    BuildProjectRows({record, record.substr(0, 300), record.substr(0, 8)}, rows);
    ASSERT_EQ(rows.size(), 3u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].size(), 665u) << i;
        EXPECT_EQ(RowStoreIndex(GetProjectRowField(rows[i], 10)), static_cast<long long>(i)) << i;
    }
}
