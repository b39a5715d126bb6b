#pragma once

#include <QObject>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QToolBar;

namespace orvex {

// Every command of the main window as an action, and the menus and tool bars
// that show them. Commands that later work brings are present and disabled.
struct MainActions
{
    // File
    QAction* newProject;
    QAction* renameProject;
    QAction* deleteProject;
    QAction* exit;
    // Review
    QAction* reloadReview;
    QAction* generateReview;
    QAction* styleSimple;
    QAction* styleGallery;
    QAction* styleGrayGranite;
    QActionGroup* styles;
    // URL
    QAction* browseUrl;
    QAction* newUrl;
    QAction* editUrl;
    QAction* deleteUrls;
    QAction* cut;
    QAction* copy;
    QAction* paste;
    QAction* importFile;
    QAction* importClipboard;
    QAction* importWebPage;
    // URL tool bar only
    QAction* deleteFailed;
    QAction* selectAll;
    QAction* deselectAll;
    QAction* invertSelection;
    QAction* checkUrl;
    // Screenshot
    QAction* screenshotOpen;
    QAction* screenshotCopy;
    QAction* screenshotSave;
    QAction* thumbnail;
    // Tools
    QAction* checkUrlMenu;
    QAction* updateProject;
    QAction* search;
    QAction* options;
    // Help
    QAction* help;
    QAction* about;
    QAction* checkForUpdates;
    // Top tool bar and page buttons
    QAction* showHideProjects;
    QAction* urlManagerPage;
    QAction* reviewPage;

    QMenu* fileMenu;
    QMenu* reviewMenu;
    QMenu* urlMenu;
    QMenu* importMenu;
    QMenu* screenshotMenu;
    QMenu* toolsMenu;
    QMenu* helpMenu;
    QMenu* urlContextMenu;
    QMenu* projectContextMenu;
    QToolBar* topToolBar;
    QToolBar* urlToolBar;

    // Builds everything into the window's menu bar and returns the actions.
    static MainActions Create(QMainWindow* window);
    // The menus in the order of the menu bar.
    QList<QMenu*> mainMenus() const;
};

} // namespace orvex
