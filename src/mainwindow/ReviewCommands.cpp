#include "mainwindow/ReviewCommands.h"

#include "mainwindow/MessageBoxes.h"
#include "mainwindow/QtText.h"
#include "mainwindow/TOrvex.h"
#include "review/ReviewGenerator.h"
#include "workspace/RecordLayout.h"

#include <QAction>
#include <QApplication>
#include <QProgressBar>

namespace orvex {

ReviewCommands::ReviewCommands(TOrvex& window) : QObject(&window), window_(window) {}

void ReviewCommands::Connect()
{
    const MainActions& a = window_.actions();
    connect(a.reloadReview, &QAction::triggered, this, &ReviewCommands::ReloadReview);
    connect(a.generateReview, &QAction::triggered, this, &ReviewCommands::GenerateReview);
    connect(a.styleSimple, &QAction::triggered, this, [this] { ChooseStyle(ReviewStyle::Simple); });
    connect(a.styleGallery, &QAction::triggered, this, [this] { ChooseStyle(ReviewStyle::Gallery); });
    connect(a.styleGrayGranite, &QAction::triggered, this,
            [this] { ChooseStyle(ReviewStyle::GrayGranite); });
}

void ReviewCommands::ChooseStyle(int style)
{
    window_.settings().previewStyle = style;
    window_.ShowReview();
}

void ReviewCommands::ReloadReview() { window_.ShowReview(); }

void ReviewCommands::GenerateReview()
{
    const int projectRow = window_.CurrentProjectRow();
    if (projectRow < 0 || window_.busy())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    window_.TakeBusyLock();
    window_.UpdateUrlButtons();

    const Status written = WriteReviews();

    window_.lastProjectRow = -1;
    window_.OpenProject(projectRow);
    window_.ReleaseBusyLock();
    QApplication::restoreOverrideCursor();
    window_.UpdateUrlButtons();
    if (window_.closing())
        return;
    if (!written)
        ShowMessage(&window_, MessageKind::Error, ToQString(written.message()));
    else
        ShowMessage(&window_, MessageKind::Done, "Ok!      ");
}

Status ReviewCommands::WriteReviews()
{
    const int projectRow = window_.CurrentProjectRow();
    if (projectRow < 0 || static_cast<std::size_t>(projectRow) >= window_.projectRows().size())
        return Status::Error("No project is selected.");
    const std::string& row = window_.projectRows()[static_cast<std::size_t>(projectRow)];
    const RecordList& urlRows = window_.urlRows();
    QProgressBar* bar = window_.progressBar();
    bar->setRange(0, std::max<int>(1, static_cast<int>(3 * urlRows.size())));
    bar->setValue(0);
    bar->show();
    const ReviewInput input{window_.projectFolder(), urlRows,
                            TrimText(ProjectFieldView(row, ProjectField::Title))};
    int step = 0;
    const Status written = GenerateReviews(input, [this, bar, &step] {
        bar->setValue(++step);
        // Paint the bar now and then without letting other commands in.
        if (step % 64 == 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return !window_.closing();
    });
    bar->hide();
    return written;
}

} // namespace orvex
