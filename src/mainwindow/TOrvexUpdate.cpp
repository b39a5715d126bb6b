// The main window's side of updating a project: the Update dialog and the
// tray, the command that opens the dialog, Stop, and closing after a stop.
#include "mainwindow/TOrvex.h"

#include "mainwindow/TrayIcon.h"
#include "update/ProcessUpdateLauncher.h"
#include "update/dialog/TUpdatePreviewFrm.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

namespace orvex {

namespace {
constexpr int kClosingMs = 100;
} // namespace

void TOrvex::BuildUpdateDialog()
{
    updateDialog_ = new TUpdatePreviewFrm(*this);
    tray_ = new TrayIcon(this, updateDialog_);
    connect(tray_, &TrayIcon::exitRequested, this, &QWidget::close);
    closingTmr_ = new QTimer(this);
    closingTmr_->setSingleShot(true);
    closingTmr_->setInterval(kClosingMs);
    connect(closingTmr_, &QTimer::timeout, this, &TOrvex::ClosingTmrTimer);
    actions_.updateProject->setCheckable(true);
}

void TOrvex::UpdateProject()
{
    const bool ready = urls_ && !urlRows_.empty() && urlView_->selectionModel()->hasSelection() &&
                       CurrentProjectRow() >= 0;
    if (!ready) {
        // The button stays pressed only while the dialog shows.
        actions_.updateProject->setChecked(updateDialog_->isVisible());
        return;
    }
    actions_.updateProject->setChecked(true);
    updateDialog_->ShowDialog();
}

void TOrvex::StopUpdate()
{
    updateDialog_->StopUpdate();
}

bool TOrvex::updateRunning() const
{
    return updateDialog_ && updateDialog_->running();
}

std::unique_ptr<UpdateLauncher> TOrvex::MakeUpdateLauncher()
{
    if (updateLaunchers_)
        return updateLaunchers_();
    return std::make_unique<ProcessUpdateLauncher>(workerFolder_ / "oxupdate",
                                                   workspace_->settingsFile());
}

void TOrvex::ClosingTmrTimer()
{
    // The stopped run, and what follows its end, may still be winding down.
    if (updateDialog_->busy()) {
        closingTmr_->start();
        return;
    }
    close();
}

} // namespace orvex
