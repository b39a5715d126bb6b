// The Review menu, the review pane and the page switch of the real window.
#include "browser/ReviewPane.h"
#include "mainwindow/MainWindowFixture.h"

#include <QProgressBar>
#include <QStackedWidget>
#include <QToolBar>
#include <QWebEngineView>

using namespace orvex;
using namespace orvex::testwindow;
namespace fs = std::filesystem;

namespace {

class ReviewCommandsTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        SeedProject("Reviewed", {{"http://a.example/", "200", '7', "First page"},
                                 {"http://b.example/", "404", '0', "Second page"}});
        OpenWindow();
        folder = root / "Projects" / "00000000";
    }
    QString Shown() const { return window->reviewView()->url().toLocalFile(); }
    QString Page(int style) const
    {
        return QString::fromStdString((folder / ("preview" + std::to_string(style) + ".html")).string());
    }
    std::string ReadPage(int style) const
    {
        std::ifstream in(Page(style).toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path folder;
};

TEST_F(ReviewCommandsTest, GenerateWritesThreePagesAndShowsTheCurrentStyle)
{
    window->actions().generateReview->trigger();
    for (int style = 1; style <= 3; ++style)
        EXPECT_TRUE(fs::exists(Page(style).toStdString())) << style;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, MessageKind::Done);
    EXPECT_EQ(shown[0].caption, "");
    EXPECT_EQ(shown[0].text, "Ok!      ");
    EXPECT_FALSE(window->busy());
    EXPECT_FALSE(window->progressBar()->isVisible());
    EXPECT_EQ(Shown(), Page(1));
    EXPECT_TRUE(QString::fromStdString(ReadPage(1)).contains("First page"));
}

TEST_F(ReviewCommandsTest, StylesShowTheirPagesAndReloadWritesNothing)
{
    window->actions().generateReview->trigger();
    window->actions().styleGallery->trigger();
    EXPECT_EQ(window->settings().previewStyle, 2);
    EXPECT_EQ(Shown(), Page(2));
    window->actions().styleGrayGranite->trigger();
    EXPECT_EQ(Shown(), Page(3));

    // A page that is gone leaves the pane as it was.
    fs::remove(Page(1).toStdString());
    window->actions().styleSimple->trigger();
    EXPECT_EQ(window->settings().previewStyle, 1);
    EXPECT_EQ(Shown(), Page(3));
    window->actions().reloadReview->trigger();
    EXPECT_FALSE(fs::exists(Page(1).toStdString()));
}

TEST_F(ReviewCommandsTest, ReviewMenuNeedsAProjectWithUrls)
{
    window->RefreshMenuStates();
    EXPECT_TRUE(window->actions().generateReview->isEnabled());
    EXPECT_TRUE(window->actions().styleGallery->isEnabled());
    window->actions().selectAll->trigger();
    answers = {true};
    window->actions().deleteUrls->trigger();
    window->RefreshMenuStates();
    EXPECT_FALSE(window->actions().generateReview->isEnabled());
    EXPECT_FALSE(window->actions().reloadReview->isEnabled());
}

TEST_F(ReviewCommandsTest, PageSwitchAndProjectToggle)
{
    auto* pages = window->findChild<QStackedWidget*>();
    ASSERT_NE(pages, nullptr);
    window->actions().reviewPage->trigger();
    EXPECT_EQ(pages->currentWidget(), window->reviewPane());
    EXPECT_EQ(window->settings().showMode, 2);
    window->actions().urlManagerPage->trigger();
    EXPECT_NE(pages->currentWidget(), window->reviewPane());
    EXPECT_EQ(window->settings().showMode, 1);

    QWidget* projects = window->projectView()->parentWidget();
    EXPECT_TRUE(projects->isVisible());
    window->actions().showHideProjects->trigger();
    EXPECT_FALSE(projects->isVisible());
    window->actions().showHideProjects->trigger();
    EXPECT_TRUE(projects->isVisible());
}

TEST_F(ReviewCommandsTest, BackAndForwardStartDisabled)
{
    EXPECT_FALSE(window->reviewPane()->backAction()->isEnabled());
    EXPECT_FALSE(window->reviewPane()->forwardAction()->isEnabled());
    QStringList hints;
    for (QAction* action : window->reviewPane()->toolBar()->actions())
        if (!action->isSeparator())
            hints << action->text();
    EXPECT_EQ(hints, (QStringList{"Back", "Forward", "Stop", "Refresh", "Print", "Save as..."}));
}

TEST(ReviewPaneProgress, ShownOnlyForRealPages)
{
    struct Case
    {
        const char* address;
        bool shows;
    };
    const Case cases[] = {{"about:blank", false}, {"", false},          {"res://ieframe.dll/x", false},
                          {"ABOUT:BLANK", false}, {"file:///tmp/preview1.html", true},
                          {"http://127.0.0.1/", true}};
    for (const Case& c : cases)
        EXPECT_EQ(ReviewPane::ShowsProgressFor(QUrl(c.address)), c.shows) << c.address;
}

} // namespace
