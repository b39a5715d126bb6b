// The Check URLs dialog over the real main window, with checks answered by a
// fake launcher so that each URL gets a known status.
#include "check/CheckLauncher.h"
#include "check/dialog/CheckUrlsDialog.h"
#include "mainwindow/MainWindowFixture.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>

#include <map>

using namespace orvex;
using namespace orvex::testwindow;
namespace fs = std::filesystem;

namespace {

// Answers each check at once with the status its URL is given, or never ends.
class FakeLauncher : public CheckLauncher
{
public:
    FakeLauncher(std::map<std::string, int> statuses, bool endless, std::vector<std::string>* tokens)
        : statuses_(std::move(statuses)), endless_(endless), tokens_(tokens)
    {
    }
    bool Start(int slot, const std::string& token) override
    {
        tokens_->push_back(token);
        const auto it = statuses_.find(token.substr(1));
        codes_[slot] = it == statuses_.end() ? 0 : it->second;
        running_[slot] = endless_;
        return true;
    }
    bool Running(int slot) const override { return running_[slot]; }
    int ExitCode(int slot) const override { return codes_[slot]; }
    void CutOff(int slot) override { running_[slot] = false; }

private:
    std::map<std::string, int> statuses_;
    bool endless_;
    std::vector<std::string>* tokens_;
    bool running_[10] = {};
    int codes_[10] = {};
};

class CheckDialogTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        SeedProject("Checked", {{"http://a.example/", "", ' ', "A"},
                                {"http://b.example/", "", ' ', "B"},
                                {"http://c.example/", "", ' ', "C"}});
        OpenWindow();
    }
    void UseLauncher(bool endless)
    {
        window->setCheckLauncherFactory([this, endless] {
            return std::make_unique<FakeLauncher>(
                std::map<std::string, int>{{"http://a.example/", 200},
                                           {"http://b.example/", 404},
                                           {"http://c.example/", 301}},
                endless, &tokens);
        });
    }
    // Opens the dialog, lets act run in it, then closes it.
    void WithDialog(std::function<void(CheckUrlsDialog*)> act)
    {
        WhenDialogShows<CheckUrlsDialog>([act](CheckUrlsDialog* dialog) {
            act(dialog);
            dialog->reject();
        });
        window->actions().checkUrl->trigger();
    }
    std::vector<std::string> tokens;
};

TEST_F(CheckDialogTest, ChecksEveryUrlAndRecordsTheStatuses)
{
    UseLauncher(false);
    WithDialog([this](CheckUrlsDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Check URLs:");
        EXPECT_EQ(dialog->processedLabel()->text(), "0 of 0");
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->startButton()->isEnabled(), 5000);
        EXPECT_EQ(dialog->processedLabel()->text(), "3 of 3");
        EXPECT_EQ(dialog->failedLabel()->text(), "2");
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Information...");
    EXPECT_EQ(shown[0].text, "Checking completed!     ");
    EXPECT_EQ(Column(window->urlView(), 3),
              (QStringList{"200 Ok", "404 Not Found", "301 Moved Permanently"}));
    EXPECT_EQ(tokens, (std::vector<std::string>{"0http://a.example/", "0http://b.example/",
                                                "0http://c.example/"}));
    const RecordList stored = StoredUrls();
    EXPECT_EQ(TrimText(UrlFieldView(stored[1], UrlField::StatusCode)), "404");
    EXPECT_FALSE(TrimText(UrlFieldView(stored[1], UrlField::Updated)).empty());
    EXPECT_EQ(UrlFieldView(stored[1], UrlField::Flags)[1], '0');
}

TEST_F(CheckDialogTest, CheckSelectedTouchesOnlyTheSelectedRow)
{
    UseLauncher(false);
    window->SelectUrlRow(1);
    WithDialog([](CheckUrlsDialog* dialog) {
        dialog->checkSelectedBox()->setChecked(true);
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->startButton()->isEnabled(), 5000);
        EXPECT_EQ(dialog->processedLabel()->text(), "1 of 1");
    });
    EXPECT_EQ(Column(window->urlView(), 3), (QStringList{"", "404 Not Found", ""}));
}

TEST_F(CheckDialogTest, StopCutsTheRunAndBlanksTheRowsBeingChecked)
{
    UseLauncher(true); // no check ever ends by itself
    WithDialog([this](CheckUrlsDialog* dialog) {
        QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(tokens.size(), std::size_t(3), 5000);
        EXPECT_EQ(Cell(window->urlView(), 0, 3), "Checking...");
        // Closing is refused while it runs.
        dialog->reject();
        EXPECT_TRUE(dialog->isVisible());
        QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->startButton()->isEnabled(), 5000);
    });
    EXPECT_TRUE(shown.empty()); // no "completed" after Stop
    EXPECT_EQ(Column(window->urlView(), 3), (QStringList{"", "", ""}));
    for (const std::string& record : StoredUrls())
        EXPECT_EQ(TrimText(UrlFieldView(record, UrlField::StatusCode)), "");
}

} // namespace
