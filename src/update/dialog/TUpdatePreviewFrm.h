#pragma once

#include "update/RunUpdate.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace orvex {

class TOrvex;
class TStopFrm;
class UpdateLauncher;

// "Update Project:": starts and stops the update of the open project, chooses
// which URLs take part and how many workers run, and shows the progress. It
// lives as long as the main window and is shown without being modal, so its
// choices last from one run to the next. A run is driven by a timer that
// moves the coordinator on every 10 ms; the window stays usable meanwhile.
class TUpdatePreviewFrm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 371;
    static constexpr int kClientHeight = 212;
    static constexpr int kPollMs = 10;

    explicit TUpdatePreviewFrm(TOrvex& window);
    ~TUpdatePreviewFrm() override;

    QCheckBox* startFromSelectedBox() const { return startFromSelected_; }
    QCheckBox* updateSelectedBox() const { return updateSelected_; }
    QCheckBox* minimizeToTrayBox() const { return minimizeToTray_; }
    QPushButton* updateButton() const { return update_; }
    QPushButton* stopButton() const { return stop_; }
    QSpinBox* threadSpin() const { return threads_; }
    QLabel* processedLabel() const { return processed_; }
    QLabel* failedLabel() const { return failed_; }
    QLabel* percentLabel() const { return percent_; }
    QProgressBar* progressBar() const { return bar_; }
    // The closing splash while a stopped run winds down.
    TStopFrm* splash() const;

    // The coordinator is working through the rows.
    bool running() const;
    // From the Update button until the end of a run has been dealt with
    // (pages written, messages answered).
    bool busy() const { return handling_; }
    bool stopRequested() const;

    // The "Update Project" command: shown if hidden, and brought to the front.
    void ShowDialog();
    // The Stop button and the main window's close: the run winds down, under
    // the closing splash.
    void StopUpdate();
    // The program is closing: a run ends at once and every worker with it.
    void Shutdown();

    // Closing is refused while a run goes on.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateClick();
    void Step();
    void EndOfRun();
    void StepUpdateProgress();
    void RepaintRows();
    void StampProject();
    void WriteReviews();
    void ClearBusyRows();
    bool SaveRecords();
    void ReportSaveFailure();
    void SetIdle(bool idle);
    void ResetProgress();

    TOrvex& window_;
    std::unique_ptr<UpdateLauncher> launcher_;
    std::unique_ptr<RunUpdate> run_;
    QTimer* timer_;
    QPointer<TStopFrm> splash_;
    bool handling_ = false;
    bool stepping_ = false;
    bool centred_ = false;
    bool couldNotStart_ = false;
    int splashWaits_ = 0; // passes held back until the splash is on the screen
    std::string projectId_; // the project the run works on
    std::string saveError_;
    bool saveErrorShown_ = false;

    QCheckBox* startFromSelected_; // CheckBox1
    QCheckBox* updateSelected_;    // CheckBox2
    QCheckBox* minimizeToTray_;    // CheckBox4
    QPushButton* update_;          // Btn1
    QPushButton* stop_;            // Btn2
    QSpinBox* threads_;            // Edit1 with UpDown1
    QGroupBox* progressGroup_;     // GroupBox1
    QLabel* processed_;            // Label3
    QLabel* failed_;               // Label5
    QLabel* percent_;              // Label6
    QProgressBar* bar_;            // ProgressBar1
};

} // namespace orvex
