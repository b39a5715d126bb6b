#include "mainwindow/TOrvex.h"

#include "browser/ReviewPane.h"
#include "check/ProcessCheckLauncher.h"
#include "check/dialog/CheckUrlsDialog.h"
#include "mainwindow/AboutBox.h"
#include "mainwindow/Artwork.h"
#include "mainwindow/DetailPane.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/QtText.h"
#include "mainwindow/ProjectCommands.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/ReviewCommands.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/UrlCommands.h"
#include "mainwindow/UrlListModel.h"
#include "mainwindow/logic/CommandStates.h"
#include "review/ReviewGenerator.h"
#include "update/dialog/TUpdatePreviewFrm.h"
#include "workspace/RecordLayout.h"
#include "workspace/SortKeys.h"
#include "workspace/UrlRows.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSpinBox>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace orvex {

namespace fs = std::filesystem;

namespace {

// Commands that later work brings stay disabled whatever the selection says.
void SetEnabled(QAction* action, bool enabled)
{
    action->setEnabled(enabled && !action->property("orvexLater").toBool());
}

} // namespace

TOrvex::TOrvex(fs::path programFolder, QWidget* parent)
    : QMainWindow(parent), programFolder_(std::move(programFolder)),
      workerFolder_(QCoreApplication::applicationDirPath().toStdString()),
      workspace_(std::make_unique<Workspace>(programFolder_))
{
    setWindowTitle(kProductTitle);
    setWindowIcon(AppIcon());
    setMinimumSize(556, 240);
    resize(791, 552);
    actions_ = MainActions::Create(this);
    BuildLayout();
    projectCommands_ = new ProjectCommands(*this);
    urlCommands_ = new UrlCommands(*this);
    reviewCommands_ = new ReviewCommands(*this);
    BuildUpdateDialog();
    ConnectCommands();
}

TOrvex::~TOrvex()
{
    Shutdown();
    // It drives the URL list and the records: it goes before they do.
    delete updateDialog_;
    updateDialog_ = nullptr;
}

void TOrvex::ConnectCommands()
{
    const MainActions& a = actions_;
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    connect(a.help, &QAction::triggered, this, &TOrvex::ShowHelp);
    connect(a.about, &QAction::triggered, this, &TOrvex::ShowAbout);
    connect(a.checkUrl, &QAction::triggered, this, &TOrvex::CheckUrls);
    connect(a.checkUrlMenu, &QAction::triggered, this, &TOrvex::CheckUrls);
    connect(a.updateProject, &QAction::triggered, this, &TOrvex::UpdateProject);
    connect(a.urlManagerPage, &QAction::triggered, this, [this] { ShowPage(1); });
    connect(a.reviewPage, &QAction::triggered, this, [this] { ShowPage(2); });
    connect(a.showHideProjects, &QAction::toggled, projectPane_, &QWidget::setVisible);
    for (int i = 0; i < viewButtons_.size(); ++i) {
        connect(viewButtons_[i], &QAction::triggered, this,
                [this, i] { detailPane_->showView(static_cast<DetailPane::View>(i)); });
    }
    for (QMenu* menu : a.mainMenus()) {
        connect(menu, &QMenu::aboutToShow, this, &TOrvex::RefreshMenuStates);
        connect(menu, &QMenu::aboutToHide, this, &TOrvex::UpdateUrlButtons);
    }
    connect(a.urlContextMenu, &QMenu::aboutToShow, this, &TOrvex::RefreshMenuStates);
    connect(a.projectContextMenu, &QMenu::aboutToShow, this, &TOrvex::RefreshMenuStates);
    connect(urlView_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { actions_.urlContextMenu->popup(urlView_->viewport()->mapToGlobal(at)); });
    connect(projectView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        actions_.projectContextMenu->popup(projectView_->viewport()->mapToGlobal(at));
    });
    connect(projectView_->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { HeaderClicked(true, section); });
    connect(urlView_->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { HeaderClicked(false, section); });
    connect(projectView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.isEmpty())
                    OpenProject(selected.indexes().front().row());
            });
    connect(urlView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                UpdateUrlButtons();
                if (!selected.isEmpty())
                    FillDetailPane(selected.indexes().front().row());
            });
    projectCommands_->Connect();
    urlCommands_->Connect();
    reviewCommands_->Connect();
}

bool TOrvex::Start()
{
    const Status opened = workspace_->Open();
    if (!opened) {
        ShowMessage(this, MessageKind::Error, ToQString(opened.message()));
        ReportDamage();
        return false;
    }
    ReportDamage();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    LoadSettingsFile(workspace_->settingsFile(), settings_, screenSize.width(),
                     screenSize.height());
    projectSort_ = {settings_.sortColPreview, settings_.sortPlusPreview};
    urlSort_ = {settings_.sortColURLs, settings_.sortPlusURLs};
    SetupColumns();
    ApplyLayout();
    BuildProjectRows();
    RefreshProjectList("", ToQString(projectSort_.caption), false);
    started_ = true;
    QTimer::singleShot(100, this, &TOrvex::AppLoaded);
    return true;
}

void TOrvex::AppLoaded()
{
    if (closing_)
        return;
    updateDialog_->threadSpin()->setValue(std::clamp(settings_.threadCount, 1, 10));
    if (!projectRows_.empty()) {
        int row = 0;
        for (std::size_t i = 0; i < projectRows_.size(); ++i) {
            if (TrimView(ProjectFieldView(projectRows_[i], ProjectField::Id)) == settings_.preview)
                row = static_cast<int>(i);
        }
        SelectProjectRow(row);
    }
    UpdateUrlButtons();
}

void TOrvex::ShowPage(int mode)
{
    settings_.showMode = mode;
    actions_.urlManagerPage->setChecked(mode == 1);
    actions_.reviewPage->setChecked(mode == 2);
    pages_->setCurrentWidget(mode == 2 ? reviewPage_ : urlPage_);
    if (mode == 2)
        ShowReview();
    else
        QTimer::singleShot(0, this, &TOrvex::ApplyDetailWidth);
}

void TOrvex::ReportDamage()
{
    for (const DamageReport& report : workspace_->TakeDamageReports())
        ShowMessage(this, MessageKind::Error, ToQString(report.Message()));
}

// --- Detail pane and review pane ---

void TOrvex::ClearDetailPane()
{
    detailPane_->clear();
    BlankReviewPane();
}

void TOrvex::FillDetailPane(int row)
{
    if (closing_ || urlRows_.empty() || !urlView_->selectionModel()->hasSelection() ||
        !paneGuard_ || row == lastUrlRow)
        return;
    paneGuard_ = false;
    lastUrlRow = row;
    ClearDetailPane();
    const int first = CurrentUrlRow();
    if (first >= 0 && static_cast<std::size_t>(first) < urlRows_.size()) {
        detailPane_->fill(urlRows_[static_cast<std::size_t>(first)], projectFolder_);
        titleLine_->setText(detailPane_->title());
    }
    if (settings_.showMode == 1)
        ShowReview();
    paneGuard_ = true;
}

QWebEngineView* TOrvex::reviewView() const { return reviewPage_->view(); }

void TOrvex::BlankReviewPane() { reviewPage_->Blank(); }

void TOrvex::ShowReview()
{
    // A style whose page was never written shows nothing new.
    const fs::path page = ReviewPagePath(projectFolder_, settings_.previewStyle);
    std::error_code ec;
    if (!projectFolder_.empty() && !page.empty() && fs::exists(page, ec))
        reviewPage_->ShowFile(ToQString(page.string()));
}

// --- Enabled states and the busy lock ---

SelectionFacts TOrvex::CurrentFacts() const
{
    SelectionFacts facts;
    facts.projectSelected = urls_ != nullptr && CurrentProjectRow() >= 0;
    facts.projectRows = projectRows_.size();
    facts.urlRows = urlRows_.size();
    facts.urlSelected = urlView_->selectionModel()->hasSelection();
    std::error_code ec;
    facts.clipboardHasUrls = fs::exists(workspace_->clipDir() / "clip.dat", ec);
    return facts;
}

void TOrvex::UpdateUrlButtons()
{
    const SelectionFacts facts = CurrentFacts();
    const UrlToolButtons b = UrlToolButtonStates(facts);
    const MainActions& a = actions_;
    SetEnabled(a.search, b.search);
    SetEnabled(a.updateProject, b.updateProject);
    SetEnabled(a.newUrl, b.newUrl && enabled_);
    SetEnabled(a.cut, b.cut);
    SetEnabled(a.copy, b.copy);
    SetEnabled(a.paste, b.paste);
    SetEnabled(a.deleteUrls, b.deleteSelected && enabled_);
    SetEnabled(a.deleteFailed, b.deleteFailed && enabled_);
    SetEnabled(a.selectAll, b.selectAll);
    SetEnabled(a.deselectAll, b.deselectAll);
    SetEnabled(a.invertSelection, b.invertSelection);
    SetEnabled(a.checkUrl, b.checkUrl);
    const UrlMenuItems m = UrlMenuStates(facts);
    SetEnabled(a.editUrl, m.edit && enabled_);
    SetEnabled(a.browseUrl, m.openUrl);
    SetEnabled(a.renameProject, facts.projectRows > 0 && CurrentProjectRow() >= 0);
    SetEnabled(a.deleteProject, facts.projectRows > 0 && CurrentProjectRow() >= 0);
}

void TOrvex::RefreshMenuStates()
{
    const SelectionFacts facts = CurrentFacts();
    const MainMenuItems m = MainMenuStates(facts);
    const MainActions& a = actions_;
    SetEnabled(a.newProject, m.newProject);
    SetEnabled(a.renameProject, m.renameProject);
    SetEnabled(a.deleteProject, m.deleteProject);
    SetEnabled(a.reloadReview, m.reloadReview);
    SetEnabled(a.generateReview, m.generateReview);
    for (QAction* style : a.styles->actions())
        SetEnabled(style, m.style);
    a.styles->actions().at(std::clamp(settings_.previewStyle, 1, 3) - 1)->setChecked(true);
    SetEnabled(a.browseUrl, m.url.openUrl);
    SetEnabled(a.newUrl, m.url.newUrl);
    SetEnabled(a.editUrl, m.url.edit);
    SetEnabled(a.deleteUrls, m.url.remove);
    SetEnabled(a.cut, m.url.cut);
    SetEnabled(a.copy, m.url.copy);
    SetEnabled(a.paste, m.url.paste);
    a.importMenu->setEnabled(m.url.import);
    for (QAction* item : {a.screenshotOpen, a.screenshotCopy, a.screenshotSave, a.thumbnail})
        SetEnabled(item, m.screenshotCommands);
    SetEnabled(a.checkUrlMenu, m.checkUrl);
    SetEnabled(a.updateProject, m.updateProject);
    SetEnabled(a.search, m.search);
}

void TOrvex::TakeBusyLock()
{
    enabled_ = false;
    for (QMenu* menu : actions_.mainMenus())
        menu->menuAction()->setEnabled(false);
    centralWidget()->setEnabled(false);
    actions_.topToolBar->setEnabled(false);
}

void TOrvex::ReleaseBusyLock()
{
    enabled_ = true;
    for (QMenu* menu : actions_.mainMenus())
        menu->menuAction()->setEnabled(true);
    centralWidget()->setEnabled(true);
    actions_.topToolBar->setEnabled(true);
}

// --- Help and About ---

void TOrvex::ShowHelp()
{
    const fs::path help = programFolder_ / "orxhelp.html";
    std::error_code ec;
    if (fs::exists(help, ec))
        QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(help.string())));
    else
        ShowMessage(this, MessageKind::Error, "Help file not found!");
}

void TOrvex::CheckUrls()
{
    if (checkOpen_ || !urls_ || busy())
        return;
    checkOpen_ = true;
    std::unique_ptr<CheckLauncher> launcher =
        checkLaunchers_ ? checkLaunchers_()
                        : std::make_unique<ProcessCheckLauncher>(
                              workerFolder_ / "urlstat",
                              ProcessCheckLauncher::CheckerArguments(workspace_->settingsFile()));
    CheckUrlsDialog dialog(*this, std::move(launcher));
    dialog.exec();
    checkOpen_ = false;
    activateWindow();
}

void TOrvex::ShowAbout()
{
    if (aboutOpen_)
        return;
    aboutOpen_ = true;
    AboutBox box(this);
    box.exec();
    aboutOpen_ = false;
    activateWindow();
}

// --- Closing ---

void TOrvex::closeEvent(QCloseEvent* event)
{
    // An update winds down first; the window closes once it has ended.
    if (!closing_ && updateRunning()) {
        event->ignore();
        if (askingToClose_)
            return;
        askingToClose_ = true;
        const bool stop =
            ShowMessage(this, MessageKind::Question, "Do you want to terminate the update process?     ");
        askingToClose_ = false;
        if (stop) {
            StopUpdate();
            closingTmr_->start();
        }
        return;
    }
    // A long command holds the busy lock: closing now would pull the ground from under it.
    if (!closing_ && busy()) {
        event->ignore();
        return;
    }
    Shutdown();
    event->accept();
}

void TOrvex::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    closing_ = true;
    stop_ = true;
    reviewPage_->view()->stop();
    closingTmr_->stop();
    // No worker outlives the program.
    updateDialog_->Shutdown();
    tray_->Discard();
    // Only what Orvex itself put on the clipboard goes; the user's own copy stays.
    if (QClipboard* clipboard = QGuiApplication::clipboard(); clipboard && clipboard->ownsClipboard())
        clipboard->clear();
    if (workspace_->mode() == AccessMode::ReadWrite && started_) {
        StoreLayout();
        SaveSettingsFile(workspace_->settingsFile(), settings_);
        ClearFolder(workspace_->tmpDir(), false);
    }
}

} // namespace orvex