#pragma once

#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QTimer;

namespace orvex {

// The closing splash: a small borderless window on top of the main window
// that says what is winding down while a strip is uncovered from the left,
// one pixel every 35 ms. It closes in two steps, 100 ms apart, once its owner
// asks; until then nothing closes it. It deletes itself when closed.
class TStopFrm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 299;
    static constexpr int kClientHeight = 72;
    static constexpr int kStripWidth = 236;
    static constexpr int kStripHeight = 13;
    static constexpr int kCoveredFrom = 20; // the strip is uncovered up to here at first
    static constexpr int kAnimationMs = 35;
    static constexpr int kCloseDelayMs = 100;

    // Centred on the main window; onClosed runs when the splash has closed.
    TStopFrm(QWidget* mainWindow, const QString& message, std::function<void()> onClosed);
    ~TStopFrm() override;

    // Whether a splash exists anywhere in the program (a second Stop must not
    // make another).
    static bool shown();

    // Asks the splash to close: it does so 100 ms later.
    void RequestClose();
    bool mayClose() const { return mayClose_; }
    QLabel* messageLabel() const { return message_; }
    // How much of the strip lies uncovered, in pixels from its left edge.
    int uncovered() const;
    // Whether the splash has been drawn on the screen at least once.
    bool painted() const { return painted_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Animate();
    void Timer2Timer(); // the second step of closing
    void PlaceOverMainWindow();

    QWidget* mainWindow_;
    std::function<void()> onClosed_;
    QLabel* message_; // Label1
    QLabel* strip_;   // Image1, uncovered from the left
    QFrame* cover_;   // Panel2, white, narrowing as it moves right
    QLabel* track_;   // Image2, on the cover
    QTimer* animation_;
    QTimer* closeDelay_; // Timer2
    bool mayClose_ = false;
    bool secondRequest_ = false; // Timer2 has fired: the next request is accepted
    bool closed_ = false;
    bool painted_ = false;
};

} // namespace orvex
