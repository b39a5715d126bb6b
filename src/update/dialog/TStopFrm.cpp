#include "update/dialog/TStopFrm.h"

#include "mainwindow/Artwork.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QTimer>

namespace orvex {

namespace {

bool& ShownFlag()
{
    static bool shown = false;
    return shown;
}

constexpr int kStripLeft = (TStopFrm::kClientWidth - TStopFrm::kStripWidth) / 2;
constexpr int kStripTop = 42;

} // namespace

TStopFrm::TStopFrm(QWidget* mainWindow, const QString& message, std::function<void()> onClosed)
    : QWidget(mainWindow, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      mainWindow_(mainWindow), onClosed_(std::move(onClosed))
{
    setObjectName("TStopFrm");
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window may be hidden in the tray: the splash closing is no reason to quit.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kClientWidth, kClientHeight);
    ShownFlag() = true;

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(1);
    panel->setGeometry(0, 0, kClientWidth, kClientHeight);

    message_ = new QLabel(message, panel);
    message_->setObjectName("Label1");
    QFont font = message_->font();
    font.setPixelSize(13);
    message_->setFont(font);
    message_->setGeometry(2, 12, kClientWidth - 4, 20);

    const QSize stripSize(kStripWidth, kStripHeight);
    strip_ = new QLabel(panel);
    strip_->setObjectName("Image1");
    strip_->setPixmap(SplashStrip(true, stripSize));
    strip_->setGeometry(kStripLeft, kStripTop, kStripWidth, kStripHeight);

    cover_ = new QFrame(panel);
    cover_->setObjectName("Panel2");
    cover_->setAutoFillBackground(true);
    QPalette white = cover_->palette();
    white.setColor(QPalette::Window, Qt::white);
    cover_->setPalette(white);
    cover_->setGeometry(kStripLeft + kCoveredFrom, kStripTop, kStripWidth - kCoveredFrom,
                        kStripHeight);
    // The track stands still while the cover moves right over the strip.
    track_ = new QLabel(cover_);
    track_->setObjectName("Image2");
    track_->setPixmap(SplashStrip(false, stripSize));
    track_->setGeometry(-kCoveredFrom, 0, kStripWidth, kStripHeight);

    animation_ = new QTimer(this);
    animation_->setInterval(kAnimationMs);
    connect(animation_, &QTimer::timeout, this, &TStopFrm::Animate);
    closeDelay_ = new QTimer(this);
    closeDelay_->setSingleShot(true);
    closeDelay_->setInterval(kCloseDelayMs);
    connect(closeDelay_, &QTimer::timeout, this, &TStopFrm::Timer2Timer);
}

TStopFrm::~TStopFrm()
{
    ShownFlag() = false;
}

bool TStopFrm::shown()
{
    return ShownFlag();
}

int TStopFrm::uncovered() const
{
    return cover_->x() - strip_->x();
}

void TStopFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    mayClose_ = false;
    secondRequest_ = false;
    message_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    PlaceOverMainWindow();
    animation_->start();
}

void TStopFrm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    painted_ = true;
}

void TStopFrm::PlaceOverMainWindow()
{
    if (!mainWindow_)
        return;
    const QRect over = mainWindow_->frameGeometry();
    move(over.center() - QPoint(width() / 2, height() / 2));
}

void TStopFrm::Animate()
{
    if (mayClose_) {
        animation_->stop();
        return;
    }
    if (!isVisible() || cover_->width() <= 0)
        return;
    cover_->setGeometry(cover_->x() + 1, cover_->y(), cover_->width() - 1, cover_->height());
    track_->move(track_->x() - 1, 0);
}

void TStopFrm::RequestClose()
{
    mayClose_ = true;
    close();
}

void TStopFrm::closeEvent(QCloseEvent* event)
{
    // Only the owner closes the splash, and then in two steps.
    if (!mayClose_ || !secondRequest_) {
        event->ignore();
        if (mayClose_ && !closeDelay_->isActive())
            closeDelay_->start();
        return;
    }
    event->accept();
    if (closed_)
        return;
    closed_ = true;
    animation_->stop();
    ShownFlag() = false;
    if (onClosed_)
        onClosed_();
}

void TStopFrm::Timer2Timer()
{
    secondRequest_ = true;
    mayClose_ = true;
    close();
}

} // namespace orvex
