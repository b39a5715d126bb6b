// What a finished worker's block does to the URL's row and record: the result
// code and word, the success test on the status, the failed count, and the
// cases where nothing may change.

#include "update/ApplyUpdateResult.h"
#include "update/ResultBlock.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <gtest/gtest.h>

#include <string>

using namespace orvex;

namespace {

const std::string kCreated = "05/01/2007 10:00:00";
const std::string kUrlA = "http://a.test/";
const std::string kUrlB = "http://b.test/page";

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

// Two records listed in reverse order, so that row and record indices differ;
// row 0 (record 1) is busy, as the coordinator leaves it while a job runs.
struct Lists
{
    RecordList records;
    RecordList rows;

    explicit Lists(const std::string& urlB = kUrlB)
    {
        records = {MakeUrlRecord("aaaaaaaaaaaaaaaaaaa", "00000002", kCreated, kUrlA),
                   MakeUrlRecord("bbbbbbbbbbbbbbbbbbb", "00000002", kCreated, urlB)};
        SetUrlField(records, 1, "Old title", UrlField::Title);
        rows = {BuildUrlRow(records[1], 1), BuildUrlRow(records[0], 0)};
        SetUrlRowField(rows, 0, "0100 000", UrlRowField::Flags);
    }
};

std::string BlockText(const ResultBlock& fields)
{
    ResultBlockBytes block = WriteBlock(fields);
    WriteBlockMarker(block.data());
    return ReadBlockText(block.data());
}

ResultBlock Fields(const std::string& code, const std::string& status)
{
    ResultBlock fields;
    fields.code = code;
    fields.status = status;
    fields.captured = "05/14/2007 13:45:30";
    fields.updated = "05/14/2007 13:45:31";
    fields.title = "New title";
    fields.contentLength = "512";
    return fields;
}

std::string RowField(const Lists& lists, int field) { return GetUrlRowField(lists.rows[0], field); }
std::string RecordField(const Lists& lists, int field) { return GetUrlField(lists.records[1], field); }

} // namespace

TEST(ApplyUpdateResult, ResultCodeAndStatusDecideTheOutcome)
{
    struct Case
    {
        std::string code;
        std::string status;
        char stored;
        std::string word;
        std::string statusText;
    };
    const Case cases[] = {
        {"7", "200", '7', "Ok", "200 Ok"},
        {"7", "301", '0', "Failed", "301 Moved Permanently"},
        {"3", "302", '3', "Has errors", "302 Found"},
        {"0", "200", '0', "Failed", "200 Ok"},
        {"07", "200", '2', "Has errors", "200 Ok"},
        {"8", "200", '2', "Has errors", "200 Ok"},
        {"", "200", '2', "Has errors", "200 Ok"},
        {"7", "abc", '0', "Failed", "abc "},
        {"6", "404", '0', "Failed", "404 Not Found"},
        {"7", "", '0', "Failed", "0 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("code '" + c.code + "' status '" + c.status + "'");
        Lists lists;
        const UpdateApplyOutcome outcome =
            ApplyUpdateResult(lists.rows, lists.records, 0, BlockText(Fields(c.code, c.status)));
        EXPECT_TRUE(outcome.applied);
        EXPECT_TRUE(outcome.recordChanged);
        EXPECT_EQ(outcome.failed, c.stored == '0');

        const std::string flags = std::string("0000") + c.stored + "000";
        EXPECT_EQ(RowField(lists, UrlRowField::Flags), flags);
        EXPECT_EQ(RecordField(lists, UrlField::Flags), flags);
        EXPECT_EQ(RowField(lists, UrlRowField::Result), Padded(c.word, 16));
        EXPECT_EQ(RowField(lists, UrlRowField::StatusText), Padded(c.statusText, 40));
        EXPECT_EQ(RecordField(lists, UrlField::StatusCode), Padded(c.status, 4));
        // The other row is never touched.
        EXPECT_EQ(lists.rows[1], BuildUrlRow(lists.records[0], 0));
    }
}

TEST(ApplyUpdateResult, BlankBlockOfAWorkerThatNeverAnswered)
{
    for (const std::string& text : {std::string(kResultBlockSize, ' '), std::string()}) {
        Lists lists;
        const UpdateApplyOutcome outcome = ApplyUpdateResult(lists.rows, lists.records, 0, text);
        EXPECT_TRUE(outcome.applied);
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(RowField(lists, UrlRowField::Flags), "00000000");
        EXPECT_EQ(RowField(lists, UrlRowField::Result), Padded("Failed", 16));
        EXPECT_EQ(RowField(lists, UrlRowField::StatusText), Padded("0 ", 40));
        EXPECT_EQ(RecordField(lists, UrlField::StatusCode), "    ");
        EXPECT_EQ(RecordField(lists, UrlField::Title), std::string(256, ' '));
        EXPECT_EQ(RowField(lists, UrlRowField::Captured), std::string(19, ' '));
        EXPECT_EQ(RecordField(lists, UrlField::Updated), std::string(19, ' '));
        EXPECT_EQ(RowField(lists, UrlRowField::Properties), Padded("0", 91));
        EXPECT_EQ(RecordField(lists, UrlField::Properties), Padded("0", 91));
    }
}

TEST(ApplyUpdateResult, EmptyContentLengthIsStoredAsZero)
{
    Lists lists;
    ResultBlock fields = Fields("7", "200");
    fields.contentLength = "";
    fields.contentType = "text/html";
    ApplyUpdateResult(lists.rows, lists.records, 0, BlockText(fields));
    EXPECT_EQ(RecordField(lists, UrlField::Properties), PackProperties({"0", "text/html", "", ""}));
}

TEST(ApplyUpdateResult, RowOutsideTheListChangesNothing)
{
    for (long long index : {-1LL, 2LL}) {
        Lists lists;
        const Lists before;
        const UpdateApplyOutcome outcome =
            ApplyUpdateResult(lists.rows, lists.records, index, BlockText(Fields("7", "404")));
        EXPECT_FALSE(outcome.applied);
        EXPECT_FALSE(outcome.failed);
        EXPECT_FALSE(outcome.recordChanged);
        EXPECT_EQ(lists.rows, before.rows);
        EXPECT_EQ(lists.records, before.records);
    }
}

TEST(ApplyUpdateResult, StoreIndexNamingNoRecordKeepsRowAndRecord)
{
    for (const std::string& storeIndex : {std::string("   abc  "), StoreIndexText(2)}) {
        SCOPED_TRACE(storeIndex);
        Lists lists;
        SetUrlRowField(lists.rows, 0, storeIndex, UrlRowField::StoreIndex);
        const RecordList rowsBefore = lists.rows;
        const RecordList recordsBefore = lists.records;
        const UpdateApplyOutcome outcome =
            ApplyUpdateResult(lists.rows, lists.records, 0, BlockText(Fields("7", "500")));
        EXPECT_TRUE(outcome.applied);
        EXPECT_TRUE(outcome.failed); // still counted
        EXPECT_FALSE(outcome.recordChanged);
        EXPECT_EQ(lists.rows, rowsBefore);
        EXPECT_EQ(lists.records, recordsBefore);
    }
}

TEST(ApplyUpdateResult, LongUrlSurvivesInTheRecord)
{
    const std::string longUrl = "http://b.test/" + std::string(600, 'q');
    Lists lists(longUrl);
    ApplyUpdateResult(lists.rows, lists.records, 0, BlockText(Fields("7", "200")));
    EXPECT_EQ(GetUrlField(lists.records[1], UrlField::Url), longUrl);
}

TEST(ApplyUpdateResult, FullBlockGivesExactRowAndRecord)
{
    ResultBlock fields;
    fields.code = "7";
    fields.captured = "05/14/2007 13:45:30";
    fields.status = "302";
    fields.updated = "05/14/2007 13:45:31";
    fields.title = "Caf\xC3\xA9 page";
    fields.charset = "utf-8";
    fields.description = "First line\r\nsecond line";
    fields.keywords = "coffee, cups";
    fields.contentLength = "20480";
    fields.lastModified = "04/30/2007 09:15:00";
    fields.contentType = "text/html; charset=utf-8";

    Lists lists;
    const UpdateApplyOutcome outcome =
        ApplyUpdateResult(lists.rows, lists.records, 0, BlockText(fields));
    EXPECT_TRUE(outcome.applied);
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(outcome.recordChanged);

    const std::string properties = Padded("20480", 8) + Padded("text/html; charset=utf-8", 40) +
                                   Padded("utf-8", 24) + "04/30/2007 09:15:00";
    const std::string title = Padded("Caf\xC3\xA9 page", 256);
    const std::string keywords = Padded("coffee, cups", 256);
    const std::string description = Padded("First line  second line", 256);

    const std::string row = "00007000" + std::string("       1") + "bbbbbbbbbbbbbbbbbbb" + kCreated +
                            Padded("Ok", 16) + "05/14/2007 13:45:30" + Padded("302 Found", 40) +
                            "05/14/2007 13:45:31" + title + std::string(256, ' ') + "00000002" +
                            keywords + description + properties + Padded(kUrlB, 512);
    EXPECT_EQ(lists.rows[0], row);

    const std::string record = "00007000" + std::string("bbbbbbbbbbbbbbbbbbb") + "00000002" +
                               kCreated + "05/14/2007 13:45:31" + "05/14/2007 13:45:30" +
                               std::string(100, '0') + std::string(32, ' ') + "302 " +
                               std::string(60 + 256, ' ') + title + keywords + description +
                               properties + kUrlB;
    EXPECT_EQ(lists.records[1], record);
    EXPECT_EQ(lists.records[0], MakeUrlRecord("aaaaaaaaaaaaaaaaaaa", "00000002", kCreated, kUrlA));
}
