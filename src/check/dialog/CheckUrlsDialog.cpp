#include "check/dialog/CheckUrlsDialog.h"

#include "check/CheckLauncher.h"
#include "check/CheckRows.h"
#include "check/CheckUrls.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/QtText.h"
#include "mainwindow/TOrvex.h"
#include "mainwindow/UrlListModel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace orvex {

CheckUrlsDialog::CheckUrlsDialog(TOrvex& window, std::unique_ptr<CheckLauncher> launcher)
    : QDialog(&window), window_(window), launcher_(std::move(launcher)),
      run_(std::make_unique<CheckUrls>(*launcher_, window.workspace().seconds())),
      timer_(new QTimer(this))
{
    setWindowTitle("Check URLs:");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    startFromSelected_ = new QCheckBox("Start from Selected URL", this);
    checkSelected_ = new QCheckBox("Check Selected", this);
    progressGroup_ = new QGroupBox(" Progress: ", this);
    processed_ = new QLabel("0 of 0", progressGroup_);
    failed_ = new QLabel("0", progressGroup_);
    bar_ = new QProgressBar(progressGroup_);
    bar_->setTextVisible(false);
    bar_->setRange(0, 1);
    bar_->setValue(0);
    auto* grid = new QGridLayout(progressGroup_);
    grid->addWidget(new QLabel("Processed:", progressGroup_), 0, 0);
    grid->addWidget(processed_, 0, 1);
    grid->addWidget(new QLabel("Failed:", progressGroup_), 1, 0);
    grid->addWidget(failed_, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->addWidget(bar_, 2, 0, 1, 2);

    start_ = new QPushButton("     Start        ", this);
    start_->setToolTip("Start Check Process");
    stop_ = new QPushButton("     Stop        ", this);
    stop_->setToolTip("Stop Check Process");
    start_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(stop_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(startFromSelected_);
    layout->addWidget(checkSelected_);
    layout->addWidget(progressGroup_);
    layout->addLayout(buttons);
    setMinimumWidth(353);
    setFixedSize(sizeHint().expandedTo(QSize(353, 181)));

    timer_->setInterval(10);
    connect(timer_, &QTimer::timeout, this, &CheckUrlsDialog::Step);
    connect(start_, &QPushButton::clicked, this, &CheckUrlsDialog::Start);
    connect(stop_, &QPushButton::clicked, this, [this] { run_->Stop(); });
}

CheckUrlsDialog::~CheckUrlsDialog() = default;

bool CheckUrlsDialog::checking() const { return !start_->isEnabled(); }

void CheckUrlsDialog::SetIdle(bool idle)
{
    startFromSelected_->setEnabled(idle);
    checkSelected_->setEnabled(idle);
    progressGroup_->setEnabled(idle);
    start_->setEnabled(idle);
}

void CheckUrlsDialog::Start()
{
    ProjectUrls* urls = window_.openUrls();
    if (!urls || checking())
        return;
    SetIdle(false);
    std::vector<std::size_t> selected;
    for (int row : window_.SelectedUrlRows())
        selected.push_back(static_cast<std::size_t>(row));
    const Settings& settings = window_.settings();
    const CheckProxy proxy{settings.useProxy, settings.proxyUser, settings.proxyPassw};
    const CheckOptions options{startFromSelected_->isChecked(), checkSelected_->isChecked()};
    if (!run_->Begin(window_.urlRows(), urls->records(), selected, options, proxy)) {
        Finish(); // nothing to check: still saved and reported
        return;
    }
    if (selected.empty())
        window_.SelectUrlRow(0);
    ShowProgress();
    timer_->start();
}

void CheckUrlsDialog::Step()
{
    const bool going = run_->Poll();
    Repaint();
    ShowProgress();
    if (!going) {
        timer_->stop();
        Finish();
    }
}

void CheckUrlsDialog::Finish()
{
    if (ProjectUrls* urls = window_.openUrls()) {
        if (const Status saved = urls->Save(); !saved)
            ShowMessage(this, MessageKind::Error, ToQString(saved.message()));
    }
    for (std::size_t row : ClearCheckMarks(window_.urlRows()))
        window_.urlModel()->rowChanged(static_cast<int>(row));
    if (!run_->stopRequested())
        ShowMessage(this, MessageKind::Information, "Checking completed!     ");
    SetIdle(true);
}

void CheckUrlsDialog::ShowProgress()
{
    bar_->setRange(0, run_->maximum());
    bar_->setValue(run_->position());
    processed_->setText(ToQString(run_->ProcessedText()));
    failed_->setText(QString::number(run_->failed()));
}

void CheckUrlsDialog::Repaint()
{
    for (std::size_t row : run_->TakeChangedRows())
        window_.urlModel()->rowChanged(static_cast<int>(row));
    if (const std::optional<std::size_t> row = run_->TakeScrollRow())
        window_.urlView()->scrollTo(window_.urlModel()->index(static_cast<int>(*row), 0));
}

void CheckUrlsDialog::closeEvent(QCloseEvent* event)
{
    // A running check must end through Stop first.
    if (checking())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void CheckUrlsDialog::reject()
{
    if (!checking())
        QDialog::reject();
}

} // namespace orvex
