#include "update/dialog/TUpdatePreviewFrm.h"

#include "mainwindow/Artwork.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/QtText.h"
#include "mainwindow/ReviewCommands.h"
#include "mainwindow/TOrvex.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/UrlListModel.h"
#include "update/UpdateLauncher.h"
#include "update/UpdateSettings.h"
#include "update/dialog/TStopFrm.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>

namespace orvex {

namespace {

constexpr std::size_t kFlagActivity = 1; // Flags character 2
constexpr int kSplashWaitPasses = 30;

// A spin whose number is changed with its arrows only.
class ThreadSpin : public QSpinBox
{
public:
    explicit ThreadSpin(QWidget* parent) : QSpinBox(parent)
    {
        setRange(1, RunUpdate::kSlotCount);
        setSingleStep(1);
        setWrapping(false);
        lineEdit()->setReadOnly(true);
    }
};

long long StoreIndexOf(std::string_view row)
{
    const std::string_view text = TrimView(ProjectFieldView(row, ProjectField::StoreIndex));
    long long index = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return -1;
    return index;
}

} // namespace

TUpdatePreviewFrm::TUpdatePreviewFrm(TOrvex& window)
    : QDialog(&window), window_(window), timer_(new QTimer(this))
{
    setObjectName("TUpdatePreviewFrm");
    setWindowTitle("Update Project:");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);

    startFromSelected_ = new QCheckBox("Start from Selected URL", this);
    startFromSelected_->setObjectName("CheckBox1");
    updateSelected_ = new QCheckBox("Update Selected", this);
    updateSelected_->setObjectName("CheckBox2");
    minimizeToTray_ = new QCheckBox("Minimize to Tray", this);
    minimizeToTray_->setObjectName("CheckBox4");

    update_ = new QPushButton(ToolIconOf(ToolIcon::UpdateProject), "  Update       ", this);
    update_->setObjectName("Btn1");
    update_->setToolTip("Start Update Process");
    update_->setDefault(true);
    stop_ = new QPushButton(ToolIconOf(ToolIcon::Stop), "     Stop         ", this);
    stop_->setObjectName("Btn2");
    stop_->setToolTip("Stop Update Process");
    stop_->setAutoDefault(false);

    threads_ = new ThreadSpin(this);
    threads_->setObjectName("Edit1");
    threads_->setValue(std::clamp(window_.settings().threadCount, 1, RunUpdate::kSlotCount));
    auto* threadsLabel = new QLabel("Threads:", this);
    threadsLabel->setObjectName("Label1");
    threadsLabel->setBuddy(threads_);

    progressGroup_ = new QGroupBox(" Progress: ", this);
    progressGroup_->setObjectName("GroupBox1");
    processed_ = new QLabel("0 of 0", progressGroup_);
    processed_->setObjectName("Label3");
    failed_ = new QLabel("0", progressGroup_);
    failed_->setObjectName("Label5");
    percent_ = new QLabel("0 %", progressGroup_);
    percent_->setObjectName("Label6");
    percent_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    bar_ = new QProgressBar(progressGroup_);
    bar_->setObjectName("ProgressBar1");
    bar_->setTextVisible(false);
    bar_->setRange(0, 1);
    bar_->setValue(0);
    auto* grid = new QGridLayout(progressGroup_);
    grid->setVerticalSpacing(4);
    grid->addWidget(new QLabel("Processed:", progressGroup_), 0, 0);
    grid->addWidget(processed_, 0, 1);
    grid->addWidget(percent_, 0, 2);
    grid->addWidget(new QLabel("Failed:", progressGroup_), 1, 0);
    grid->addWidget(failed_, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->addWidget(bar_, 2, 0, 1, 3);

    auto* choices = new QVBoxLayout;
    choices->setSpacing(4);
    choices->addWidget(startFromSelected_);
    choices->addWidget(updateSelected_);
    choices->addWidget(minimizeToTray_);
    auto* threadRow = new QHBoxLayout;
    threadRow->addWidget(threadsLabel);
    threadRow->addWidget(threads_);
    threadRow->addStretch(1);
    choices->addLayout(threadRow);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(update_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(choices, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    layout->addLayout(top);
    layout->addWidget(progressGroup_);
    setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));

    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, &TUpdatePreviewFrm::Step);
    connect(update_, &QPushButton::clicked, this, &TUpdatePreviewFrm::UpdateClick);
    connect(stop_, &QPushButton::clicked, this, &TUpdatePreviewFrm::StopUpdate);
    // Read by the coordinator at every slot check: a change counts at once.
    connect(threads_, &QSpinBox::valueChanged, this, [this](int count) {
        window_.settings().threadCount = std::min(count, RunUpdate::kSlotCount);
    });
}

TUpdatePreviewFrm::~TUpdatePreviewFrm() = default;

bool TUpdatePreviewFrm::running() const
{
    return run_ && run_->running();
}

bool TUpdatePreviewFrm::stopRequested() const
{
    return run_ && run_->stopRequested();
}

TStopFrm* TUpdatePreviewFrm::splash() const
{
    return splash_.data();
}

void TUpdatePreviewFrm::ShowDialog()
{
    if (!isVisible()) {
        if (!centred_) {
            centred_ = true;
            move(window_.frameGeometry().center() - QPoint(width() / 2, height() / 2));
        }
        show();
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TUpdatePreviewFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    threads_->setValue(std::clamp(window_.settings().threadCount, 1, RunUpdate::kSlotCount));
}

void TUpdatePreviewFrm::SetIdle(bool idle)
{
    update_->setEnabled(idle);
    startFromSelected_->setEnabled(idle);
    updateSelected_->setEnabled(idle);
}

// --- The Update button ---

void TUpdatePreviewFrm::UpdateClick()
{
    ProjectUrls* urls = window_.openUrls();
    const int projectRow = window_.CurrentProjectRow();
    if (handling_ || !urls || projectRow < 0 ||
        static_cast<std::size_t>(projectRow) >= window_.projectRows().size())
        return;
    handling_ = true;
    couldNotStart_ = false;
    saveError_.clear();
    saveErrorShown_ = false;

    SetIdle(false);
    window_.TakeBusyLock();
    window_.UpdateUrlButtons();
    projectId_ = TrimText(ProjectFieldView(
        window_.projectRows()[static_cast<std::size_t>(projectRow)], ProjectField::Id));
    window_.projectModel()->setBusyProject(projectId_);
    if (minimizeToTray_->isChecked())
        window_.trayIcon()->HideWindows();

    std::vector<std::size_t> selected;
    for (int row : window_.SelectedUrlRows())
        selected.push_back(static_cast<std::size_t>(row));
    run_.reset(); // it refers to the launcher
    launcher_ = window_.MakeUpdateLauncher();
    run_ = std::make_unique<RunUpdate>(*launcher_, window_.workspace().seconds());
    run_->SetThreadCount([this] { return window_.settings().threadCount; });
    run_->SetSaveRecords([this] { return SaveRecords(); });
    const UpdateOptions options{startFromSelected_->isChecked(), updateSelected_->isChecked()};
    if (!run_->Begin(window_.urlRows(), urls->records(), selected, options,
                     UpdateJobSettingsFrom(window_.settings()), window_.projectFolder())) {
        // With no row selected there is nothing to do; with rows selected the
        // result blocks could not be made.
        couldNotStart_ = !selected.empty();
        EndOfRun();
        return;
    }
    StepUpdateProgress();
    window_.UpdateUrlButtons();
    timer_->start();
}

void TUpdatePreviewFrm::Step()
{
    if (stepping_ || !run_)
        return;
    // Winding the workers down can hold this thread for a moment: the splash
    // that says so is put on the screen first (or given up on after a while).
    if (splash_ && !splash_->painted() && splashWaits_ < kSplashWaitPasses) {
        ++splashWaits_;
        return;
    }
    stepping_ = true;
    const bool going = run_->Poll();
    RepaintRows();
    StepUpdateProgress();
    stepping_ = false;
    if (!going) {
        timer_->stop();
        EndOfRun();
        return;
    }
    ReportSaveFailure();
}

void TUpdatePreviewFrm::StepUpdateProgress()
{
    bar_->setRange(0, run_->maximum());
    bar_->setValue(run_->position());
    processed_->setText(ToQString(run_->ProcessedText()));
    failed_->setText(QString::number(run_->failed()));
    percent_->setText(ToQString(run_->PercentText()));
}

void TUpdatePreviewFrm::RepaintRows()
{
    const int shownRow = window_.CurrentUrlRow();
    bool reload = false;
    for (std::size_t row : run_->TakeChangedRows()) {
        window_.urlModel()->rowChanged(static_cast<int>(row));
        reload = reload || static_cast<int>(row) == shownRow;
    }
    if (const std::optional<std::size_t> row = run_->TakeScrollRow()) {
        window_.urlView()->scrollTo(window_.urlModel()->index(static_cast<int>(*row), 0),
                                    QAbstractItemView::EnsureVisible);
    }
    // The detail pane shows the first selected row: it follows that row's changes.
    if (reload) {
        window_.lastUrlRow = -1;
        window_.FillDetailPane(shownRow);
    }
}

bool TUpdatePreviewFrm::SaveRecords()
{
    ProjectUrls* urls = window_.openUrls();
    if (!urls)
        return false;
    const Status saved = urls->Save();
    if (!saved && saveError_.empty())
        saveError_ =
            saved.message().empty() ? std::string("Unable to save the URL list!") : saved.message();
    return saved.ok();
}

void TUpdatePreviewFrm::ReportSaveFailure()
{
    if (saveError_.empty() || saveErrorShown_ || window_.closing())
        return;
    saveErrorShown_ = true;
    // The run waits while the box is up, so that it cannot step under it.
    const bool wasPolling = timer_->isActive();
    timer_->stop();
    ShowMessage(&window_, MessageKind::Error, ToQString(saveError_));
    if (wasPolling && running())
        timer_->start();
}

// What follows every run, however it ended.
void TUpdatePreviewFrm::EndOfRun()
{
    const UpdateEnd how = run_ ? run_->ended() : UpdateEnd::None;
    const bool stopped = stopRequested();
    if (splash_)
        splash_->RequestClose();
    if (how == UpdateEnd::Completed || how == UpdateEnd::Stopped)
        StampProject();
    WriteReviews();
    window_.projectModel()->setBusyProject({});
    ClearBusyRows();
    SetIdle(true);
    const bool closing = window_.closing();
    if (closing)
        window_.trayIcon()->Discard();
    else
        window_.trayIcon()->RestoreWindows();
    ReportSaveFailure();
    if (!closing) {
        if (couldNotStart_)
            ShowMessage(&window_, MessageKind::Error, "Unable to start the update process!     ");
        else if (!stopped)
            ShowMessage(&window_, MessageKind::Information, "Update completed!     ");
    }
    window_.ReleaseBusyLock();
    window_.UpdateUrlButtons();
    if (isVisible() && isMinimized())
        showNormal();
    handling_ = false;
}

void TUpdatePreviewFrm::StampProject()
{
    RecordList& rows = window_.projectRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (projectId_.empty() ||
            TrimView(ProjectFieldView(rows[i], ProjectField::Id)) != projectId_)
            continue;
        const std::string now = NowText();
        SetProjectField(rows, static_cast<long long>(i), now, ProjectField::Updated);
        window_.projectModel()->rowChanged(static_cast<int>(i));
        Workspace& workspace = window_.workspace();
        const long long record = StoreIndexOf(rows[i]);
        if (record >= 0 && static_cast<std::size_t>(record) < workspace.projects().size()) {
            const Status saved = workspace.SetProjectUpdated(static_cast<std::size_t>(record), now);
            if (!saved && !window_.closing())
                ShowMessage(&window_, MessageKind::Error, ToQString(saved.message()));
        }
        return;
    }
}

void TUpdatePreviewFrm::WriteReviews()
{
    // Pages cut short by the closing program would only be thrown away.
    if (window_.closing())
        return;
    const Status written = window_.reviewCommands()->WriteReviews();
    if (!written) {
        ShowMessage(&window_, MessageKind::Error, ToQString(written.message()));
        return;
    }
    window_.ShowReview();
}

// Rows still marked busy belong to jobs that a stop cut short: no result came.
void TUpdatePreviewFrm::ClearBusyRows()
{
    RecordList& rows = window_.urlRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string_view flags = UrlRowFieldView(rows[i], UrlRowField::Flags);
        if (flags.size() <= kFlagActivity || flags[kFlagActivity] != '1')
            continue;
        std::string cleared(flags);
        cleared[kFlagActivity] = '0';
        SetUrlRowField(rows, static_cast<long long>(i), cleared, UrlRowField::Flags);
        window_.urlModel()->rowChanged(static_cast<int>(i));
    }
}

// --- Stop, closing, shutdown ---

void TUpdatePreviewFrm::StopUpdate()
{
    if (TStopFrm::shown() || !running())
        return;
    run_->Stop();
    splashWaits_ = 0;
    TOrvex* window = &window_;
    splash_ = new TStopFrm(&window_, "Closing Update...", [window] { window->UpdateUrlButtons(); });
    splash_->show();
    hide();
    window_.actions().updateProject->setChecked(false);
}

void TUpdatePreviewFrm::ResetProgress()
{
    processed_->setText("0 of 0");
    failed_->setText("0");
    percent_->setText("0 %");
    bar_->setRange(0, 1);
    bar_->setValue(0);
}

void TUpdatePreviewFrm::reject()
{
    if (handling_) {
        // The run goes on; with "Minimize to Tray" the windows make way for it.
        if (minimizeToTray_->isChecked())
            window_.trayIcon()->HideWindows();
        return;
    }
    ResetProgress();
    window_.actions().updateProject->setChecked(false);
    window_.trayIcon()->Remove();
    QDialog::reject();
}

void TUpdatePreviewFrm::Shutdown()
{
    timer_->stop();
    if (running()) {
        run_->Shutdown();
        if (handling_)
            EndOfRun();
    }
    delete splash_.data();
    run_.reset();
    launcher_.reset();
}

} // namespace orvex
