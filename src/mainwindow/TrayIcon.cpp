#include "mainwindow/TrayIcon.h"

#include "mainwindow/AboutBox.h"
#include "mainwindow/Artwork.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace orvex {

namespace {

std::optional<bool>& AvailableOverride()
{
    static std::optional<bool> available;
    return available;
}

} // namespace

TrayIcon::TrayIcon(QWidget* mainWindow, QWidget* dialog)
    : QObject(mainWindow), main_(mainWindow), dialog_(dialog)
{
    menu_ = new QMenu(mainWindow);
    QAction* show = menu_->addAction("Show Window");
    QAction* exit = menu_->addAction("Exit");
    connect(show, &QAction::triggered, this, &TrayIcon::ShowFromTray);
    connect(exit, &QAction::triggered, this, &TrayIcon::exitRequested);
    animation_ = new QTimer(this);
    animation_->setInterval(kAnimationMs);
    connect(animation_, &QTimer::timeout, this, &TrayIcon::Update);
}

TrayIcon::~TrayIcon()
{
    Remove();
}

bool TrayIcon::available()
{
    if (AvailableOverride())
        return *AvailableOverride();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::SetAvailableForTests(std::optional<bool> available)
{
    AvailableOverride() = available;
}

bool TrayIcon::Add()
{
    if (icon_)
        return true;
    if (!available())
        return false;
    icon_ = new QSystemTrayIcon(this);
    icon_->setContextMenu(menu_);
    // A click on the icon is how a Linux desktop brings a program back.
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    ShowFromTray();
            });
    return true;
}

bool TrayIcon::Update()
{
    if (!icon_)
        return false;
    icon_->setIcon(TrayImage(nextFrame_));
    nextFrame_ = (nextFrame_ + 1) % kTrayFrameCount;
    icon_->setToolTip(QString::fromLatin1(kProductTitle).left(kTipLimit));
    if (!icon_->isVisible())
        icon_->show();
    return true;
}

void TrayIcon::Remove()
{
    if (!icon_)
        return;
    icon_->hide();
    delete icon_;
    icon_ = nullptr;
}

void TrayIcon::HideWindows()
{
    if (!away_ && main_ && dialog_) {
        Add();
        Update();
        mainState_ = main_->windowState();
        minimised_ = !added();
        if (minimised_) {
            dialog_->showMinimized();
            main_->showMinimized();
        } else {
            dialog_->hide();
            main_->hide();
        }
        away_ = true;
    }
    if (added())
        animation_->start();
}

void TrayIcon::ShowFromTray()
{
    if (away_ && main_ && (main_->isHidden() || main_->isMinimized()))
        BringBack();
    RaiseDialog();
}

void TrayIcon::RestoreWindows()
{
    animation_->stop();
    Remove();
    if (away_)
        BringBack();
    RaiseDialog();
}

void TrayIcon::Discard()
{
    animation_->stop();
    Remove();
    away_ = false;
}

void TrayIcon::BringBack()
{
    away_ = false;
    if (!main_ || !dialog_)
        return;
    if (minimised_) {
        main_->setWindowState(mainState_ & ~Qt::WindowMinimized);
        main_->show();
        dialog_->showNormal();
    } else {
        main_->show();
        dialog_->show();
    }
}

void TrayIcon::RaiseDialog()
{
    if (dialog_ && dialog_->isVisible()) {
        dialog_->raise();
        dialog_->activateWindow();
    }
}

} // namespace orvex
