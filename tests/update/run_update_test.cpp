// The update coordinator driven with fake workers: which rows a run takes,
// how slots are handed out and polled, time-outs, dead workers, Stop and
// shutdown, progress and saving.
#include "update/ResultBlock.h"
#include "update/RunUpdate.h"
#include "update/UpdateLauncher.h"
#include "update/UpdateProtocol.h"
#include "workspace/RecordLayout.h"
#include "workspace/SecondsCounter.h"
#include "workspace/UrlRows.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace orvex {
namespace {

namespace fs = std::filesystem;

const std::string kTime = "05/14/2007 13:45:30";

// Workers that finish, die or hang only when the test says so.
class FakeUpdateLauncher : public UpdateLauncher
{
public:
    FakeUpdateLauncher() { ended.fill(true); }

    bool CreateBlocks() override
    {
        if (failCreate)
            return false;
        for (auto& block : blocks)
            block.fill(' ');
        blocksLive = true;
        return true;
    }
    char* Block(int slot) override { return blocks[slot].data(); }
    void ReleaseBlocks() override { blocksLive = false; }
    void StartWorker(int slot, const std::string& jobText) override
    {
        const std::optional<UpdateJob> job = DecodeJobText(jobText);
        ASSERT_TRUE(job.has_value());
        jobs.push_back(*job);
        slotOfJob.push_back(slot);
        ended[slot] = false;
        ++live;
        maxLive = std::max(maxLive, live);
    }
    bool WorkerEnded(int slot) const override { return ended[slot]; }
    void SendStop(int slot) override { stops.push_back(slot); }
    void EndRun() override { ++endRuns; }

    // The worker of the slot writes its fields, its marker, and ends.
    void Finish(int slot, const std::string& status, const std::string& code = "7")
    {
        ResultBlock fields;
        fields.code = code;
        fields.status = status;
        fields.captured = fields.updated = kTime;
        fields.title = "Title of " + jobs[JobIn(slot)].url;
        WriteBlockFields(blocks[slot].data(), fields);
        WriteBlockMarker(blocks[slot].data());
        End(slot);
    }
    // The worker dies without a word.
    void End(int slot)
    {
        ended[slot] = true;
        --live;
    }
    int JobIn(int slot) const
    {
        for (int j = static_cast<int>(jobs.size()) - 1; j >= 0; --j) {
            if (slotOfJob[j] == slot)
                return j;
        }
        return -1;
    }
    // Rows handed out, in order (the URL ends in the row number).
    std::vector<int> Rows() const
    {
        std::vector<int> rows;
        for (const UpdateJob& job : jobs)
            rows.push_back(std::stoi(job.url.substr(job.url.rfind('/') + 1)));
        return rows;
    }

    bool failCreate = false;
    bool blocksLive = false;
    std::array<std::array<char, kResultBlockSize>, 10> blocks{};
    std::array<bool, 10> ended{};
    std::vector<UpdateJob> jobs;
    std::vector<int> slotOfJob;
    std::vector<int> stops;
    int endRuns = 0;
    int live = 0;
    int maxLive = 0;
};

class RunUpdateTest : public ::testing::Test
{
protected:
    RunUpdateTest()
    {
        run.SetThreadCount([this] { return threads; });
        run.SetSaveRecords([this] {
            ++saves;
            return true;
        });
    }
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Rows in record order, URL http://h.test/<row>.
    void MakeList(int count)
    {
        records.clear();
        for (int i = 0; i < count; ++i) {
            std::string id = "id" + std::to_string(i);
            id += std::string(19 - id.size(), 'x');
            records.push_back(
                MakeUrlRecord(id, "00000001", kTime, "http://h.test/" + std::to_string(i)));
        }
        BuildUrlRows(records, rows);
    }
    fs::path Folder() const { return fs::path(dir.path().toStdString()) / "00000001"; }
    bool Begin(std::vector<std::size_t> selected = {0}, UpdateOptions options = {},
               UpdateJobSettings settings = {})
    {
        return run.Begin(rows, records, selected, options, settings, Folder());
    }
    // Polls until the run has nothing left to do for now.
    void Settle()
    {
        for (int i = 0; i < 50 && run.running(); ++i)
            run.Poll();
    }
    // Finishes every busy worker with 200 until the run ends.
    void RunToEnd()
    {
        for (int round = 0; round < 200 && run.Poll(); ++round) {
            for (int s = 0; s < RunUpdate::kSlotCount; ++s) {
                if (!launcher.ended[s])
                    launcher.Finish(s, "200");
            }
        }
        ASSERT_FALSE(run.running());
    }
    std::string Field(int row, int field) const { return GetUrlRowField(rows[row], field); }
    std::string Stored(int record, int field) const
    {
        return std::string(TrimView(GetUrlField(records[record], field)));
    }
    char Activity(int row) const { return Field(row, UrlRowField::Flags)[1]; }
    std::string Result(int row) const
    {
        return std::string(TrimView(Field(row, UrlRowField::Result)));
    }

    QTemporaryDir dir;
    FakeUpdateLauncher launcher;
    SecondsCounter clock; // never started: moved by hand
    RunUpdate run{launcher, clock};
    int threads = 3;
    int saves = 0;
    RecordList records;
    RecordList rows;
};

TEST_F(RunUpdateTest, RunsEveryRowAndRecordsTheResults)
{
    MakeList(4);
    ASSERT_TRUE(Begin());
    EXPECT_EQ(run.total(), 4);
    EXPECT_EQ(run.ProcessedText(), "0 of 4");
    EXPECT_EQ(run.PercentText(), "0 %");
    EXPECT_TRUE(launcher.blocksLive);
    RunToEnd();

    EXPECT_EQ(launcher.Rows(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(run.ended(), UpdateEnd::Completed);
    EXPECT_EQ(run.ProcessedText(), "4 of 4");
    EXPECT_EQ(run.PercentText(), "100 %");
    EXPECT_EQ(run.failed(), 0);
    EXPECT_EQ(run.dispatched(), 4);
    EXPECT_LE(launcher.maxLive, 3);
    EXPECT_EQ(launcher.endRuns, 1);
    EXPECT_FALSE(launcher.blocksLive);
    EXPECT_GE(saves, 1);
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Result(row), "Ok");
        EXPECT_EQ(Activity(row), '0');
        EXPECT_EQ(Stored(row, UrlField::StatusCode), "200");
        EXPECT_EQ(Stored(row, UrlField::Title), "Title of http://h.test/" + std::to_string(row));
    }
    // Every folder the files go to was made.
    for (const char* sub : {"Icon", "Screenshot", "Data"})
        EXPECT_TRUE(fs::is_directory(Folder() / sub)) << sub;
}

TEST_F(RunUpdateTest, ChoiceOfRows)
{
    struct Case
    {
        const char* name;
        UpdateOptions options;
        std::vector<std::size_t> selected;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {"neither box: every row", {false, false}, {2, 4}, {0, 1, 2, 3, 4, 5}},
        {"start from selected: first selected to the end", {true, false}, {2, 4}, {2, 3, 4, 5}},
        {"update selected: only selected", {false, true}, {2, 4}, {2, 4}},
        {"both: only selected", {true, true}, {2, 4}, {2, 4}},
        {"start from the last row", {true, false}, {5}, {5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeUpdateLauncher fresh;
        RunUpdate other{fresh, clock};
        MakeList(6);
        ASSERT_TRUE(other.Begin(rows, records, c.selected, c.options, {}, Folder()));
        EXPECT_EQ(other.total(), static_cast<int>(c.rows.size()));
        for (int round = 0; round < 200 && other.Poll(); ++round) {
            for (int s = 0; s < RunUpdate::kSlotCount; ++s) {
                if (!fresh.ended[s])
                    fresh.Finish(s, "200");
            }
        }
        EXPECT_EQ(fresh.Rows(), c.rows);
        EXPECT_EQ(other.position(), other.total());
        // Rows not taken were left alone.
        for (int row = 0; row < 6; ++row) {
            if (std::find(c.rows.begin(), c.rows.end(), row) == c.rows.end()) {
                EXPECT_EQ(Result(row), "") << row;
            }
        }
    }
}

TEST_F(RunUpdateTest, RefusesToBegin)
{
    MakeList(2);
    EXPECT_FALSE(Begin({})) << "no row selected";
    EXPECT_FALSE(Begin({7})) << "selection outside the list";
    launcher.failCreate = true;
    EXPECT_FALSE(Begin({0})) << "blocks cannot be made";
    launcher.failCreate = false;
    ASSERT_TRUE(Begin({0}));
    EXPECT_FALSE(Begin({0})) << "a run is going on";
}

TEST_F(RunUpdateTest, BusyRowWhileItsJobRuns)
{
    MakeList(2);
    ASSERT_TRUE(Begin());
    run.TakeChangedRows();
    run.Poll();
    ASSERT_EQ(launcher.jobs.size(), 1u);
    EXPECT_EQ(Activity(0), '1');
    EXPECT_EQ(Field(0, UrlRowField::Result), RunUpdate::kBusyText);
    EXPECT_EQ(run.TakeChangedRows(), (std::vector<std::size_t>{0}));
    EXPECT_EQ(run.TakeScrollRow(), std::optional<std::size_t>(0));
    EXPECT_EQ(run.TakeScrollRow(), std::nullopt);
}

TEST_F(RunUpdateTest, JobCarriesTheSettings)
{
    MakeList(1);
    UpdateJobSettings settings;
    settings.proxyUser = "user";
    settings.proxyPassword = "secret";
    settings.screenshot = false;
    settings.thumbnail = true;
    settings.width = 800;
    settings.height = 600;

    settings.useProxy = false;
    ASSERT_TRUE(Begin({0}, {}, settings));
    Settle();
    ASSERT_EQ(launcher.jobs.size(), 1u);
    UpdateJob job = launcher.jobs[0];
    EXPECT_EQ(job.url, "http://h.test/0");
    EXPECT_EQ(job.id, "id0xxxxxxxxxxxxxxxx");
    EXPECT_EQ(job.projectFolder, Folder().string());
    EXPECT_EQ(job.proxyUser, "") << "credentials only go with the proxy";
    EXPECT_EQ(job.proxyPassword, "");
    EXPECT_FALSE(job.screenshot);
    EXPECT_TRUE(job.thumbnail);
    EXPECT_EQ(job.width, 800);
    EXPECT_EQ(job.height, 600);
    launcher.Finish(0, "200");
    Settle();

    settings.useProxy = true;
    ASSERT_TRUE(Begin({0}, {}, settings));
    Settle();
    ASSERT_EQ(launcher.jobs.size(), 2u);
    EXPECT_EQ(launcher.jobs[1].proxyUser, "user");
    EXPECT_EQ(launcher.jobs[1].proxyPassword, "secret");
}

TEST_F(RunUpdateTest, OneThreadRunsRowsOneAfterAnotherInSlotZero)
{
    threads = 1;
    MakeList(3);
    ASSERT_TRUE(Begin());
    for (int row = 0; row < 3; ++row) {
        Settle();
        ASSERT_EQ(launcher.jobs.size(), static_cast<std::size_t>(row + 1));
        EXPECT_EQ(launcher.slotOfJob.back(), 0);
        EXPECT_EQ(launcher.live, 1);
        launcher.Finish(0, "200");
    }
    Settle();
    EXPECT_EQ(run.ended(), UpdateEnd::Completed);
    EXPECT_EQ(launcher.maxLive, 1);
}

TEST_F(RunUpdateTest, ProgressStepsWithEachResult)
{
    threads = 1;
    MakeList(3);
    ASSERT_TRUE(Begin());
    const char* expected[][2] = {{"1 of 3", "33 %"}, {"2 of 3", "66 %"}, {"3 of 3", "100 %"}};
    for (const auto& step : expected) {
        Settle();
        launcher.Finish(0, "200");
        run.Poll();
        EXPECT_EQ(run.ProcessedText(), step[0]);
        EXPECT_EQ(run.PercentText(), step[1]);
    }
}

TEST_F(RunUpdateTest, LoweredThreadCountLeavesHigherSlotsToTheFinalPhase)
{
    MakeList(5);
    ASSERT_TRUE(Begin());
    Settle();
    ASSERT_EQ(launcher.Rows(), (std::vector<int>{0, 1, 2}));
    threads = 1;
    launcher.Finish(2, "200");
    Settle();
    EXPECT_EQ(Activity(2), '1') << "slot 2 is no longer polled while rows are handed out";
    launcher.Finish(0, "200");
    Settle();
    EXPECT_EQ(launcher.Rows(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(launcher.slotOfJob.back(), 0);
    // Row 4 is the last to hand out; from then on the final phase checks all slots.
    launcher.Finish(0, "200");
    Settle();
    EXPECT_EQ(launcher.Rows(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Result(2), "Ok");
    EXPECT_TRUE(run.running()) << "slots 0 and 1 are still busy";
    launcher.Finish(0, "200");
    launcher.Finish(1, "404");
    Settle();
    EXPECT_EQ(run.ended(), UpdateEnd::Completed);
    EXPECT_EQ(Result(2), "Ok");
    EXPECT_EQ(Result(1), "Failed");
    EXPECT_EQ(run.failed(), 1);
}

TEST_F(RunUpdateTest, WorkerThatNeverAnswersTimesOut)
{
    run.SetJobTimeout(5);
    threads = 1;
    MakeList(2);
    ASSERT_TRUE(Begin());
    Settle();
    clock.Advance(4);
    Settle();
    EXPECT_TRUE(launcher.stops.empty());
    clock.Advance(1);
    Settle();
    EXPECT_EQ(launcher.stops, (std::vector<int>{0}));
    EXPECT_EQ(Result(0), "Failed");
    EXPECT_EQ(Activity(0), '0');
    EXPECT_EQ(std::string(TrimView(Field(0, UrlRowField::StatusText))), "0");
    EXPECT_EQ(Stored(0, UrlField::StatusCode), "");
    EXPECT_EQ(run.failed(), 1);
    // The next row goes on in the same slot.
    EXPECT_EQ(launcher.Rows(), (std::vector<int>{0, 1}));
}

TEST_F(RunUpdateTest, TimedOutWorkerKeepsAFoundStatus)
{
    run.SetJobTimeout(5);
    threads = 1;
    MakeList(1);
    ASSERT_TRUE(Begin());
    Settle();
    ResultBlock partial;
    partial.status = "302";
    WriteBlockFields(launcher.blocks[0].data(), partial);
    clock.Advance(5);
    Settle();
    EXPECT_EQ(Result(0), "Has errors") << "a blank code reads as 2, and 302 is a success";
    EXPECT_EQ(run.failed(), 0);
}

TEST_F(RunUpdateTest, DeadWorkerFreesItsSlotAtOnce)
{
    MakeList(3);
    ASSERT_TRUE(Begin());
    Settle();
    launcher.End(1); // killed mid-job: no marker
    Settle();
    EXPECT_EQ(Result(1), "Failed");
    EXPECT_EQ(run.failed(), 1);
    EXPECT_TRUE(launcher.stops.empty());
    launcher.Finish(0, "200");
    launcher.Finish(2, "200");
    Settle();
    EXPECT_EQ(run.ended(), UpdateEnd::Completed);
    EXPECT_EQ(run.position(), 3);
}

TEST_F(RunUpdateTest, StopWindsTheRunDown)
{
    threads = 2;
    MakeList(5);
    ASSERT_TRUE(Begin());
    Settle();
    launcher.Finish(0, "200");
    Settle();
    ASSERT_EQ(launcher.Rows(), (std::vector<int>{0, 1, 2}));
    run.Stop();
    EXPECT_FALSE(run.Poll());
    EXPECT_EQ(run.ended(), UpdateEnd::Stopped);
    EXPECT_EQ(launcher.Rows(), (std::vector<int>{0, 1, 2})) << "no further row is handed out";
    std::vector<int> stopped = launcher.stops;
    std::sort(stopped.begin(), stopped.end());
    EXPECT_EQ(stopped, (std::vector<int>{0, 1}));
    EXPECT_EQ(Result(0), "Ok");
    EXPECT_EQ(Activity(1), '1') << "busy rows keep their marker for the dialog to clear";
    EXPECT_EQ(Activity(2), '1');
    EXPECT_EQ(Activity(3), '0');
    EXPECT_EQ(launcher.endRuns, 1);
    EXPECT_FALSE(launcher.blocksLive);
    EXPECT_GE(saves, 1) << "the result taken before the stop is saved";
}

TEST_F(RunUpdateTest, ShutdownEndsAtOnceAndKeepsResults)
{
    MakeList(5);
    ASSERT_TRUE(Begin());
    Settle();
    launcher.Finish(0, "200");
    launcher.Finish(1, "200");
    Settle();
    ASSERT_EQ(Result(1), "Ok");
    saves = 0; // the first result was saved at once, the second waits its turn
    run.Shutdown();
    EXPECT_FALSE(run.running());
    EXPECT_FALSE(run.Poll());
    EXPECT_EQ(run.ended(), UpdateEnd::Shutdown);
    EXPECT_EQ(launcher.endRuns, 1) << "no worker outlives the program";
    EXPECT_FALSE(launcher.blocksLive);
    EXPECT_EQ(saves, 1);
}

TEST_F(RunUpdateTest, RowsWhoseFoldersCannotBeMadeAreSkipped)
{
    MakeList(3);
    fs::create_directories(Folder());
    testfiles::WriteBytes(Folder() / "Screenshot", "a file where a folder belongs");
    ASSERT_TRUE(Begin());
    Settle();
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.ended(), UpdateEnd::Completed);
    EXPECT_TRUE(launcher.jobs.empty());
    EXPECT_EQ(run.total(), 3);
    EXPECT_EQ(run.position(), 0);
    EXPECT_EQ(run.dispatched(), 0);
}

TEST_F(RunUpdateTest, ResultForARowWithoutRecordIsCountedOnly)
{
    MakeList(2);
    records.pop_back(); // row 1 now names no record
    ASSERT_TRUE(Begin({0}, {}, {}));
    for (int round = 0; round < 200 && run.Poll(); ++round) {
        for (int s = 0; s < RunUpdate::kSlotCount; ++s) {
            if (!launcher.ended[s])
                launcher.Finish(s, "404");
        }
    }
    EXPECT_EQ(run.failed(), 2);
    EXPECT_EQ(Result(0), "Failed");
    EXPECT_EQ(Field(1, UrlRowField::Result), RunUpdate::kBusyText)
        << "the row keeps its content when its record is gone";
}

} // namespace
} // namespace orvex
