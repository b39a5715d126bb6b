#pragma once

#include "mainwindow/MainActions.h"
#include "mainwindow/logic/CommandStates.h"
#include "mainwindow/logic/SortState.h"
#include "workspace/FixedText.h"
#include "workspace/ProjectUrls.h"
#include "workspace/Settings.h"
#include "workspace/Workspace.h"

#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QTimer;
class QSplitter;
class QStackedWidget;
class QTreeView;
class QWebEngineView;

namespace orvex {

class CheckLauncher;
class DetailPane;
class ReviewPane;
class ProjectCommands;
class ProjectListModel;
class ReviewCommands;
class TrayIcon;
class TUpdatePreviewFrm;
class UpdateLauncher;
class UrlCommands;
class UrlListModel;

// The main window. It owns the workspace, the settings, the record lists of
// the open project and the flags that keep long commands safe; the panes and
// the command groups live in their own classes.
class TOrvex : public QMainWindow
{
    Q_OBJECT
public:
    explicit TOrvex(std::filesystem::path programFolder, QWidget* parent = nullptr);
    ~TOrvex() override;

    // Makes the workspace folders, loads the project index and the settings,
    // applies the layout and fills the project list. False after telling the
    // user when the program cannot go on.
    bool Start();

    // --- State shared with the command groups ---
    Workspace& workspace() { return *workspace_; }
    Settings& settings() { return settings_; }
    RecordList& projectRows() { return projectRows_; }
    RecordList& urlRows() { return urlRows_; }
    ProjectUrls* openUrls() { return urls_.get(); }
    const std::filesystem::path& projectFolder() const { return projectFolder_; }
    const MainActions& actions() const { return actions_; }
    ProjectListModel* projectModel() const { return projectModel_; }
    UrlListModel* urlModel() const { return urlModel_; }
    QTreeView* projectView() const { return projectView_; }
    QTreeView* urlView() const { return urlView_; }
    DetailPane* detailPane() const { return detailPane_; }
    QLabel* statusPanel(int index) const { return status_[index]; }
    QLabel* titleLine() const { return titleLine_; }
    QWebEngineView* reviewView() const;
    ReviewPane* reviewPane() const { return reviewPage_; }
    QProgressBar* progressBar() const { return progress_; }
    ProjectCommands* projectCommands() const { return projectCommands_; }
    UrlCommands* urlCommands() const { return urlCommands_; }
    ReviewCommands* reviewCommands() const { return reviewCommands_; }
    TUpdatePreviewFrm* updateDialog() const { return updateDialog_; }
    TrayIcon* trayIcon() const { return tray_; }
    QTimer* closingTimer() const { return closingTmr_; }
    const SortState& urlSort() const { return urlSort_; }
    const SortState& projectSort() const { return projectSort_; }

    bool closing() const { return closing_; }
    bool busy() const { return !enabled_; }
    int lastProjectRow = -1;
    int lastUrlRow = -1;

    // --- Operations of the lists ---
    void BuildProjectRows();
    // Sorts (by the caption, when given), resets the view and the count; returns
    // the row of the project with that Id, or -1.
    int RefreshProjectList(const std::string& id, const QString& caption, bool toggle);
    void BuildUrlRows();
    int RefreshUrlList(const std::string& id, const QString& caption, bool toggle);
    // Opens the project of a row unless it is the open one (lastProjectRow).
    void OpenProject(int row);
    // Leaves no project open (after the last project was deleted).
    void CloseProject();
    void SelectProjectRow(int row);
    void SelectUrlRow(int row);
    int CurrentProjectRow() const;
    int CurrentUrlRow() const;
    QList<int> SelectedUrlRows() const;
    // Sets or clears the pane guard: while clear, selection changes leave the detail pane alone.
    void SetPaneGuard(bool on) { paneGuard_ = on; }

    SelectionFacts CurrentFacts() const;
    void UpdateUrlButtons();
    void RefreshMenuStates();
    void TakeBusyLock();
    void ReleaseBusyLock();

    // Opens the Check URLs dialog over the open project.
    void CheckUrls();
    // Where the worker programs lie: beside this program unless tests say otherwise.
    void setWorkerFolder(std::filesystem::path folder) { workerFolder_ = std::move(folder); }
    // Lets tests run checks without the real checker.
    using CheckLauncherFactory = std::function<std::unique_ptr<CheckLauncher>()>;
    void setCheckLauncherFactory(CheckLauncherFactory factory) { checkLaunchers_ = std::move(factory); }

    // "Update Project": shows the Update dialog over the open project.
    void UpdateProject();
    // Winds a running update down (the Update dialog's Stop, and closing).
    void StopUpdate();
    bool updateRunning() const;
    // Lets tests run updates without the real workers.
    using UpdateLauncherFactory = std::function<std::unique_ptr<UpdateLauncher>()>;
    void setUpdateLauncherFactory(UpdateLauncherFactory factory) { updateLaunchers_ = std::move(factory); }
    std::unique_ptr<UpdateLauncher> MakeUpdateLauncher();

    void ClearDetailPane();
    void FillDetailPane(int row);
    void BlankReviewPane();
    void ShowReview();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void ConnectCommands();
    void SetupColumns();
    void ApplyLayout();
    void ApplyPaneSizes();
    void ApplyDetailWidth();
    void KeepUrlSelection();
    void KeepProjectSelection();
    void AppLoaded();
    void ShowPage(int mode);
    void HeaderClicked(bool projectList, int section);
    void ShowSortIndicators();
    void StoreLayout();
    void Shutdown();
    void ShowHelp();
    void ShowAbout();
    void ReportDamage();
    void BuildUpdateDialog();
    // ClosingTmr: closes the window once a stopped update has ended.
    void ClosingTmrTimer();

    std::filesystem::path programFolder_;
    std::filesystem::path workerFolder_;
    CheckLauncherFactory checkLaunchers_;
    UpdateLauncherFactory updateLaunchers_;
    bool checkOpen_ = false;
    bool askingToClose_ = false;
    std::unique_ptr<Workspace> workspace_;
    Settings settings_;
    RecordList projectRows_;
    RecordList urlRows_;
    std::unique_ptr<ProjectUrls> urls_;
    std::filesystem::path projectFolder_;
    SortState projectSort_;
    SortState urlSort_;

    bool closing_ = false;
    bool stop_ = false;
    bool enabled_ = true;
    bool selectionReady_ = true;
    bool paneGuard_ = true;
    bool aboutOpen_ = false;
    bool shutDown_ = false;
    bool paneSizesApplied_ = false;
    bool detailWidthApplied_ = false;
    bool started_ = false; // settings were read: only then are they written back

    MainActions actions_{};
    ProjectListModel* projectModel_ = nullptr;
    UrlListModel* urlModel_ = nullptr;
    QTreeView* projectView_ = nullptr;
    QTreeView* urlView_ = nullptr;
    DetailPane* detailPane_ = nullptr;
    QLabel* titleLine_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* urlSplitter_ = nullptr;
    QWidget* projectPane_ = nullptr;
    QWidget* urlPage_ = nullptr;
    ReviewPane* reviewPage_ = nullptr;
    QLabel* status_[3] = {};
    QProgressBar* progress_ = nullptr;
    QList<QAction*> viewButtons_;
    ProjectCommands* projectCommands_ = nullptr;
    UrlCommands* urlCommands_ = nullptr;
    ReviewCommands* reviewCommands_ = nullptr;
    TUpdatePreviewFrm* updateDialog_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QTimer* closingTmr_ = nullptr;
};

} // namespace orvex
