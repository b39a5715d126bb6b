#pragma once

#include <QDialog>

#include <filesystem>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace orvex {

class CheckLauncher;
class CheckUrls;
class TOrvex;

// "Check URLs:": runs the status checker over the open project's URL list,
// ten at a time, and records each URL's status in its row and record.
class CheckUrlsDialog : public QDialog
{
    Q_OBJECT
public:
    // The launcher starts the checks; the dialog owns it.
    CheckUrlsDialog(TOrvex& window, std::unique_ptr<CheckLauncher> launcher);
    ~CheckUrlsDialog() override;

    QCheckBox* startFromSelectedBox() const { return startFromSelected_; }
    QCheckBox* checkSelectedBox() const { return checkSelected_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QLabel* processedLabel() const { return processed_; }
    QLabel* failedLabel() const { return failed_; }
    QProgressBar* progressBar() const { return bar_; }
    bool checking() const;
    // Closing is refused while a check runs.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Start();
    void Step();
    void Finish();
    void ShowProgress();
    void Repaint();
    void SetIdle(bool idle);

    TOrvex& window_;
    std::unique_ptr<CheckLauncher> launcher_;
    std::unique_ptr<CheckUrls> run_;
    QTimer* timer_;
    QCheckBox* startFromSelected_;
    QCheckBox* checkSelected_;
    QGroupBox* progressGroup_;
    QLabel* processed_;
    QLabel* failed_;
    QProgressBar* bar_;
    QPushButton* start_;
    QPushButton* stop_;
};

} // namespace orvex
