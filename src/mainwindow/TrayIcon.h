#pragma once

#include <QObject>
#include <QPointer>

#include <optional>

class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace orvex {

// The icon in the desktop's notification area while an update runs with its
// windows put away, its animation (AnyTrayTmr) and its menu ("Show Window",
// "Exit"). Where the desktop has no notification area the icon is quietly
// absent, and the windows are minimised instead of hidden, so that the task
// bar still leads back to them.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    static constexpr int kAnimationMs = 2000;
    static constexpr int kTipLimit = 127;

    TrayIcon(QWidget* mainWindow, QWidget* dialog);
    ~TrayIcon() override;

    // Whether the desktop shows tray icons. Tests may decide instead.
    static bool available();
    static void SetAvailableForTests(std::optional<bool> available);

    // Add registers the icon, without a picture yet; Update shows the next
    // animation picture and the tip; Remove takes the icon away. Each says
    // whether there is an icon to act on.
    bool Add();
    bool Update();
    void Remove();
    bool added() const { return icon_ != nullptr; }
    // The picture the next Update shows, 0..4.
    int nextFrame() const { return nextFrame_; }
    QTimer* animationTimer() const { return animation_; }
    QMenu* menu() const { return menu_; }

    // Puts the main window and the Update dialog away and starts the
    // animation (an update runs on meanwhile).
    void HideWindows();
    // "Show Window": the windows put away come back; the dialog comes to the
    // front in any case.
    void ShowFromTray();
    // The end of a run: the icon goes and the windows put away come back.
    void RestoreWindows();
    // The end of the program: the icon goes, the windows stay as they are.
    void Discard();
    bool windowsAway() const { return away_; }

signals:
    void exitRequested();

private:
    void BringBack();
    void RaiseDialog();

    QPointer<QWidget> main_;
    QPointer<QWidget> dialog_;
    QSystemTrayIcon* icon_ = nullptr;
    QMenu* menu_ = nullptr;
    QTimer* animation_ = nullptr;
    int nextFrame_ = 0;
    bool away_ = false;
    bool minimised_ = false; // put away by minimising: no tray to come back from
    Qt::WindowStates mainState_;
};

} // namespace orvex
