// The worker's result code and the block fields it writes.
#include "CaptureResult.h"

#include "update/ResultBlock.h"

#include <gtest/gtest.h>

namespace orvex::oxupdate {
namespace {

// Everything asked for, and written.
CaptureOutcome Complete()
{
    CaptureOutcome outcome;
    outcome.loaded = true;
    outcome.loadFinished = true;
    outcome.screenshotWanted = outcome.screenshotWritten = true;
    outcome.thumbnailWanted = outcome.thumbnailWritten = true;
    outcome.iconDeclared = outcome.iconWritten = true;
    outcome.dataWritten = true;
    return outcome;
}

TEST(ResultCode, Table)
{
    struct Case
    {
        const char* what;
        void (*change)(CaptureOutcome&);
        char code;
    };
    const Case cases[] = {
        {"complete", [](CaptureOutcome&) {}, '7'},
        {"nothing asked for", [](CaptureOutcome& o) {
             o.screenshotWanted = o.screenshotWritten = false;
             o.thumbnailWanted = o.thumbnailWritten = false;
         }, '7'},
        {"no icon declared, none made", [](CaptureOutcome& o) { o.iconDeclared = o.iconWritten = false; }, '7'},
        {"a favicon without a declared icon", [](CaptureOutcome& o) { o.iconDeclared = false; }, '7'},
        {"not loaded", [](CaptureOutcome& o) { o.loaded = false; }, '0'},
        {"not loaded beats everything", [](CaptureOutcome& o) {
             o.loaded = false;
             o.loadFinished = false;
             o.dataWritten = false;
         }, '0'},
        {"load not finished", [](CaptureOutcome& o) { o.loadFinished = false; }, '1'},
        {"no screenshot", [](CaptureOutcome& o) { o.screenshotWritten = false; }, '2'},
        {"no thumbnail", [](CaptureOutcome& o) { o.thumbnailWritten = false; }, '3'},
        {"declared icon missing", [](CaptureOutcome& o) { o.iconWritten = false; }, '4'},
        {"data file missing", [](CaptureOutcome& o) { o.dataWritten = false; }, '5'},
        {"two faults", [](CaptureOutcome& o) {
             o.screenshotWritten = false;
             o.thumbnailWritten = false;
         }, '6'},
        {"slow and no icon", [](CaptureOutcome& o) {
             o.loadFinished = false;
             o.iconWritten = false;
         }, '6'},
        {"screenshot not wanted, not written", [](CaptureOutcome& o) {
             o.screenshotWanted = o.screenshotWritten = false;
         }, '7'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CaptureOutcome outcome = Complete();
        c.change(outcome);
        EXPECT_EQ(ResultCode(outcome), c.code);
    }
}

TEST(BlockFields, EveryFieldIsMapped)
{
    CaptureOutcome outcome = Complete();
    outcome.status = 200;
    outcome.title = "Title";
    outcome.charset = "windows-1251";
    outcome.description = "Description";
    outcome.keywords = "a, b";
    outcome.contentLength = 12345;
    outcome.lastModified = "10/21/2015 09:28:00";
    outcome.contentType = "text/html";
    outcome.captured = "01/02/2024 03:04:05";
    outcome.updated = "01/02/2024 03:04:09";

    ResultBlock expected;
    expected.code = "7";
    expected.captured = "01/02/2024 03:04:05";
    expected.status = "200";
    expected.updated = "01/02/2024 03:04:09";
    expected.title = "Title";
    expected.charset = "windows-1251";
    expected.description = "Description";
    expected.keywords = "a, b";
    expected.contentLength = "12345";
    expected.lastModified = "10/21/2015 09:28:00";
    expected.contentType = "text/html";
    const ResultBlock fields = BlockFields(outcome);
    EXPECT_EQ(fields, expected);
    // And as the coordinator reads it back from the block.
    const ResultBlockBytes block = WriteBlock(fields);
    EXPECT_EQ(ParseBlockText(ReadBlockText(block.data())), expected);
}

TEST(BlockFields, UnknownValuesStayBlank)
{
    CaptureOutcome outcome;
    outcome.captured = "01/02/2024 03:04:05";
    outcome.updated = "01/02/2024 03:04:06";
    const ResultBlock fields = BlockFields(outcome);
    EXPECT_EQ(fields.code, "0");
    EXPECT_EQ(fields.status, "");
    EXPECT_EQ(fields.contentLength, "");
    EXPECT_EQ(fields.captured, "01/02/2024 03:04:05");
}

TEST(BlockFields, ContentLengthNeverCutToAWrongNumber)
{
    struct Case
    {
        long long length;
        const char* field;
    };
    const Case cases[] = {{0, "0"}, {99'999'999, "99999999"}, {100'000'000, "99999999"},
                          {5'000'000'000LL, "99999999"}};
    for (const Case& c : cases) {
        CaptureOutcome outcome = Complete();
        outcome.contentLength = c.length;
        const ResultBlockBytes block = WriteBlock(BlockFields(outcome));
        EXPECT_EQ(ParseBlockText(ReadBlockText(block.data())).contentLength, c.field) << c.length;
    }
}

} // namespace
} // namespace orvex::oxupdate
