#pragma once

#include <QWidget>

class QAction;
class QProgressBar;
class QToolBar;
class QUrl;
class QWebEngineView;

namespace orvex {

// The review page of the main window: an embedded browser under a small tool
// bar, reporting its loading on the main window's progress bar.
class ReviewPane : public QWidget
{
    Q_OBJECT
public:
    ReviewPane(QProgressBar* progress, QWidget* parent = nullptr);

    QWebEngineView* view() const { return view_; }
    QToolBar* toolBar() const { return toolBar_; }
    QAction* backAction() const { return back_; }
    QAction* forwardAction() const { return forward_; }

    // Stops loading and shows an empty page.
    void Blank();
    // Stops loading and shows a page file.
    void ShowFile(const QString& path);

    // Whether a navigation to the address shows the progress bar: not for
    // empty pages, blank pages or built-in resources.
    static bool ShowsProgressFor(const QUrl& url);

private:
    void LoadStarted();
    void LoadProgress(int percent);
    void Print();
    void SaveAs();
    bool HasDocument() const;

    QProgressBar* progress_;
    QToolBar* toolBar_;
    QWebEngineView* view_;
    QAction* back_;
    QAction* forward_;
};

} // namespace orvex
