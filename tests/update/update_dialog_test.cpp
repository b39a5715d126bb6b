// The Update dialog over the real main window, with workers played by a fake
// launcher: the test writes each finished block itself, or lets a worker die
// without one.
#include "mainwindow/Artwork.h"
#include "mainwindow/MainWindowFixture.h"
#include "mainwindow/TrayIcon.h"
#include "update/ResultBlock.h"
#include "update/UpdateLauncher.h"
#include "update/UpdateProtocol.h"
#include "update/dialog/TStopFrm.h"
#include "update/dialog/TUpdatePreviewFrm.h"

#include <QCheckBox>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWebEngineView>

#include <array>
#include <optional>

using namespace orvex;
using namespace orvex::testwindow;
namespace fs = std::filesystem;

namespace {

const std::string kA = "http://a.example/";
const std::string kB = "http://b.example/";
const std::string kC = "http://c.example/";

// What the fake workers did and hold; it outlives every launcher of a test.
struct FakeWorkers
{
    FakeWorkers() { running.fill(false); }

    std::array<ResultBlockBytes, kUpdateSlotCount> blocks{};
    std::array<bool, kUpdateSlotCount> running{};
    std::vector<std::pair<int, UpdateJob>> jobs; // slot and job, in start order
    std::vector<int> stops;
    bool failBlocks = false;
    int blocksMade = 0;
    int endRuns = 0;
    int launchersAlive = 0;

    // The slot whose worker is working on the URL, or -1.
    int SlotOf(const std::string& url) const
    {
        for (auto it = jobs.rbegin(); it != jobs.rend(); ++it) {
            if (it->second.url == url && running[static_cast<std::size_t>(it->first)])
                return it->first;
        }
        return -1;
    }
    std::vector<std::string> Urls() const
    {
        std::vector<std::string> urls;
        for (const auto& [slot, job] : jobs)
            urls.push_back(job.url);
        return urls;
    }
    int Running() const
    {
        return static_cast<int>(std::count(running.begin(), running.end(), true));
    }
};

class FakeLauncher : public UpdateLauncher
{
public:
    explicit FakeLauncher(FakeWorkers& workers) : w_(workers) { ++w_.launchersAlive; }
    ~FakeLauncher() override { --w_.launchersAlive; }

    bool CreateBlocks() override
    {
        if (w_.failBlocks)
            return false;
        for (ResultBlockBytes& block : w_.blocks)
            block.fill(' ');
        ++w_.blocksMade;
        return true;
    }
    char* Block(int slot) override { return w_.blocks[static_cast<std::size_t>(slot)].data(); }
    void ReleaseBlocks() override {}
    void StartWorker(int slot, const std::string& jobText) override
    {
        const std::optional<UpdateJob> job = DecodeJobText(jobText);
        ASSERT_TRUE(job.has_value());
        w_.jobs.emplace_back(slot, *job);
        w_.running[static_cast<std::size_t>(slot)] = true;
    }
    bool WorkerEnded(int slot) const override
    {
        return !w_.running[static_cast<std::size_t>(slot)];
    }
    void SendStop(int slot) override
    {
        w_.stops.push_back(slot);
        w_.running[static_cast<std::size_t>(slot)] = false;
    }
    void EndRun() override
    {
        ++w_.endRuns;
        w_.running.fill(false);
    }

private:
    FakeWorkers& w_;
};

// Generous: only a condition that never comes true costs the whole wait.
bool WaitFor(const std::function<bool()>& condition, int ms = 20000)
{
    return QTest::qWaitFor(condition, ms);
}

class UpdateDialogTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        SeedProject("Updated", {{kA, "", ' ', "A"}, {kB, "", ' ', "B"}, {kC, "", ' ', "C"}});
        OpenWindow();
        // The deferred start-up step opens the project; on a busy machine it may come late.
        ASSERT_TRUE(WaitFor([this] {
            return window->openUrls() && window->urlRows().size() == 3 &&
                   window->urlView()->selectionModel()->hasSelection();
        }));
        window->setUpdateLauncherFactory(
            [this] { return std::make_unique<FakeLauncher>(workers); });
        dialog = window->updateDialog();
        folder = root / "Projects" / "00000000";
    }
    void TearDown() override
    {
        TrayIcon::SetAvailableForTests(std::nullopt);
        MainWindowTest::TearDown();
    }

    // Opens the dialog through the command, with the thread count given, and presses Update.
    void StartRun(int threads = 3)
    {
        window->actions().updateProject->trigger();
        ASSERT_TRUE(dialog->isVisible());
        dialog->threadSpin()->setValue(threads);
        dialog->updateButton()->click();
    }
    // The worker on the URL writes its block: result code, HTTP status, title.
    void Finish(const std::string& url, char code, const std::string& status,
                const std::string& title = "")
    {
        ASSERT_TRUE(WaitFor([&] { return workers.SlotOf(url) >= 0; })) << url;
        const int slot = workers.SlotOf(url);
        ResultBlock fields;
        fields.code = std::string(1, code);
        fields.status = status;
        fields.captured = fields.updated = "05/14/2007 13:45:30";
        fields.title = title;
        fields.contentType = "text/html";
        fields.contentLength = "2048";
        char* block = workers.blocks[static_cast<std::size_t>(slot)].data();
        WriteBlockFields(block, fields);
        WriteBlockMarker(block);
        workers.running[static_cast<std::size_t>(slot)] = false; // a worker ends after its marker
    }
    // The worker on the URL ends without writing anything.
    void Die(const std::string& url)
    {
        ASSERT_TRUE(WaitFor([&] { return workers.SlotOf(url) >= 0; })) << url;
        workers.running[static_cast<std::size_t>(workers.SlotOf(url))] = false;
    }
    bool RunEnded()
    {
        return WaitFor([this] { return !dialog->busy(); });
    }
    int Completions() const
    {
        return static_cast<int>(
            std::count_if(shown.begin(), shown.end(), [](const ShownMessage& m) {
                return m.text == "Update completed!     ";
            }));
    }
    std::string RowField(int row, int field) const
    {
        return TrimText(UrlRowFieldView(window->urlRows()[static_cast<std::size_t>(row)], field));
    }
    char Activity(int row) const
    {
        return UrlRowFieldView(window->urlRows()[static_cast<std::size_t>(row)],
                               UrlRowField::Flags)[1];
    }
    bool ReviewsWritten() const
    {
        for (int style = 1; style <= 3; ++style) {
            if (!fs::exists(folder / ("preview" + std::to_string(style) + ".html")))
                return false;
        }
        return true;
    }
    std::string StoredProjectUpdated()
    {
        return TrimText(ProjectFieldView(StoredProjects().at(0), ProjectField::Updated));
    }

    FakeWorkers workers;
    TUpdatePreviewFrm* dialog = nullptr;
    fs::path folder;
};

// --- the dialog and the command that opens it ---

TEST_F(UpdateDialogTest, CommandShowsTheDialogWithItsControls)
{
    window->UpdateUrlButtons();
    ASSERT_TRUE(window->actions().updateProject->isEnabled());
    window->settings().threadCount = 7;
    window->actions().updateProject->trigger();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(window->actions().updateProject->isChecked());
    EXPECT_EQ(dialog->windowTitle(), "Update Project:");
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->startFromSelectedBox()->text(), "Start from Selected URL");
    EXPECT_EQ(dialog->updateSelectedBox()->text(), "Update Selected");
    EXPECT_EQ(dialog->minimizeToTrayBox()->text(), "Minimize to Tray");
    EXPECT_EQ(dialog->updateButton()->text(), "  Update       ");
    EXPECT_EQ(dialog->updateButton()->toolTip(), "Start Update Process");
    EXPECT_EQ(dialog->stopButton()->text(), "     Stop         ");
    EXPECT_EQ(dialog->stopButton()->toolTip(), "Stop Update Process");
    EXPECT_EQ(dialog->processedLabel()->text(), "0 of 0");
    EXPECT_EQ(dialog->failedLabel()->text(), "0");
    EXPECT_EQ(dialog->percentLabel()->text(), "0 %");
    EXPECT_GE(dialog->width(), TUpdatePreviewFrm::kClientWidth);
    EXPECT_GE(dialog->height(), TUpdatePreviewFrm::kClientHeight);
    // The spin shows the setting and sets it, within 1..10.
    EXPECT_EQ(dialog->threadSpin()->value(), 7);
    EXPECT_EQ(dialog->threadSpin()->minimum(), 1);
    EXPECT_EQ(dialog->threadSpin()->maximum(), 10);
    EXPECT_FALSE(dialog->threadSpin()->wrapping());
    dialog->threadSpin()->stepUp();
    EXPECT_EQ(window->settings().threadCount, 8);
    dialog->threadSpin()->setValue(12);
    EXPECT_EQ(window->settings().threadCount, 10);

    // Closing it while idle raises the tool button again.
    dialog->reject();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(window->actions().updateProject->isChecked());
}

TEST_F(UpdateDialogTest, CommandNeedsASelectedUrlRow)
{
    window->urlView()->selectionModel()->clearSelection();
    window->UpdateUrlButtons();
    EXPECT_FALSE(window->actions().updateProject->isEnabled());
    window->UpdateProject();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(window->actions().updateProject->isChecked());
}

// --- a whole run ---

TEST_F(UpdateDialogTest, RunShowsProgressAndRecordsEveryResult)
{
    StartRun(3);
    EXPECT_EQ(dialog->processedLabel()->text(), "0 of 3");
    EXPECT_EQ(dialog->percentLabel()->text(), "0 %");
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    // Nothing has come back yet.
    EXPECT_EQ(dialog->processedLabel()->text(), "0 of 3");
    EXPECT_EQ(dialog->percentLabel()->text(), "0 %");
    EXPECT_EQ(workers.Urls(), (std::vector<std::string>{kA, kB, kC}));
    EXPECT_EQ(workers.jobs[0].second.projectFolder, folder.string());
    EXPECT_EQ(workers.jobs[0].second.id, RowField(0, UrlRowField::Id));

    // While it runs: the window is locked, rows and project show they are busy,
    // and only the dialog's spin and Stop are for the user.
    EXPECT_TRUE(window->busy());
    EXPECT_FALSE(dialog->updateButton()->isEnabled());
    EXPECT_FALSE(dialog->startFromSelectedBox()->isEnabled());
    EXPECT_FALSE(dialog->updateSelectedBox()->isEnabled());
    EXPECT_TRUE(dialog->threadSpin()->isEnabled());
    EXPECT_TRUE(dialog->stopButton()->isEnabled());
    EXPECT_FALSE(window->actions().fileMenu->menuAction()->isEnabled());
    EXPECT_TRUE(window->projectModel()->showsBusy(0));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Activity(row), '1') << row;
        EXPECT_EQ(RowField(row, UrlRowField::Result), "Updating...") << row;
    }
    EXPECT_EQ(window->urlModel()->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(200, 240, 225));

    struct Step
    {
        std::string url;
        char code;
        std::string status;
        std::string title;
        QString processed, percent, failed;
    };
    const Step steps[] = {
        {kA, '7', "200", "Alpha page", "1 of 3", "33 %", "0"},
        {kB, '0', "404", "Missing", "2 of 3", "66 %", "1"},
        {kC, '\0', "", "", "3 of 3", "100 %", "2"}, // the worker dies without a block
    };
    for (const Step& step : steps) {
        if (step.code)
            Finish(step.url, step.code, step.status, step.title);
        else
            Die(step.url);
        ASSERT_TRUE(WaitFor([&] { return dialog->processedLabel()->text() == step.processed; }))
            << step.url << " " << dialog->processedLabel()->text().toStdString();
        EXPECT_EQ(dialog->percentLabel()->text(), step.percent) << step.url;
        EXPECT_EQ(dialog->failedLabel()->text(), step.failed) << step.url;
        // The selected first row's detail pane follows its result.
        if (step.url == kA) {
            EXPECT_EQ(window->titleLine()->text(), "Alpha page");
        }
    }
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(dialog->progressBar()->value(), 3);
    EXPECT_EQ(dialog->progressBar()->maximum(), 3);

    ASSERT_EQ(Completions(), 1);
    EXPECT_EQ(shown.back().caption, "Information...");
    EXPECT_EQ(shown.size(), 1u);

    const struct
    {
        const char* result;
        const char* status;
        char code;
    } expected[] = {{"Ok", "200 Ok", '7'}, {"Failed", "404 Not Found", '0'}, {"Failed", "0", '0'}};
    const RecordList stored = StoredUrls();
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(RowField(row, UrlRowField::Result), expected[row].result) << row;
        EXPECT_EQ(Cell(window->urlView(), row, 3).toStdString(), expected[row].status) << row;
        EXPECT_EQ(Activity(row), '0') << row;
        EXPECT_EQ(UrlFieldView(stored[static_cast<std::size_t>(row)], UrlField::Flags)[4],
                  expected[row].code)
            << row;
    }
    EXPECT_EQ(TrimText(UrlFieldView(stored[0], UrlField::Title)), "Alpha page");
    EXPECT_EQ(TrimText(UrlFieldView(stored[1], UrlField::StatusCode)), "404");

    // The project is stamped in the list and in projects.dat, and its pages are written.
    EXPECT_FALSE(StoredProjectUpdated().empty());
    EXPECT_EQ(Cell(window->projectView(), 0, 2).toStdString(), StoredProjectUpdated());
    EXPECT_TRUE(ReviewsWritten());
    EXPECT_NE(window->reviewView()->url().toLocalFile().toStdString().find("preview1.html"),
              std::string::npos);

    // Everything is usable again.
    EXPECT_FALSE(window->busy());
    EXPECT_FALSE(window->projectModel()->showsBusy(0));
    EXPECT_TRUE(dialog->updateButton()->isEnabled());
    EXPECT_TRUE(dialog->startFromSelectedBox()->isEnabled());
    EXPECT_TRUE(window->actions().fileMenu->menuAction()->isEnabled());
    EXPECT_FALSE(dialog->running());
}

struct ChoiceCase
{
    const char* name;
    bool startFromSelected;
    bool updateSelected;
    std::vector<std::string> handedOut;
};

class UpdateChoiceTest : public UpdateDialogTest, public ::testing::WithParamInterface<ChoiceCase>
{
};

// The two boxes choose the rows, with row B selected.
TEST_P(UpdateChoiceTest, BoxesChooseTheRows)
{
    window->SelectUrlRow(1);
    window->actions().updateProject->trigger();
    dialog->startFromSelectedBox()->setChecked(GetParam().startFromSelected);
    dialog->updateSelectedBox()->setChecked(GetParam().updateSelected);
    dialog->updateButton()->click();
    const std::size_t count = GetParam().handedOut.size();
    EXPECT_EQ(dialog->processedLabel()->text(), QString("0 of %1").arg(count));
    ASSERT_TRUE(WaitFor([&] { return workers.jobs.size() == count; }));
    EXPECT_EQ(workers.Urls(), GetParam().handedOut);
    for (const std::string& url : GetParam().handedOut)
        Finish(url, '7', "200");
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(dialog->processedLabel()->text(), QString("%1 of %1").arg(count));
    // The boxes keep their state for the next run.
    EXPECT_EQ(dialog->startFromSelectedBox()->isChecked(), GetParam().startFromSelected);
}

INSTANTIATE_TEST_SUITE_P(Choices, UpdateChoiceTest,
                         ::testing::Values(ChoiceCase{"Every", false, false, {kA, kB, kC}},
                                           ChoiceCase{"FromSelected", true, false, {kB, kC}},
                                           ChoiceCase{"OnlySelected", false, true, {kB}},
                                           ChoiceCase{"Both", true, true, {kB}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateDialogTest, ThreadSpinCountsDuringTheRun)
{
    StartRun(1);
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(workers.jobs.size(), 1u); // one worker at a time
    dialog->threadSpin()->setValue(3);
    EXPECT_EQ(window->settings().threadCount, 3);
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    for (const std::string& url : {kA, kB, kC})
        Finish(url, '7', "200");
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(Completions(), 1);
}

TEST_F(UpdateDialogTest, NoSelectedRowStillWritesTheReviewsAndReportsCompletion)
{
    window->actions().updateProject->trigger();
    window->urlView()->selectionModel()->clearSelection();
    dialog->updateButton()->click();
    ASSERT_TRUE(RunEnded());
    EXPECT_TRUE(workers.jobs.empty());
    EXPECT_EQ(workers.blocksMade, 0);
    EXPECT_TRUE(ReviewsWritten());
    EXPECT_EQ(Completions(), 1);
    // Nothing ran: the project keeps its time.
    EXPECT_TRUE(StoredProjectUpdated().empty());
    EXPECT_FALSE(window->busy());
}

TEST_F(UpdateDialogTest, BlocksThatCannotBeMadeAreReportedNotCompleted)
{
    workers.failBlocks = true;
    StartRun();
    ASSERT_TRUE(RunEnded());
    EXPECT_TRUE(workers.jobs.empty());
    EXPECT_EQ(Completions(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, MessageKind::Error);
    EXPECT_EQ(shown[0].text, "Unable to start the update process!     ");
    EXPECT_FALSE(window->busy());
}

TEST_F(UpdateDialogTest, AFailedSaveIsReportedOnce)
{
    StartRun(3);
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    // urls.dat can no longer be replaced.
    fs::remove(folder / "urls.dat");
    fs::create_directories(folder / "urls.dat" / "in-the-way");
    for (const std::string& url : {kA, kB, kC}) {
        Finish(url, '7', "200");
        QTest::qWait(30);
    }
    ASSERT_TRUE(RunEnded());
    const auto errors = std::count_if(shown.begin(), shown.end(), [](const ShownMessage& m) {
        return m.kind == MessageKind::Error;
    });
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(Completions(), 1);
    // The results are still in the list.
    EXPECT_EQ(RowField(2, UrlRowField::Result), "Ok");
}

// --- Stop ---

TEST_F(UpdateDialogTest, StopLeavesTheRestUndoneUnderTheSplash)
{
    StartRun(1);
    Finish(kA, '7', "200");
    ASSERT_TRUE(WaitFor([this] { return workers.SlotOf(kB) >= 0; }));
    ASSERT_EQ(Activity(1), '1');

    QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
    ASSERT_TRUE(TStopFrm::shown());
    QPointer<TStopFrm> splash = dialog->splash();
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->messageLabel()->text(), "Closing Update...");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(window->actions().updateProject->isChecked());
    // A second Stop makes no second splash.
    dialog->StopUpdate();
    EXPECT_EQ(dialog->splash(), splash.data());

    ASSERT_TRUE(RunEnded());
    ASSERT_TRUE(WaitFor([&] { return !splash && !TStopFrm::shown(); }));
    EXPECT_EQ(workers.Urls(), (std::vector<std::string>{kA, kB})); // C never handed out
    EXPECT_EQ(workers.stops, (std::vector<int>{0}));
    // B keeps no result and loses its busy marker.
    EXPECT_EQ(Activity(1), '0');
    EXPECT_EQ(Cell(window->urlView(), 1, 3), "");
    EXPECT_EQ(TrimText(UrlFieldView(StoredUrls()[1], UrlField::StatusCode)), "");
    EXPECT_EQ(RowField(0, UrlRowField::Result), "Ok");
    // No completion message; the project is still stamped and its pages written.
    EXPECT_EQ(Completions(), 0);
    EXPECT_FALSE(StoredProjectUpdated().empty());
    EXPECT_TRUE(ReviewsWritten());
    EXPECT_FALSE(window->busy());
}

TEST_F(UpdateDialogTest, StopWhenNothingRunsDoesNothing)
{
    window->actions().updateProject->trigger();
    QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
    EXPECT_FALSE(TStopFrm::shown());
    EXPECT_TRUE(dialog->isVisible());
}

// --- closing the dialog during a run ---

TEST_F(UpdateDialogTest, ClosingTheDialogDuringARunIsRefused)
{
    StartRun();
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    dialog->reject();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->close() == false);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(window->isVisible());
    for (const std::string& url : {kA, kB, kC})
        Finish(url, '7', "200");
    ASSERT_TRUE(RunEnded());
    // Once idle it closes, and the progress starts afresh.
    dialog->reject();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->processedLabel()->text(), "0 of 0");
    EXPECT_EQ(dialog->percentLabel()->text(), "0 %");
    EXPECT_EQ(dialog->progressBar()->value(), 0);
}

struct TrayCase
{
    const char* name;
    bool trayExists;
};

class MinimizeToTrayTest : public UpdateDialogTest, public ::testing::WithParamInterface<TrayCase>
{
protected:
    // Windows are out of the way: hidden where a tray leads back, minimised where none does.
    bool Away(QWidget* widget) const
    {
        return GetParam().trayExists ? widget->isHidden() : widget->isMinimized();
    }
};

TEST_P(MinimizeToTrayTest, WindowsMakeWayAndComeBackAtTheEnd)
{
    TrayIcon::SetAvailableForTests(GetParam().trayExists);
    TrayIcon* tray = window->trayIcon();
    window->actions().updateProject->trigger();
    dialog->minimizeToTrayBox()->setChecked(true);
    dialog->updateButton()->click();
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    EXPECT_TRUE(Away(window.get()));
    EXPECT_TRUE(Away(dialog));
    EXPECT_EQ(tray->added(), GetParam().trayExists);
    EXPECT_EQ(tray->animationTimer()->isActive(), GetParam().trayExists);
    EXPECT_EQ(tray->animationTimer()->interval(), 2000);

    // "Show Window" brings them back while the run goes on; closing the dialog puts them away
    // again.
    tray->ShowFromTray();
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    EXPECT_TRUE(dialog->isVisible() && !dialog->isMinimized());
    Finish(kA, '7', "200");
    dialog->reject();
    EXPECT_TRUE(Away(window.get()));
    EXPECT_TRUE(Away(dialog));

    Finish(kB, '7', "200");
    Finish(kC, '7', "200");
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(Completions(), 1);
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    EXPECT_TRUE(dialog->isVisible() && !dialog->isMinimized());
    EXPECT_FALSE(tray->added());
    EXPECT_FALSE(tray->animationTimer()->isActive());
}

INSTANTIATE_TEST_SUITE_P(Tray, MinimizeToTrayTest,
                         ::testing::Values(TrayCase{"WithTray", true},
                                           TrayCase{"WithoutTray", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateDialogTest, TrayIconAnimatesThroughFiveFramesAndOffersItsMenu)
{
    TrayIcon::SetAvailableForTests(true);
    TrayIcon* tray = window->trayIcon();
    ASSERT_TRUE(tray->Add());
    std::vector<int> frames;
    for (int i = 0; i < 7; ++i) {
        frames.push_back(tray->nextFrame());
        ASSERT_TRUE(tray->Update());
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 4, 0, 1}));
    QStringList items;
    for (QAction* action : tray->menu()->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"Show Window", "Exit"}));
    tray->Remove();
    EXPECT_FALSE(tray->added());
    EXPECT_FALSE(tray->Update());

    // Without a tray nothing is added, and nothing breaks.
    TrayIcon::SetAvailableForTests(false);
    EXPECT_FALSE(tray->Add());
    EXPECT_FALSE(tray->Update());
    tray->Remove();
}

// --- closing the main window during a run ---

TEST_F(UpdateDialogTest, ClosingTheWindowAsksAndNoLeavesTheRunGoing)
{
    StartRun(3);
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    answers = {false};
    EXPECT_FALSE(window->close());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Confirmation:");
    EXPECT_EQ(shown[0].text, "Do you want to terminate the update process?     ");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(dialog->running());
    for (const std::string& url : {kA, kB, kC})
        Finish(url, '7', "200");
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(Completions(), 1);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(UpdateDialogTest, ClosingTheWindowWithYesStopsThenCloses)
{
    StartRun(1);
    Finish(kA, '7', "200");
    ASSERT_TRUE(WaitFor([this] { return workers.SlotOf(kB) >= 0; }));
    answers = {true};
    EXPECT_FALSE(window->close()); // refused now, closed once the run has ended
    ASSERT_TRUE(WaitFor([this] { return !window->isVisible(); }));
    EXPECT_TRUE(window->closing());
    EXPECT_EQ(workers.Urls(), (std::vector<std::string>{kA, kB}));
    EXPECT_EQ(Completions(), 0);
    EXPECT_EQ(workers.launchersAlive, 0);
    // The stopped run still stamped the project and kept A's result.
    EXPECT_FALSE(StoredProjectUpdated().empty());
    EXPECT_EQ(TrimText(UrlFieldView(StoredUrls()[0], UrlField::StatusCode)), "200");
}

TEST_F(UpdateDialogTest, TrayExitAsksAndClosesOnceTheRunHasStopped)
{
    TrayIcon::SetAvailableForTests(true);
    window->actions().updateProject->trigger();
    dialog->minimizeToTrayBox()->setChecked(true);
    dialog->threadSpin()->setValue(1);
    dialog->updateButton()->click();
    ASSERT_TRUE(WaitFor([this] { return workers.SlotOf(kA) >= 0; }));
    ASSERT_TRUE(window->isHidden());
    answers = {true};
    window->trayIcon()->menu()->actions().at(1)->trigger(); // "Exit"
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Do you want to terminate the update process?     ");
    ASSERT_TRUE(WaitFor([this] { return window->closing(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->trayIcon()->added());
    EXPECT_EQ(workers.Urls(), (std::vector<std::string>{kA}));
    EXPECT_EQ(Completions(), 0);
}

TEST_F(UpdateDialogTest, ShutdownMidRunEndsTheWorkersAndStampsNothing)
{
    StartRun(3);
    ASSERT_TRUE(WaitFor([this] { return workers.Running() == 3; }));
    Finish(kA, '7', "200");
    ASSERT_TRUE(WaitFor([this] { return dialog->processedLabel()->text() == "1 of 3"; }));
    window.reset(); // the program ends without the close check (logout)
    EXPECT_EQ(workers.Running(), 0);
    EXPECT_GE(workers.endRuns, 1);
    EXPECT_EQ(workers.launchersAlive, 0);
    EXPECT_EQ(Completions(), 0);
    // The result taken is saved; the project is not stamped, no pages written.
    EXPECT_EQ(TrimText(UrlFieldView(StoredUrls()[0], UrlField::StatusCode)), "200");
    EXPECT_TRUE(StoredProjectUpdated().empty());
    EXPECT_FALSE(ReviewsWritten());
}

// --- the closing splash by itself ---

TEST(ClosingSplash, UncoversItsStripAndClosesOnlyWhenAskedInTwoSteps)
{
    QWidget owner;
    owner.resize(600, 400);
    owner.show();
    int closed = 0;
    QPointer<TStopFrm> splash = new TStopFrm(&owner, "Adding URLs...", [&closed] { ++closed; });
    EXPECT_TRUE(TStopFrm::shown());
    splash->show();
    EXPECT_EQ(splash->size(), QSize(299, 72));
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(splash->messageLabel()->text(), "Adding URLs...");
    EXPECT_EQ(splash->uncovered(), TStopFrm::kCoveredFrom);
    EXPECT_TRUE(WaitFor([&] { return splash->uncovered() > TStopFrm::kCoveredFrom + 2; }));

    // Nobody but its owner closes it.
    EXPECT_FALSE(splash->close());
    EXPECT_TRUE(splash->isVisible());
    splash->RequestClose();
    EXPECT_TRUE(splash->mayClose());
    EXPECT_TRUE(splash); // the first request only starts the delay
    ASSERT_TRUE(WaitFor([&] { return splash.isNull(); }));
    EXPECT_FALSE(TStopFrm::shown());
    EXPECT_EQ(closed, 1);
}

TEST(TrayArtwork, FiveDistinctFramesAtTraySize)
{
    std::vector<QImage> frames;
    for (int frame = 0; frame < kTrayFrameCount; ++frame) {
        const QImage image = TrayImage(frame).pixmap(16, 16).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16)) << frame;
        for (const QImage& earlier : frames)
            EXPECT_NE(image, earlier) << frame;
        frames.push_back(image);
    }
    const QPixmap filled = SplashStrip(true, QSize(236, 13));
    const QPixmap empty = SplashStrip(false, QSize(236, 13));
    EXPECT_EQ(filled.size(), QSize(236, 13));
    EXPECT_NE(filled.toImage(), empty.toImage());
}

} // namespace
