// Drives the real main window offscreen as a user would: through its actions,
// its dialogs and its list headers, then reads what the window shows and what
// it stored.
#include "mainwindow/MainWindowFixture.h"

using namespace orvex;
using namespace orvex::testwindow;
namespace fs = std::filesystem;

namespace {

TEST_F(MainWindowTest, EmptyWorkspaceStartsWithNothingSelected)
{
    OpenWindow();
    EXPECT_EQ(window->windowTitle(), "Tolvane Orvex 1.3");
    EXPECT_EQ(window->statusPanel(0)->text(), "Projects: 0");
    EXPECT_EQ(window->statusPanel(1)->text(), "URLs: 0");
    EXPECT_TRUE(fs::exists(root / "Projects" / "projects.dat"));
    EXPECT_TRUE(fs::is_directory(root / "TMP"));
    window->RefreshMenuStates();
    EXPECT_TRUE(window->actions().newProject->isEnabled());
    EXPECT_FALSE(window->actions().renameProject->isEnabled());
    EXPECT_FALSE(window->actions().deleteProject->isEnabled());
    EXPECT_FALSE(window->actions().newUrl->isEnabled());
    // Commands of later work are present but cannot be used.
    EXPECT_FALSE(window->actions().updateProject->isEnabled());
    EXPECT_FALSE(window->actions().checkUrl->isEnabled());
    EXPECT_TRUE(shown.empty());
}

TEST_F(MainWindowTest, NewProjectIsCreatedAndOpened)
{
    OpenWindow();
    WhenDialogShows<ProjectDialog>([](ProjectDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "New Project:");
        EXPECT_EQ(dialog->titleEdit()->text(), "Project");
        dialog->titleEdit()->setText("Alpha");
        dialog->descriptionEdit()->setPlainText("First one");
        QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    });
    window->actions().newProject->trigger();
    ASSERT_EQ(window->projectView()->model()->rowCount(), 1);
    EXPECT_EQ(Cell(window->projectView(), 0, 0), "Alpha");
    EXPECT_EQ(Cell(window->projectView(), 0, 3), "First one");
    EXPECT_EQ(window->statusPanel(0)->text(), "Projects: 1");
    EXPECT_EQ(window->windowTitle(), "Tolvane Orvex 1.3 - Alpha");
    EXPECT_TRUE(window->statusPanel(2)->text().endsWith("Projects/00000000"));
    EXPECT_TRUE(window->actions().newUrl->isEnabled());
    const RecordList stored = StoredProjects();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(TrimText(ProjectFieldView(stored[0], ProjectField::Title)), "Alpha");
    EXPECT_TRUE(fs::exists(root / "Projects" / "00000000" / "urls.dat"));
}

TEST_F(MainWindowTest, NewProjectWithAnExistingTitleIsRefused)
{
    SeedProject("Alpha");
    OpenWindow();
    WhenDialogShows<ProjectDialog>([](ProjectDialog* dialog) {
        dialog->titleEdit()->setText("Alpha");
        dialog->titleEdit()->setFocus();
        QTest::keyClick(dialog->titleEdit(), Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible()); // Enter did not close it
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    });
    window->actions().newProject->trigger();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().caption, "Error...");
    EXPECT_EQ(shown.front().text, "Project already exists!     ");
    EXPECT_EQ(StoredProjects().size(), 1u);
}

TEST_F(MainWindowTest, RenameKeepsThePlaceAndStoresTheTexts)
{
    SeedProject("apple");
    SeedProject("cherry");
    OpenWindow();
    ClickHeader(window->projectView(), 0); // by Title
    window->SelectProjectRow(1);          // cherry
    WhenDialogShows<ProjectDialog>([](ProjectDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Rename Project:");
        EXPECT_EQ(dialog->titleEdit()->text(), "cherry");
        EXPECT_EQ(dialog->descriptionEdit()->toPlainText(), "about cherry");
        dialog->titleEdit()->setText("aardvark");
        QTest::keyClick(dialog->titleEdit(), Qt::Key_Return);
    });
    window->actions().renameProject->trigger();
    // Not re-sorted: the renamed project stays second until the next sort.
    EXPECT_EQ(Column(window->projectView(), 0), (QStringList{"apple", "aardvark"}));
    EXPECT_EQ(window->windowTitle(), "Tolvane Orvex 1.3 - aardvark");
    const RecordList stored = StoredProjects();
    EXPECT_EQ(TrimText(ProjectFieldView(stored[1], ProjectField::Title)), "aardvark");
    EXPECT_EQ(TrimText(ProjectFieldView(stored[1], ProjectField::Description)), "about cherry");
}

TEST_F(MainWindowTest, DeleteProjectsAsksAndRemovesExactlyTheSelected)
{
    SeedProject("one");
    SeedProject("two");
    SeedProject("three");
    OpenWindow();
    window->SelectProjectRow(0);
    ClickRow(window->projectView(), 2, Qt::ControlModifier);

    answers = {false};
    window->actions().deleteProject->trigger();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Confirmation");
    EXPECT_EQ(shown[0].text, "Do you want to delete Projects (2)?     ");
    EXPECT_EQ(StoredProjects().size(), 3u);

    answers = {true};
    window->actions().deleteProject->trigger();
    EXPECT_EQ(Column(window->projectView(), 0), QStringList{"two"});
    EXPECT_EQ(window->statusPanel(0)->text(), "Projects: 1");
    EXPECT_FALSE(fs::exists(root / "Projects" / "00000000"));
    EXPECT_TRUE(fs::exists(root / "Projects" / "00000001"));
    EXPECT_FALSE(fs::exists(root / "Projects" / "00000002"));
    EXPECT_EQ(StoredProjects().size(), 1u);
    EXPECT_EQ(window->windowTitle(), "Tolvane Orvex 1.3 - two");
}

TEST_F(MainWindowTest, ProjectHeaderClicksSortAndFlip)
{
    for (const char* title : {"cherry", "apple", "Banana", "\xC3\xA9" "clair"})
        SeedProject(title);
    OpenWindow();
    ClickHeader(window->projectView(), 0);
    EXPECT_EQ(Column(window->projectView(), 0),
              (QStringList{QString::fromUtf8("\xC3\xA9" "clair"), "apple", "Banana", "cherry"}));
    EXPECT_EQ(window->projectView()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    ClickHeader(window->projectView(), 0);
    EXPECT_EQ(Column(window->projectView(), 0).front(), "cherry");
    EXPECT_EQ(window->projectView()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

class UrlListTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        SeedProject("Sites", {{"http://b.example/", "200", '7', "Bee"},
                              {"http://a.example/", "404", '0', "Ay"},
                              {"http://c.example/", "", ' ', ""}});
        OpenWindow();
    }
    QTreeView* urls() const { return window->urlView(); }
};

TEST_F(UrlListTest, RowsShowTextsTintsAndCounts)
{
    ASSERT_EQ(urls()->model()->rowCount(), 3);
    EXPECT_EQ(window->statusPanel(1)->text(), "URLs: 3");
    EXPECT_EQ(Column(urls(), 0),
              (QStringList{"http://b.example/", "http://a.example/", "http://c.example/"}));
    EXPECT_EQ(Column(urls(), 1), (QStringList{"Bee", "Ay", ""}));
    EXPECT_EQ(Column(urls(), 3), (QStringList{"200 Ok", "404 Not Found", ""}));
    const QAbstractItemModel* model = urls()->model();
    EXPECT_FALSE(model->index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(model->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(250, 220, 220));
    EXPECT_FALSE(model->index(2, 0).data(Qt::BackgroundRole).isValid());
    // The state icons of the three rows differ.
    const QImage answered = model->index(0, 0).data(Qt::DecorationRole).value<QPixmap>().toImage();
    const QImage failed = model->index(1, 0).data(Qt::DecorationRole).value<QPixmap>().toImage();
    const QImage none = model->index(2, 0).data(Qt::DecorationRole).value<QPixmap>().toImage();
    EXPECT_FALSE(answered.isNull());
    EXPECT_NE(answered, failed);
    EXPECT_NE(failed, none);
    // The first row is selected and shown in the detail pane and the title line.
    EXPECT_EQ(window->CurrentUrlRow(), 0);
    EXPECT_EQ(window->titleLine()->text(), "Bee");
}

TEST_F(UrlListTest, NewUrlIsAddedSelectedAndStored)
{
    WhenDialogShows<UrlInputDialog>([](UrlInputDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "New URL:");
        EXPECT_EQ(dialog->edit()->text(), "http://");
        dialog->edit()->setText("  http://d.example/page  ");
        QTest::keyClick(dialog->edit(), Qt::Key_Return);
    });
    window->actions().newUrl->trigger();
    ASSERT_EQ(urls()->model()->rowCount(), 4);
    EXPECT_EQ(Cell(urls(), window->CurrentUrlRow(), 0), "http://d.example/page");
    const RecordList stored = StoredUrls();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(UrlFieldView(stored[3], UrlField::Url), "http://d.example/page");
}

TEST_F(UrlListTest, EditRefusesAnAddressTheProjectHolds)
{
    window->SelectUrlRow(0);
    WhenDialogShows<UrlInputDialog>([](UrlInputDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Edit URL:");
        EXPECT_EQ(dialog->edit()->text(), "http://b.example/");
        dialog->edit()->setText("http://a.example/");
        QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    });
    window->actions().editUrl->trigger();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "URL already exists!     ");
    EXPECT_EQ(Cell(urls(), 0, 0), "http://b.example/");
    EXPECT_EQ(UrlFieldView(StoredUrls()[0], UrlField::Url), "http://b.example/");
}

TEST_F(UrlListTest, EditToANewAddressClearsTheStatus)
{
    window->SelectUrlRow(1); // the 404 row
    WhenDialogShows<UrlInputDialog>([](UrlInputDialog* dialog) {
        dialog->edit()->setText("HTTP://A.example/");
        QTest::keyClick(dialog->edit(), Qt::Key_Return);
    });
    window->actions().editUrl->trigger();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(Cell(urls(), 1, 0), "HTTP://A.example/");
    EXPECT_EQ(Cell(urls(), 1, 1), "");
    EXPECT_EQ(Cell(urls(), 1, 3), "");
    EXPECT_FALSE(urls()->model()->index(1, 0).data(Qt::BackgroundRole).isValid());
    const RecordList stored = StoredUrls();
    EXPECT_EQ(UrlFieldView(stored[1], UrlField::Url), "HTTP://A.example/");
    EXPECT_EQ(TrimText(UrlFieldView(stored[1], UrlField::StatusCode)), "");
    EXPECT_EQ(UrlFieldView(stored[1], UrlField::Flags)[4], ' ');
}

TEST_F(UrlListTest, DeleteSelectedAsksThenRemovesRecordsAndFiles)
{
    const fs::path folder = root / "Projects" / "00000000";
    const std::string id(UrlFieldView(StoredUrls()[0], UrlField::Id));
    std::ofstream(folder / "Data" / (id + ".txt")) << "text";
    window->SelectUrlRow(0);
    ClickRow(urls(), 2, Qt::ControlModifier);

    answers = {false};
    window->actions().deleteUrls->trigger();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Confirmation:");
    EXPECT_EQ(shown[0].text, "Do you want to delete selected items (2)?     ");
    EXPECT_EQ(urls()->model()->rowCount(), 3);

    answers = {true};
    window->actions().deleteUrls->trigger();
    EXPECT_EQ(Column(urls(), 0), QStringList{"http://a.example/"});
    EXPECT_EQ(window->statusPanel(1)->text(), "URLs: 1");
    EXPECT_EQ(StoredUrls().size(), 1u);
    EXPECT_FALSE(fs::exists(folder / "Data" / (id + ".txt")));
    EXPECT_EQ(window->CurrentUrlRow(), 0);
}

TEST_F(UrlListTest, DeleteFailedRemovesOnlyTheFailedRow)
{
    answers = {true};
    window->actions().deleteFailed->trigger();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Do you want to delete items (1)?     ");
    EXPECT_EQ(Column(urls(), 0), (QStringList{"http://b.example/", "http://c.example/"}));
    EXPECT_EQ(StoredUrls().size(), 2u);
    shown.clear();
    window->actions().deleteFailed->trigger(); // nothing failed any more: no question
    EXPECT_TRUE(shown.empty());
}

TEST_F(UrlListTest, BulkSelectionLeavesTheDetailPaneAlone)
{
    window->actions().selectAll->trigger();
    EXPECT_EQ(window->SelectedUrlRows().size(), 3);
    EXPECT_EQ(window->titleLine()->text(), "Bee");
    window->actions().invertSelection->trigger();
    EXPECT_TRUE(window->SelectedUrlRows().isEmpty());
    EXPECT_FALSE(window->actions().deleteUrls->isEnabled());
    window->actions().invertSelection->trigger();
    window->actions().deselectAll->trigger();
    EXPECT_TRUE(window->SelectedUrlRows().isEmpty());
    EXPECT_EQ(window->titleLine()->text(), "Bee");
}

TEST_F(UrlListTest, HeaderClicksSortAndKeepTheSelection)
{
    window->SelectUrlRow(2); // c.example
    ClickHeader(urls(), 0);  // URL ascending
    EXPECT_EQ(Column(urls(), 0),
              (QStringList{"http://a.example/", "http://b.example/", "http://c.example/"}));
    EXPECT_EQ(Cell(urls(), window->CurrentUrlRow(), 0), "http://c.example/");
    ClickHeader(urls(), 0); // URL descending
    EXPECT_EQ(Column(urls(), 0).front(), "http://c.example/");
    ClickHeader(urls(), 1); // Title ascending: blank first
    EXPECT_EQ(Column(urls(), 1), (QStringList{"", "Ay", "Bee"}));
    EXPECT_EQ(urls()->header()->sortIndicatorSection(), 1);
    EXPECT_EQ(urls()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
}

TEST_F(MainWindowTest, LayoutAndStateSurviveARestart)
{
    SeedProject("first", {{"http://a.example/", "200", '7', "A"}});
    const std::string second = SeedProject("second", {{"http://b.example/", "", ' ', ""}});
    OpenWindow();
    window->resize(700, 500); // fits the offscreen screen
    window->move(40, 30);
    QTest::qWait(50);
    const QPoint position = window->pos();
    const int projectPaneHeight = window->projectView()->parentWidget()->height();
    const int detailWidth = window->detailPane()->width();
    window->SelectProjectRow(1);
    ClickHeader(window->urlView(), 0);
    ClickHeader(window->urlView(), 0); // descending
    window->urlView()->header()->resizeSection(1, 177);
    window->actions().reviewPage->trigger();
    CloseWindow();

    IniFile ini;
    ASSERT_TRUE(ini.Load(root / "orx.ini").ok());
    EXPECT_EQ(ini.value("Window", "Width"), "700");
    EXPECT_EQ(ini.value("Window", "Height"), "500");
    EXPECT_EQ(ini.value("Window", "ShowMode"), "2");
    EXPECT_EQ(ini.value("Window", "SortColURLs"), "URL");
    EXPECT_EQ(ini.value("Window", "SortPlusURLs"), "0");
    EXPECT_EQ(ini.value("Window", "Col2URLs"), "177");
    EXPECT_EQ(ini.value("Program", "Preview"), second);
    EXPECT_TRUE(ini.value("Window", "SH").has_value());
    EXPECT_TRUE(ini.value("Window", "WU").has_value());
    EXPECT_TRUE(fs::is_empty(root / "TMP"));

    OpenWindow();
    EXPECT_EQ(window->size(), QSize(700, 500));
    EXPECT_EQ(window->pos(), position);
    EXPECT_EQ(window->projectView()->parentWidget()->height(), projectPaneHeight);

    EXPECT_EQ(window->windowTitle(), "Tolvane Orvex 1.3 - second");
    EXPECT_TRUE(window->actions().reviewPage->isChecked());
    EXPECT_EQ(window->urlView()->header()->sectionSize(1), 177);
    EXPECT_EQ(window->urlSort().caption, "URL");
    EXPECT_FALSE(window->urlSort().ascending);
    // The detail pane takes its width when its page shows.
    window->actions().urlManagerPage->trigger();
    QTest::qWait(20);
    EXPECT_EQ(window->detailPane()->width(), detailWidth);
}

TEST_F(MainWindowTest, DamagedUrlListIsSetAsideAndReportedOnce)
{
    SeedProject("Broken", {{"http://a.example/", "", ' ', ""}});
    const fs::path urls = root / "Projects" / "00000000" / "urls.dat";
    std::ofstream(urls, std::ios::binary | std::ios::trunc) << "not a zlib stream";
    OpenWindow();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Error...");
    EXPECT_TRUE(shown[0].text.contains("set aside"));
    EXPECT_EQ(window->urlView()->model()->rowCount(), 0);
    bool setAside = false;
    for (const auto& entry : fs::directory_iterator(urls.parent_path()))
        setAside |= entry.path().filename().string().rfind("urls.dat.damaged-", 0) == 0;
    EXPECT_TRUE(setAside);
}

TEST_F(MainWindowTest, CloseIsRefusedWhileTheBusyLockIsTaken)
{
    OpenWindow();
    window->TakeBusyLock();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->actions().fileMenu->menuAction()->isEnabled());
    window->ReleaseBusyLock();
    EXPECT_TRUE(window->close());
}

TEST_F(UrlListTest, ClickOnEmptySpaceKeepsTheSelection)
{
    ClickRow(urls(), 1);
    ASSERT_EQ(window->CurrentUrlRow(), 1);
    const QPoint below(20, urls()->viewport()->height() - 5);
    QTest::mouseClick(urls()->viewport(), Qt::LeftButton, {}, below);
    QTest::qWait(20); // the selection comes back once the click is handled
    EXPECT_EQ(window->CurrentUrlRow(), 1);
    EXPECT_EQ(window->titleLine()->text(), "Ay");
}

TEST_F(UrlListTest, DeleteKeyActsOnTheListThatHasTheFocus)
{
    window->projectView()->setFocus();
    answers = {false};
    QTest::keyClick(window->projectView(), Qt::Key_Delete);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Do you want to delete Projects (1)?     ");
    urls()->setFocus();
    answers = {false};
    QTest::keyClick(urls(), Qt::Key_Delete);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "Do you want to delete selected items (1)?     ");
}

TEST(ExceptionDisplay, ShownOnlyWithTheMarker)
{
    std::vector<ShownMessage> shown;
    ScopedMessageAnswerer answerer([&shown](const ShownMessage& message) {
        shown.push_back(message);
        return true;
    });
    OrvexApplication::ReportException(false, "quiet");
    EXPECT_TRUE(shown.empty());
    OrvexApplication::ReportException(true, "Access violation");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, MessageKind::Plain);
    EXPECT_EQ(shown[0].text, "Access violation");
}

TEST_F(MainWindowTest, HelpWithoutTheGuideSaysSo)
{
    OpenWindow();
    window->actions().help->trigger();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Error...");
    EXPECT_EQ(shown[0].text, "Help file not found!");
}

} // namespace
