#include "browser/ReviewPane.h"

#include "mainwindow/Artwork.h"

#include <QAction>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace orvex {

ReviewPane::ReviewPane(QProgressBar* progress, QWidget* parent)
    : QWidget(parent), progress_(progress)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    toolBar_ = new QToolBar(this);
    toolBar_->setIconSize(QSize(16, 16));
    view_ = new QWebEngineView(this);
    layout->addWidget(toolBar_);
    layout->addWidget(view_, 1);

    back_ = toolBar_->addAction(ToolIconOf(ToolIcon::Back), "Back");
    forward_ = toolBar_->addAction(ToolIconOf(ToolIcon::Forward), "Forward");
    QAction* stop = toolBar_->addAction(ToolIconOf(ToolIcon::Stop), "Stop");
    QAction* refresh = toolBar_->addAction(ToolIconOf(ToolIcon::Refresh), "Refresh");
    toolBar_->addSeparator();
    QAction* print = toolBar_->addAction(ToolIconOf(ToolIcon::Print), "Print");
    QAction* saveAs = toolBar_->addAction(ToolIconOf(ToolIcon::SaveAs), "Save as...");
    back_->setEnabled(false);
    forward_->setEnabled(false);

    connect(back_, &QAction::triggered, view_, &QWebEngineView::back);
    connect(forward_, &QAction::triggered, view_, &QWebEngineView::forward);
    connect(refresh, &QAction::triggered, view_, &QWebEngineView::reload);
    connect(stop, &QAction::triggered, this, [this] {
        view_->stop();
        progress_->hide();
    });
    connect(print, &QAction::triggered, this, &ReviewPane::Print);
    connect(saveAs, &QAction::triggered, this, &ReviewPane::SaveAs);
    connect(view_, &QWebEngineView::loadStarted, this, &ReviewPane::LoadStarted);
    connect(view_, &QWebEngineView::loadProgress, this, &ReviewPane::LoadProgress);
    connect(view_, &QWebEngineView::loadFinished, progress_, &QWidget::hide);
    // Back and Forward follow what the browser's history allows.
    QWebEnginePage* page = view_->page();
    connect(page->action(QWebEnginePage::Back), &QAction::changed, this,
            [this, page] { back_->setEnabled(page->action(QWebEnginePage::Back)->isEnabled()); });
    connect(page->action(QWebEnginePage::Forward), &QAction::changed, this, [this, page] {
        forward_->setEnabled(page->action(QWebEnginePage::Forward)->isEnabled());
    });
}

bool ReviewPane::ShowsProgressFor(const QUrl& url)
{
    const QString target = url.toString().trimmed().toLower();
    return !target.isEmpty() && target != "about:blank" && !target.startsWith("res://");
}

void ReviewPane::Blank()
{
    view_->stop();
    view_->setUrl(QUrl("about:blank"));
}

void ReviewPane::ShowFile(const QString& path)
{
    view_->stop();
    view_->setUrl(QUrl::fromLocalFile(path));
}

void ReviewPane::LoadStarted()
{
    if (!ShowsProgressFor(view_->page()->requestedUrl()))
        return;
    progress_->setMaximum(100);
    progress_->setValue(0);
    progress_->show();
}

void ReviewPane::LoadProgress(int percent)
{
    // The bar never moves back within one navigation.
    if (percent < 100 && percent > progress_->value())
        progress_->setValue(percent);
}

bool ReviewPane::HasDocument() const
{
    const QUrl url = view_->url();
    return url.isValid() && !url.isEmpty() && url.toString() != "about:blank";
}

void ReviewPane::Print()
{
    if (!HasDocument())
        return;
    auto* printer = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dialog(printer, this);
    if (dialog.exec() != QDialog::Accepted) {
        delete printer;
        return;
    }
    // Printing runs on; the printer lives until the browser says it is done.
    connect(view_, &QWebEngineView::printFinished, this, [printer] { delete printer; },
            Qt::SingleShotConnection);
    view_->print(printer);
}

void ReviewPane::SaveAs()
{
    if (!HasDocument())
        return;
    const QString path = QFileDialog::getSaveFileName(this, "Save as...", view_->url().fileName(),
                                                      "Web page (*.html *.htm)");
    if (!path.isEmpty())
        view_->page()->save(path, QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
}

} // namespace orvex
