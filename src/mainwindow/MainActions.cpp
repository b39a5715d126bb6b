#include "mainwindow/MainActions.h"

#include "mainwindow/Artwork.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace orvex {

namespace {

QAction* Make(QObject* owner, const QString& text, ToolIcon icon = ToolIcon::BlankIcon,
              bool withIcon = false)
{
    auto* action = new QAction(text, owner);
    if (withIcon)
        action->setIcon(ToolIconOf(icon));
    return action;
}

QAction* MakeIcon(QObject* owner, const QString& text, ToolIcon icon)
{
    return Make(owner, text, icon, true);
}

// Commands whose work comes later stay visible but cannot be used yet.
QAction* Later(QAction* action)
{
    action->setEnabled(false);
    action->setProperty("orvexLater", true);
    return action;
}

} // namespace

MainActions MainActions::Create(QMainWindow* w)
{
    MainActions a{};
    a.newProject = MakeIcon(w, "New Project", ToolIcon::NewProject);
    a.renameProject = Make(w, "Rename Project");
    a.deleteProject = Make(w, "Delete Project");
    a.exit = Make(w, "Exit");
    a.reloadReview = Make(w, "Reload Review");
    a.generateReview = Make(w, "Generate Review");
    a.styleSimple = Make(w, "Simple");
    a.styleGallery = Make(w, "Gallery");
    a.styleGrayGranite = Make(w, "Gray Granite");
    a.styles = new QActionGroup(w);
    for (QAction* style : {a.styleSimple, a.styleGallery, a.styleGrayGranite}) {
        style->setCheckable(true);
        a.styles->addAction(style);
    }

    a.browseUrl = Make(w, "Browse URL");
    a.newUrl = MakeIcon(w, "New URL", ToolIcon::NewUrl);
    a.newUrl->setShortcut(QKeySequence(Qt::Key_Insert));
    a.editUrl = Make(w, "Edit");
    a.deleteUrls = MakeIcon(w, "Delete", ToolIcon::DeleteSelected);
    a.deleteUrls->setShortcut(QKeySequence(Qt::Key_Delete));
    a.deleteUrls->setToolTip("Delete Selected URLs");
    a.cut = Later(MakeIcon(w, "Cut", ToolIcon::Cut));
    a.copy = Later(MakeIcon(w, "Copy", ToolIcon::Copy));
    a.paste = Later(MakeIcon(w, "Paste", ToolIcon::Paste));
    a.importFile = Later(Make(w, "File"));
    a.importClipboard = Later(Make(w, "Windows Clipboard"));
    a.importWebPage = Later(Make(w, "Web Page"));
    a.deleteFailed = MakeIcon(w, "Delete Failed URLs", ToolIcon::DeleteFailed);
    a.selectAll = MakeIcon(w, "Select All", ToolIcon::SelectAll);
    a.deselectAll = MakeIcon(w, "Deselect All", ToolIcon::DeselectAll);
    a.invertSelection = MakeIcon(w, "Invert Selection", ToolIcon::InvertSelection);
    a.checkUrl = MakeIcon(w, "Check URL", ToolIcon::CheckUrl);

    a.screenshotOpen = Later(Make(w, "Open"));
    a.screenshotCopy = Later(Make(w, "Copy to Clipboard"));
    a.screenshotSave = Later(Make(w, "Save to File"));
    a.thumbnail = Later(Make(w, "Thumbnail"));

    a.checkUrlMenu = Make(w, "Check URL");
    a.updateProject = MakeIcon(w, "Update Project", ToolIcon::UpdateProject);
    a.search = Later(MakeIcon(w, "Search", ToolIcon::Search));
    a.options = Later(MakeIcon(w, "Options", ToolIcon::Options));

    a.help = MakeIcon(w, "Help", ToolIcon::Help);
    a.about = Make(w, "About...");
    a.checkForUpdates = Later(Make(w, "Check for Updates"));

    a.showHideProjects = MakeIcon(w, "Show/Hide Projects", ToolIcon::ShowHideProjects);
    a.showHideProjects->setCheckable(true);
    a.showHideProjects->setChecked(true);
    a.urlManagerPage = MakeIcon(w, " URL Manager ", ToolIcon::UrlManagerPage);
    a.reviewPage = MakeIcon(w, "   Review", ToolIcon::ReviewPage);
    auto* pages = new QActionGroup(w);
    for (QAction* page : {a.urlManagerPage, a.reviewPage}) {
        page->setCheckable(true);
        pages->addAction(page);
    }

    QMenuBar* bar = w->menuBar();
    a.fileMenu = bar->addMenu(" File ");
    a.fileMenu->addActions({a.newProject, a.renameProject, a.deleteProject});
    a.fileMenu->addSeparator();
    a.fileMenu->addAction(a.exit);

    a.reviewMenu = bar->addMenu(" Review");
    a.reviewMenu->addActions({a.reloadReview, a.generateReview});
    a.reviewMenu->addSeparator();
    QMenu* style = a.reviewMenu->addMenu("Style");
    style->addActions({a.styleSimple, a.styleGallery, a.styleGrayGranite});

    a.urlMenu = bar->addMenu(" URL ");
    a.urlMenu->addAction(a.browseUrl);
    a.urlMenu->addSeparator();
    a.urlMenu->addActions({a.newUrl, a.editUrl, a.deleteUrls});
    a.urlMenu->addSeparator();
    a.urlMenu->addActions({a.cut, a.copy, a.paste});
    a.urlMenu->addSeparator();
    a.importMenu = a.urlMenu->addMenu("Import URL");
    a.importMenu->addActions({a.importFile, a.importClipboard, a.importWebPage});

    a.screenshotMenu = bar->addMenu("Screenshot ");
    a.screenshotMenu->addActions({a.screenshotOpen, a.screenshotCopy, a.screenshotSave});
    a.screenshotMenu->addSeparator();
    a.screenshotMenu->addAction(a.thumbnail);

    a.toolsMenu = bar->addMenu(" Tools ");
    a.toolsMenu->addActions({a.checkUrlMenu, a.updateProject, a.search, a.options});

    a.helpMenu = bar->addMenu(" Help ");
    a.helpMenu->addActions({a.help, a.about, a.checkForUpdates});

    // The context menus show "Open URL" where the URL menu says "Browse URL".
    a.urlContextMenu = new QMenu(w);
    QAction* openUrl = a.urlContextMenu->addAction("Open URL");
    QObject::connect(openUrl, &QAction::triggered, a.browseUrl, &QAction::trigger);
    QObject::connect(a.browseUrl, &QAction::enabledChanged, openUrl, &QAction::setEnabled);
    a.urlContextMenu->addSeparator();
    a.urlContextMenu->addActions({a.newUrl, a.editUrl, a.deleteUrls});
    a.urlContextMenu->addSeparator();
    a.urlContextMenu->addActions({a.cut, a.copy, a.paste});

    a.projectContextMenu = new QMenu(w);
    a.projectContextMenu->addActions({a.newProject, a.renameProject, a.deleteProject});
    a.projectContextMenu->addSeparator();
    a.projectContextMenu->addAction(a.reloadReview);

    a.topToolBar = new QToolBar("Main", w);
    a.topToolBar->setObjectName("TopToolBar");
    a.topToolBar->setMovable(false);
    a.topToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    a.topToolBar->addActions({a.newProject, a.search, a.updateProject, a.options, a.help});
    a.topToolBar->addSeparator();
    a.topToolBar->addAction(a.showHideProjects);
    w->addToolBar(Qt::TopToolBarArea, a.topToolBar);

    a.urlToolBar = new QToolBar("URL", w);
    a.urlToolBar->setObjectName("UrlToolBar");
    a.urlToolBar->setIconSize(QSize(16, 16));
    a.urlToolBar->addActions({a.newUrl, a.cut, a.copy, a.paste, a.deleteUrls, a.deleteFailed});
    a.urlToolBar->addSeparator();
    a.urlToolBar->addActions({a.selectAll, a.deselectAll, a.invertSelection});
    a.urlToolBar->addSeparator();
    a.urlToolBar->addAction(a.checkUrl);
    return a;
}

QList<QMenu*> MainActions::mainMenus() const
{
    return {fileMenu, reviewMenu, urlMenu, screenshotMenu, toolsMenu, helpMenu};
}

} // namespace orvex
