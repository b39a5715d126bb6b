// The Check URLs scheduler: rows handed to the ten slots, results recorded as
// slots are taken again, give-up limits per slot, and Stop.

#include "check/CheckUrlsFixture.h"

using namespace orvex;
using namespace orvex::checktest;

namespace {

TEST_F(CheckUrlsTest, HandsTenRowsToTheSlotsAndMarksThem)
{
    MakeList(12);
    ASSERT_TRUE(Begin());
    EXPECT_EQ(check.ProcessedText(), "0 of 12");
    EXPECT_TRUE(check.Poll());

    EXPECT_EQ(launcher.StartedRows(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(launcher.started[3], "0http://h.test/3");
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(launcher.slotOf[row], row);
        EXPECT_EQ(Mark(row), '2');
        EXPECT_EQ(StatusText(row), kCheckingText);
    }
    EXPECT_EQ(Mark(10), '0');
    EXPECT_EQ(check.TakeChangedRows(), (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(check.TakeScrollRow(), 9u);
    EXPECT_FALSE(check.TakeScrollRow());

    // A result is recorded when its slot is taken again.
    launcher.Finish(4, 200);
    EXPECT_TRUE(check.Poll());
    EXPECT_EQ(launcher.slotOf[10], 4);
    EXPECT_EQ(StatusText(4), Padded("200 Ok"));
    EXPECT_EQ(Mark(4), '0');
    EXPECT_EQ(check.TakeChangedRows(), (std::vector<std::size_t>{4, 10}));
    EXPECT_EQ(check.ProcessedText(), "1 of 12");
    EXPECT_EQ(check.failed(), 0);
}

TEST_F(CheckUrlsTest, RecordsEachResultAndCountsFailures)
{
    MakeList(6);
    const std::map<int, int> codes{{0, 200}, {1, 302}, {2, 301}, {3, 404}, {4, 0}, {5, 500}};
    ASSERT_TRUE(Begin());
    RunToEnd(codes);

    const std::map<int, std::string> texts{
        {0, "200 Ok"},        {1, "302 Found"}, {2, "301 Moved Permanently"},
        {3, "404 Not Found"}, {4, "0 "},        {5, "500 Internal Server Error"}};
    for (const auto& [row, code] : codes) {
        EXPECT_EQ(StatusText(row), Padded(texts.at(row))) << row;
        EXPECT_EQ(GetUrlRowField(rows[row], UrlRowField::Updated), kTime);
        EXPECT_EQ(Mark(row), '0');
        EXPECT_EQ(TrimText(GetUrlField(records[row], UrlField::StatusCode)), std::to_string(code));
        EXPECT_EQ(GetUrlField(records[row], UrlField::Updated), kTime);
    }
    EXPECT_EQ(check.failed(), 4);
    EXPECT_EQ(check.ProcessedText(), "6 of 6");
}

TEST_F(CheckUrlsTest, GivesUpOnLowSlotsAfterFortySecondsAndOnTheRestAfterThirty)
{
    MakeList(20);
    ASSERT_TRUE(Begin());
    check.Poll();
    clock.Advance(10);
    launcher.Finish(3, 200);
    launcher.Finish(4, 200);
    check.Poll(); // rows 10 and 11 go to slots 3 and 4, ten seconds later
    ASSERT_EQ(launcher.slotOf[11], 4);
    launcher.codes[5] = 200; // a status that comes too late must not count

    clock.Advance(21); // 31 s since slots 0-2 and 5-9 began
    check.Poll();
    EXPECT_EQ(launcher.cutOff, (std::vector<int>{5, 6, 7, 8, 9}));
    EXPECT_EQ(StatusText(5), Padded("0 "));
    EXPECT_EQ(TrimText(GetUrlField(records[5], UrlField::StatusCode)), "0");
    EXPECT_EQ(launcher.slotOf[12], 5);

    clock.Advance(9); // 40 s: not yet beyond the limit of slots 0-2
    check.Poll();
    EXPECT_EQ(launcher.cutOff.size(), 5u);
    clock.Advance(1);
    check.Poll();
    EXPECT_EQ(launcher.cutOff, (std::vector<int>{5, 6, 7, 8, 9, 0, 1, 2}));
    EXPECT_EQ(check.failed(), 8);
}

TEST_F(CheckUrlsTest, FinalWaitGivesEverySlotFortySeconds)
{
    MakeList(5);
    ASSERT_TRUE(Begin());
    EXPECT_TRUE(check.Poll());
    launcher.Finish(1, 302);
    clock.Advance(31);
    EXPECT_TRUE(check.Poll());
    EXPECT_TRUE(launcher.cutOff.empty());
    EXPECT_EQ(StatusText(1), Padded("302 Found")); // ended checks are recorded while waiting
    clock.Advance(10);
    EXPECT_FALSE(check.Poll());
    EXPECT_EQ(launcher.cutOff, (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(check.ProcessedText(), "5 of 5");
    EXPECT_EQ(check.failed(), 4);
    EXPECT_EQ(StatusText(4), Padded("0 "));
}

TEST_F(CheckUrlsTest, StopCutsOffRunningChecksAndRecordsNothingMore)
{
    MakeList(15);
    ASSERT_TRUE(Begin());
    check.Poll();
    launcher.Finish(2, 200); // ended, but not recorded before Stop
    const RecordList recordsBefore = records;
    check.Stop();
    EXPECT_FALSE(check.Poll());
    EXPECT_FALSE(check.running());
    EXPECT_TRUE(check.stopRequested());

    EXPECT_LE(launcher.started.size(), 11u); // at most one more row after Stop
    EXPECT_EQ(launcher.cutOff, (std::vector<int>{0, 1, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(records, recordsBefore);
    EXPECT_EQ(check.position(), 0);
    EXPECT_EQ(StatusText(2), kCheckingText);
    EXPECT_FALSE(check.Poll());

    // What the Start button does afterwards: the rows cut short are blanked.
    const std::vector<std::size_t> cleared = ClearCheckMarks(rows);
    EXPECT_EQ(cleared, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    for (int row = 0; row < 15; ++row) {
        EXPECT_EQ(Mark(row), '0');
        EXPECT_EQ(StatusText(row), std::string(40, ' '));
    }
}

TEST_F(CheckUrlsTest, StopInTheFinalWaitAndBeforeTheFirstPoll)
{
    MakeList(3);
    ASSERT_TRUE(Begin());
    check.Poll();
    launcher.Finish(0, 200);
    check.Stop();
    EXPECT_FALSE(check.Poll());
    EXPECT_EQ(check.position(), 0);
    EXPECT_EQ(launcher.cutOff, (std::vector<int>{1, 2}));

    // A new run clears the request; Stop before the first poll starts nothing.
    launcher.started.clear();
    ASSERT_TRUE(Begin());
    EXPECT_FALSE(check.stopRequested());
    check.Stop();
    EXPECT_FALSE(check.Poll());
    EXPECT_TRUE(launcher.started.empty());
}

} // namespace
