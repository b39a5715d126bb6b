#include "mainwindow/TOrvex.h"

#include "mainwindow/AboutBox.h"
#include "mainwindow/Artwork.h"
#include "mainwindow/DetailPane.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/ProjectCommands.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/UrlCommands.h"
#include "mainwindow/UrlListModel.h"
#include "mainwindow/logic/CommandStates.h"
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

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Commands that later work brings stay disabled whatever the selection says.
void SetEnabled(QAction* action, bool enabled)
{
    action->setEnabled(enabled && !action->property("orvexLater").toBool());
}

QTreeView* MakeListView(QWidget* parent)
{
    auto* view = new QTreeView(parent);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true); // keeps 100,000 rows cheap
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAllColumnsShowFocus(true);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setIconSize(QSize(34, 16));
    view->header()->setSectionsClickable(true);
    view->header()->setSectionsMovable(false);
    view->header()->setMinimumSectionSize(4);
    view->header()->setMaximumSectionSize(800);
    view->header()->setStretchLastSection(true);
    return view;
}

} // namespace

TOrvex::TOrvex(fs::path programFolder, QWidget* parent)
    : QMainWindow(parent), programFolder_(std::move(programFolder)),
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
    ConnectCommands();
}

TOrvex::~TOrvex()
{
    Shutdown();
}

void TOrvex::BuildLayout()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);

    auto* pageBar = new QToolBar(central);
    pageBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    pageBar->addAction(actions_.urlManagerPage);
    pageBar->addAction(actions_.reviewPage);
    layout->addWidget(pageBar);

    // The URL manager page: its header bar, then the URL list beside the detail pane.
    urlPage_ = new QWidget(central);
    auto* urlLayout = new QVBoxLayout(urlPage_);
    urlLayout->setContentsMargins(0, 0, 0, 0);
    urlLayout->setSpacing(0);
    auto* header = new QToolBar(urlPage_);
    header->setIconSize(QSize(16, 16));
    header->addActions(actions_.urlToolBar->actions());
    delete actions_.urlToolBar;
    actions_.urlToolBar = header;
    header->addSeparator();
    auto* viewGroup = new QActionGroup(header);
    for (const char* caption : {"Properties ", "  HTML", " Text"}) {
        QAction* button = header->addAction(caption);
        button->setCheckable(true);
        viewGroup->addAction(button);
        viewButtons_.append(button);
    }
    viewButtons_.front()->setChecked(true);
    header->addSeparator();
    titleLine_ = new QLabel(header);
    QFont bold = titleLine_->font();
    bold.setBold(true);
    titleLine_->setFont(bold);
    header->addWidget(titleLine_);
    urlLayout->addWidget(header);

    urlSplitter_ = new QSplitter(Qt::Horizontal, urlPage_);
    urlModel_ = new UrlListModel(urlRows_, this);
    urlView_ = MakeListView(urlSplitter_);
    urlView_->setModel(urlModel_);
    urlView_->viewport()->installEventFilter(this);
    // Delete means the URLs in the URL list and the projects in the project list.
    actions_.deleteUrls->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    urlView_->addAction(actions_.deleteUrls);
    detailPane_ = new DetailPane(urlSplitter_);
    urlSplitter_->addWidget(urlView_);
    urlSplitter_->addWidget(detailPane_);
    urlSplitter_->setStretchFactor(0, 1);
    urlSplitter_->setStretchFactor(1, 0);
    urlLayout->addWidget(urlSplitter_, 1);

    reviewPage_ = new QWidget(central);
    auto* reviewLayout = new QVBoxLayout(reviewPage_);
    reviewLayout->setContentsMargins(0, 0, 0, 0);
    reviewView_ = new QWebEngineView(reviewPage_);
    reviewLayout->addWidget(reviewView_);

    pages_ = new QStackedWidget(central);
    pages_->addWidget(urlPage_);
    pages_->addWidget(reviewPage_);

    // The project list lies under a splitter below the centre.
    projectPane_ = new QWidget(central);
    auto* projectLayout = new QVBoxLayout(projectPane_);
    projectLayout->setContentsMargins(0, 0, 0, 0);
    projectModel_ = new ProjectListModel(projectRows_, this);
    projectView_ = MakeListView(projectPane_);
    projectView_->setIconSize(QSize(16, 16));
    projectView_->setModel(projectModel_);
    projectView_->viewport()->installEventFilter(this);
    actions_.deleteProject->setShortcut(QKeySequence(Qt::Key_Delete));
    actions_.deleteProject->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    projectView_->addAction(actions_.deleteProject);
    projectLayout->addWidget(projectView_);

    mainSplitter_ = new QSplitter(Qt::Vertical, central);
    mainSplitter_->addWidget(pages_);
    mainSplitter_->addWidget(projectPane_);
    mainSplitter_->setStretchFactor(0, 1);
    mainSplitter_->setStretchFactor(1, 0);
    mainSplitter_->setChildrenCollapsible(false);
    layout->addWidget(mainSplitter_, 1);
    setCentralWidget(central);

    const int widths[] = {100, 100, 0};
    for (int i = 0; i < 3; ++i) {
        status_[i] = new QLabel(statusBar());
        if (widths[i] > 0)
            status_[i]->setFixedWidth(widths[i]);
        statusBar()->addWidget(status_[i], widths[i] > 0 ? 0 : 1);
    }
    status_[0]->setText("Projects: 0");
    status_[1]->setText("URLs: 0");
    progress_ = new QProgressBar(statusBar());
    progress_->setTextVisible(false);
    progress_->hide();
    statusBar()->addPermanentWidget(progress_, 1);
}

void TOrvex::ConnectCommands()
{
    const MainActions& a = actions_;
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    connect(a.help, &QAction::triggered, this, &TOrvex::ShowHelp);
    connect(a.about, &QAction::triggered, this, &TOrvex::ShowAbout);
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
}

bool TOrvex::Start()
{
    const Status opened = workspace_->Open();
    if (!opened) {
        ShowMessage(this, MessageKind::Error, Q(opened.message()));
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
    RefreshProjectList("", Q(projectSort_.caption), false);
    started_ = true;
    QTimer::singleShot(100, this, &TOrvex::AppLoaded);
    return true;
}

void TOrvex::ApplyLayout()
{
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size()
                                                          : QSize(1024, 768);
    const WindowBounds bounds = BringOntoScreen(
        StoredMainWindowBounds(settings_, screen.width(), screen.height()), screen.width(),
        screen.height());
    resize(bounds.width, bounds.height);
    move(bounds.left, bounds.top);
    if (settings_.winMax)
        showMaximized();
    ShowPage(settings_.showMode == 2 ? 2 : 1);
}

void TOrvex::SetupColumns()
{
    projectModel_->setColumns(settings_.projectColumns);
    for (int i = 0; i < projectModel_->columnCount(); ++i) {
        const int identity = projectModel_->columns()[static_cast<std::size_t>(i)];
        projectView_->header()->resizeSection(i, settings_.projectColumnWidths[identity - 1]);
    }
    urlModel_->setColumns(settings_.urlColumns);
    for (int i = 0; i < urlModel_->columnCount(); ++i) {
        const int kind = urlModel_->columns()[static_cast<std::size_t>(i)];
        urlView_->header()->resizeSection(i, settings_.urlColumnWidths[kind - 1]);
    }
}

void TOrvex::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!paneSizesApplied_) {
        paneSizesApplied_ = true;
        // The splitters have their real sizes only once the window is laid out.
        QTimer::singleShot(0, this, &TOrvex::ApplyPaneSizes);
    }
}

void TOrvex::ApplyPaneSizes()
{
    const int centre = mainSplitter_->height();
    const int projectHeight = std::max(1, CapPaneSize(settings_.sh, centre));
    mainSplitter_->setSizes({std::max(1, centre - projectHeight), projectHeight});
    ApplyDetailWidth();
}

void TOrvex::ApplyDetailWidth()
{
    // A hidden page has no real size yet: the width waits until the page shows.
    if (detailWidthApplied_ || !paneSizesApplied_ || !urlPage_->isVisible())
        return;
    detailWidthApplied_ = true;
    const int across = urlSplitter_->width();
    const int detailWidth = std::max(1, CapPaneSize(settings_.wu, across));
    urlSplitter_->setSizes({std::max(1, across - detailWidth), detailWidth});
}

void TOrvex::AppLoaded()
{
    if (closing_)
        return;
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
        ShowMessage(this, MessageKind::Error, Q(report.Message()));
}

// --- Lists ---

void TOrvex::BuildProjectRows() { orvex::BuildProjectRows(workspace_->projects(), projectRows_); }

int TOrvex::RefreshProjectList(const std::string& id, const QString& caption, bool toggle)
{
    if (!caption.isEmpty()) {
        projectSort_.Choose(caption.toStdString(), toggle);
        if (const auto column = ProjectSortColumnFromCaption(projectSort_.caption))
            SortProjectRows(projectRows_, *column, projectSort_.ascending);
        ShowSortIndicators();
    }
    int found = -1;
    for (std::size_t i = 0; !id.empty() && i < projectRows_.size(); ++i) {
        if (ProjectFieldView(projectRows_[i], ProjectField::Id) == id) {
            found = static_cast<int>(i);
            break;
        }
    }
    projectModel_->reset();
    status_[0]->setText(QString("Projects: %1").arg(projectRows_.size()));
    return found;
}

void TOrvex::BuildUrlRows()
{
    if (urls_)
        orvex::BuildUrlRows(urls_->records(), urlRows_);
    else
        urlRows_.clear();
}

int TOrvex::RefreshUrlList(const std::string& id, const QString& caption, bool toggle)
{
    if (!caption.isEmpty()) {
        urlSort_.Choose(caption.toStdString(), toggle);
        if (const auto column = UrlSortColumnFromCaption(urlSort_.caption))
            SortUrlRows(urlRows_, *column, urlSort_.ascending);
        ShowSortIndicators();
    }
    int found = -1;
    for (std::size_t i = 0; !id.empty() && i < urlRows_.size(); ++i) {
        if (UrlRowFieldView(urlRows_[i], UrlRowField::Id) == id) {
            found = static_cast<int>(i);
            break;
        }
    }
    urlModel_->reset();
    status_[1]->setText(QString("URLs: %1").arg(urlRows_.size()));
    return found;
}

void TOrvex::ShowSortIndicators()
{
    const auto show = [](QTreeView* view, int column, bool ascending) {
        view->header()->setSortIndicatorShown(column >= 0);
        if (column >= 0)
            view->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder
                                                               : Qt::DescendingOrder);
    };
    show(projectView_, projectModel_->columnOfCaption(Q(projectSort_.caption)),
         projectSort_.ascending);
    show(urlView_, urlModel_->columnOfCaption(Q(urlSort_.caption)), urlSort_.ascending);
}

void TOrvex::HeaderClicked(bool projectList, int section)
{
    QTreeView* view = projectList ? projectView_ : urlView_;
    RecordList& rows = projectList ? projectRows_ : urlRows_;
    if (rows.empty() || busy())
        return;
    if (!view->selectionModel()->hasSelection())
        projectList ? SelectProjectRow(0) : SelectUrlRow(0);
    const int selected = projectList ? CurrentProjectRow() : CurrentUrlRow();
    const std::string remembered = rows[static_cast<std::size_t>(std::max(0, selected))];
    const QString caption = view->model()->headerData(section, Qt::Horizontal).toString();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool guard = paneGuard_;
    paneGuard_ = false; // the selection comes back below; no refill on the way
    view->selectionModel()->clearSelection();
    paneGuard_ = guard;
    projectList ? (void)RefreshProjectList("", caption, true)
                : (void)RefreshUrlList("", caption, true);
    // The row selected before stays selected: found by its whole text.
    int found = 0;
    const QString wanted = Q(remembered);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool same = projectList ? rows[i] == remembered
                                      : Q(rows[i]).compare(wanted, Qt::CaseInsensitive) == 0;
        if (same) {
            found = static_cast<int>(i);
            break;
        }
    }
    projectList ? SelectProjectRow(found) : SelectUrlRow(found);
    QApplication::restoreOverrideCursor();
}

void TOrvex::SelectProjectRow(int row)
{
    if (row < 0 || row >= projectModel_->rowCount())
        return;
    const QModelIndex index = projectModel_->index(row, 0);
    projectView_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    projectView_->scrollTo(index);
}

void TOrvex::SelectUrlRow(int row)
{
    if (row < 0 || row >= urlModel_->rowCount())
        return;
    const QModelIndex index = urlModel_->index(row, 0);
    urlView_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    urlView_->scrollTo(index);
}

int TOrvex::CurrentProjectRow() const
{
    const QModelIndexList rows = projectView_->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        first = first < 0 ? index.row() : std::min(first, index.row());
    return first;
}

int TOrvex::CurrentUrlRow() const
{
    const QList<int> rows = SelectedUrlRows();
    return rows.isEmpty() ? -1 : rows.front();
}

QList<int> TOrvex::SelectedUrlRows() const
{
    QList<int> rows;
    // Ranges, not indexes: a select-all over 100,000 rows stays one range.
    for (const QItemSelectionRange& range : urlView_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TOrvex::OpenProject(int row)
{
    if (closing_ || projectRows_.empty() || row < 0 ||
        static_cast<std::size_t>(row) >= projectRows_.size() || !selectionReady_ ||
        row == lastProjectRow)
        return;
    selectionReady_ = false;
    lastProjectRow = row;
    const std::string& projectRow = projectRows_[static_cast<std::size_t>(row)];
    const std::optional<fs::path> folder = workspace_->ProjectFolder(projectRow);
    settings_.preview = TrimText(ProjectFieldView(projectRow, ProjectField::Id));
    setWindowTitle(QString("%1 - %2").arg(kProductTitle,
                                          Q(TrimView(ProjectFieldView(projectRow, ProjectField::Title)))));
    projectFolder_ = folder.value_or(fs::path());
    urls_.reset();
    urlRows_.clear();
    if (folder) {
        urls_ = std::make_unique<ProjectUrls>(*folder, workspace_->saveGate());
        const LoadOutcome outcome = urls_->Load();
        if (outcome.damage)
            workspace_->AddDamageReport(*outcome.damage);
        else if (!outcome.status)
            ShowMessage(this, MessageKind::Error, Q(outcome.status.message()));
    } else {
        ShowMessage(this, MessageKind::Error,
                    "The project's record names no valid folder; its URLs cannot be shown.");
    }
    urlModel_->setProjectFolder(projectFolder_);
    ClearDetailPane();
    titleLine_->clear();
    lastUrlRow = -1;
    BuildUrlRows();
    RefreshUrlList("", Q(urlSort_.caption), false);
    if (!urlRows_.empty())
        SelectUrlRow(0);
    ShowReview();
    status_[2]->setText(Q(projectFolder_.string()));
    selectionReady_ = true;
    UpdateUrlButtons();
    ReportDamage();
}

void TOrvex::CloseProject()
{
    lastProjectRow = -1;
    urls_.reset();
    urlRows_.clear();
    projectFolder_.clear();
    urlModel_->setProjectFolder({});
    urlModel_->reset();
    status_[1]->setText("URLs: 0");
    status_[2]->clear();
    setWindowTitle(kProductTitle);
    ClearDetailPane();
    titleLine_->clear();
    lastUrlRow = -1;
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

void TOrvex::BlankReviewPane()
{
    reviewView_->stop();
    reviewView_->setUrl(QUrl("about:blank"));
}

void TOrvex::ShowReview()
{
    const int style = settings_.previewStyle >= 1 && settings_.previewStyle <= 3
                          ? settings_.previewStyle
                          : 1;
    const fs::path page = projectFolder_ / ("preview" + std::to_string(style) + ".html");
    std::error_code ec;
    if (!projectFolder_.empty() && fs::exists(page, ec))
        reviewView_->setUrl(QUrl::fromLocalFile(Q(page.string())));
    else
        BlankReviewPane();
}

// --- Enabled states and the busy lock ---

void TOrvex::UpdateUrlButtons()
{
    SelectionFacts facts;
    facts.projectSelected = urls_ != nullptr && CurrentProjectRow() >= 0;
    facts.projectRows = projectRows_.size();
    facts.urlRows = urlRows_.size();
    facts.urlSelected = urlView_->selectionModel()->hasSelection();
    std::error_code ec;
    facts.clipboardHasUrls = fs::exists(workspace_->clipDir() / "clip.dat", ec);
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
    SelectionFacts facts;
    facts.projectSelected = urls_ != nullptr && CurrentProjectRow() >= 0;
    facts.projectRows = projectRows_.size();
    facts.urlRows = urlRows_.size();
    facts.urlSelected = urlView_->selectionModel()->hasSelection();
    std::error_code ec;
    facts.clipboardHasUrls = fs::exists(workspace_->clipDir() / "clip.dat", ec);
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

// --- Mouse clicks that would lose the selection ---

bool TOrvex::eventFilter(QObject* watched, QEvent* event)
{
    // Looked at once the view has handled the click, which may have cleared the selection.
    if (event->type() == QEvent::MouseButtonRelease && !closing_) {
        if (watched == urlView_->viewport())
            QTimer::singleShot(0, this, &TOrvex::KeepUrlSelection);
        else if (watched == projectView_->viewport())
            QTimer::singleShot(0, this, &TOrvex::KeepProjectSelection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TOrvex::KeepUrlSelection()
{
    if (urlView_->selectionModel()->hasSelection()) {
        if (lastUrlRow < 0)
            lastUrlRow = CurrentUrlRow();
    } else if (lastUrlRow >= 0 && !urlRows_.empty()) {
        SelectUrlRow(std::min<int>(lastUrlRow, static_cast<int>(urlRows_.size()) - 1));
    }
}

void TOrvex::KeepProjectSelection()
{
    if (projectView_->selectionModel()->hasSelection() || lastProjectRow < 0 ||
        projectRows_.empty())
        return;
    const int row = std::min<int>(lastProjectRow, static_cast<int>(projectRows_.size()) - 1);
    // Selecting the open project again must not reload it.
    projectView_->selectionModel()->select(projectModel_->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// --- Help and About ---

void TOrvex::ShowHelp()
{
    const fs::path help = programFolder_ / "orxhelp.html";
    std::error_code ec;
    if (fs::exists(help, ec))
        QDesktopServices::openUrl(QUrl::fromLocalFile(Q(help.string())));
    else
        ShowMessage(this, MessageKind::Error, "Help file not found!");
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
    // A long command holds the busy lock: closing now would pull the ground from under it.
    if (!closing_ && busy()) {
        event->ignore();
        return;
    }
    Shutdown();
    event->accept();
}

void TOrvex::StoreLayout()
{
    // The position is the frame's, as move() takes it; the size is the client's, as resize() takes it.
    const QRect bounds = isMaximized() ? normalGeometry() : geometry();
    const QPoint origin = isMaximized() ? bounds.topLeft() : pos();
    settings_.top = origin.y();
    settings_.left = origin.x();
    settings_.height = bounds.height();
    settings_.width = bounds.width();
    settings_.winMax = isMaximized();
    if (paneSizesApplied_) {
        if (projectPane_->isVisible())
            settings_.sh = projectPane_->height();
    }
    if (detailWidthApplied_)
        settings_.wu = detailPane_->width();
    for (int i = 0; i < projectModel_->columnCount(); ++i) {
        const int identity = projectModel_->columns()[static_cast<std::size_t>(i)];
        settings_.projectColumnWidths[identity - 1] = projectView_->header()->sectionSize(i);
    }
    for (int i = 0; i < urlModel_->columnCount(); ++i) {
        const int kind = urlModel_->columns()[static_cast<std::size_t>(i)];
        settings_.urlColumnWidths[kind - 1] = urlView_->header()->sectionSize(i);
    }
    settings_.sortColPreview = projectSort_.caption;
    settings_.sortPlusPreview = projectSort_.ascending;
    settings_.sortColURLs = urlSort_.caption;
    settings_.sortPlusURLs = urlSort_.ascending;
}

void TOrvex::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    closing_ = true;
    stop_ = true;
    reviewView_->stop();
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
