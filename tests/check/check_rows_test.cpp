// What a check writes: the checker's argument, the row marks, the status text,
// and the row and record after a result, byte for byte.

#include "check/CheckCommand.h"
#include "check/CheckRows.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvex;

namespace {

const std::string kTime = "05/14/2007 13:45:30";

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

// Two records listed in reverse order, so that row and record indices differ.
struct Lists
{
    RecordList records;
    RecordList rows;

    Lists()
    {
        records = {MakeUrlRecord("aaaaaaaaaaaaaaaaaaa", "00000001", kTime, "http://a.test/"),
                   MakeUrlRecord("bbbbbbbbbbbbbbbbbbb", "00000001", kTime, "http://b.test/")};
        SetUrlField(records, 1, "Title of b", UrlField::Title);
        SetUrlField(records, 1, "01017000", UrlField::Flags);
        rows = {BuildUrlRow(records[1], 1), BuildUrlRow(records[0], 0)};
    }
};

TEST(CheckToken, IsFlagCredentialsAndTrimmedUrl)
{
    struct Case
    {
        CheckProxy proxy;
        std::string url;
        std::string token;
    };
    const Case cases[] = {
        {{false, "user", "pw"}, "  http://a.test/x  ", "0http://a.test/x"},
        {{true, "user", "pw"}, "http://a.test/x", "1user:pw@http://a.test/x"},
        {{true, "", ""}, "http://a.test/x", "1:@http://a.test/x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildCheckToken(c.url, c.proxy), c.token) << c.url;
}

TEST(CheckToken, RefusesWhatDoesNotFitTheBuffer)
{
    const std::string url = "http://a.test/";
    const CheckProxy fits{true, std::string(kMaxCheckTokenBytes - url.size() - 3, 'u'), ""};
    ASSERT_TRUE(BuildCheckToken(url, fits));
    EXPECT_EQ(BuildCheckToken(url, fits)->size(), kMaxCheckTokenBytes);
    const CheckProxy tooLong{true, fits.user + "u", ""};
    EXPECT_FALSE(BuildCheckToken(url, tooLong));
}

TEST(CheckStatusText, IsCodeBlankReasonPaddedToForty)
{
    EXPECT_EQ(kCheckingText.size(), 40u);
    const std::pair<int, std::string> cases[] = {
        {200, "200 Ok"},        {302, "302 Found"}, {301, "301 Moved Permanently"},
        {404, "404 Not Found"}, {0, "0 "},          {299, "299 "},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(CheckStatusText(code), Padded(text, 40)) << code;
    EXPECT_EQ(IsCheckSuccess(200) + IsCheckSuccess(302), 2);
    for (int code : {0, 201, 301, 304, 404, 500})
        EXPECT_FALSE(IsCheckSuccess(code)) << code;
}

TEST(CheckRows, MarkThenApplyWritesTheRowAndTheRecord)
{
    Lists lists;
    const std::string before = lists.rows[0];
    const RecordList recordsBefore = lists.records;

    MarkRowChecking(lists.rows[0]);
    EXPECT_EQ(lists.rows[0].substr(0, 8), "02017000");
    EXPECT_EQ(GetUrlRowField(lists.rows[0], UrlRowField::StatusText), kCheckingText);

    ASSERT_TRUE(ApplyCheckResult(lists.rows, 0, lists.records, 404, kTime));
    const std::string expectedRow = "00017000" + before.substr(8, 81) +
                                    Padded("404 Not Found", 40) + kTime + before.substr(148);
    EXPECT_EQ(lists.rows[0], expectedRow);

    // Only StatusCode and Updated of the row's own record change.
    std::string expectedRecord = recordsBefore[1];
    expectedRecord.replace(54, 19, kTime);
    expectedRecord.replace(224, 4, "404 ");
    EXPECT_EQ(lists.records[1], expectedRecord);
    EXPECT_EQ(lists.records[0], recordsBefore[0]);
    EXPECT_EQ(lists.rows[1], BuildUrlRow(recordsBefore[0], 0));
}

TEST(CheckRows, ZeroIsRecordedAsZero)
{
    Lists lists;
    ASSERT_TRUE(ApplyCheckResult(lists.rows, 1, lists.records, 0, kTime));
    EXPECT_EQ(GetUrlRowField(lists.rows[1], UrlRowField::StatusText), Padded("0 ", 40));
    EXPECT_EQ(GetUrlField(lists.records[0], UrlField::StatusCode), "0   ");
}

TEST(CheckRows, RowWithoutANumericStoreIndexIsKept)
{
    Lists lists;
    MarkRowChecking(lists.rows[0]);
    lists.rows[0].replace(8, 8, "   x1   ");
    const RecordList rowsBefore = lists.rows;
    const RecordList recordsBefore = lists.records;

    EXPECT_FALSE(ApplyCheckResult(lists.rows, 0, lists.records, 200, kTime));
    EXPECT_EQ(lists.rows, rowsBefore);
    EXPECT_EQ(lists.records, recordsBefore);
}

TEST(CheckRows, ClearCheckMarksBlanksOnlyRowsStillUnderCheck)
{
    Lists lists;
    MarkRowChecking(lists.rows[1]);
    const std::string untouched = lists.rows[0];
    const std::string marked = lists.rows[1];

    EXPECT_EQ(ClearCheckMarks(lists.rows), std::vector<std::size_t>{1});
    EXPECT_EQ(lists.rows[0], untouched);
    EXPECT_EQ(lists.rows[1].substr(0, 8), "0000 000");
    EXPECT_EQ(lists.rows[1].substr(8, 81), marked.substr(8, 81));
    EXPECT_EQ(GetUrlRowField(lists.rows[1], UrlRowField::StatusText), std::string(40, ' '));
    EXPECT_EQ(lists.rows[1].substr(129), marked.substr(129));
    EXPECT_TRUE(ClearCheckMarks(lists.rows).empty());
}

} // namespace
