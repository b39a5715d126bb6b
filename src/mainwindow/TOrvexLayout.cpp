// The main window's widgets, their arrangement, and the layout that is
// restored from the settings at start and stored at close.
#include "mainwindow/TOrvex.h"

#include "browser/ReviewPane.h"
#include "mainwindow/DetailPane.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/QtText.h"
#include "mainwindow/UrlListModel.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace orvex {

namespace {

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

    progress_ = new QProgressBar(statusBar());
    progress_->setTextVisible(false);
    progress_->hide();
    reviewPage_ = new ReviewPane(progress_, central);

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
    statusBar()->addPermanentWidget(progress_, 1);
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
    projectModel_->setColumns({settings_.projectColumns.begin(), settings_.projectColumns.end()});
    for (int i = 0; i < projectModel_->columnCount(); ++i) {
        const int identity = projectModel_->columns()[static_cast<std::size_t>(i)];
        projectView_->header()->resizeSection(i, settings_.projectColumnWidths[identity - 1]);
    }
    urlModel_->setColumns({settings_.urlColumns.begin(), settings_.urlColumns.end()});
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

} // namespace orvex
