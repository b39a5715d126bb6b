#include "mainwindow/UrlCommands.h"

#include "mainwindow/MessageBoxes.h"
#include "mainwindow/QtText.h"
#include "mainwindow/TOrvex.h"
#include "mainwindow/UrlInputDialog.h"
#include "mainwindow/UrlListModel.h"
#include "mainwindow/logic/DetailText.h"
#include "mainwindow/logic/UrlRowLook.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"
#include "workspace/UrlRows.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QUrl>

namespace orvex {

UrlCommands::UrlCommands(TOrvex& window) : QObject(&window), window_(window) {}

void UrlCommands::Connect()
{
    const MainActions& a = window_.actions();
    connect(a.newUrl, &QAction::triggered, this, &UrlCommands::NewUrl);
    connect(a.editUrl, &QAction::triggered, this, &UrlCommands::EditUrl);
    connect(a.deleteUrls, &QAction::triggered, this, &UrlCommands::DeleteSelected);
    connect(a.deleteFailed, &QAction::triggered, this, &UrlCommands::DeleteFailed);
    connect(a.selectAll, &QAction::triggered, this, &UrlCommands::SelectAll);
    connect(a.deselectAll, &QAction::triggered, this, &UrlCommands::DeselectAll);
    connect(a.invertSelection, &QAction::triggered, this, &UrlCommands::InvertSelection);
    connect(a.browseUrl, &QAction::triggered, this, &UrlCommands::OpenUrl);
}

void UrlCommands::NewUrl()
{
    ProjectUrls* urls = window_.openUrls();
    if (dialogOpen_ || !urls || window_.busy())
        return;
    dialogOpen_ = true;
    UrlInputDialog dialog("New URL:", &window_);
    if (dialog.exec() == QDialog::Accepted) {
        const std::string id = urls->AddUrl(dialog.text().trimmed().toStdString());
        if (const Status saved = urls->Save(); !saved)
            ShowMessage(&window_, MessageKind::Error, ToQString(saved.message()));
        window_.BuildUrlRows();
        const int row = window_.RefreshUrlList(id, ToQString(window_.urlSort().caption), false);
        window_.SelectUrlRow(row);
    }
    window_.UpdateUrlButtons();
    dialogOpen_ = false;
    window_.activateWindow();
}

void UrlCommands::EditUrl()
{
    ProjectUrls* urls = window_.openUrls();
    const int row = window_.CurrentUrlRow();
    if (row < 0 || dialogOpen_ || !urls || window_.busy())
        return;
    RecordList& rows = window_.urlRows();
    const std::string oldUrl = TrimText(UrlRowFieldView(rows[static_cast<std::size_t>(row)], UrlRowField::Url));
    dialogOpen_ = true;
    UrlInputDialog dialog("Edit URL:", &window_);
    dialog.setText(ToQString(oldUrl));
    const bool saved = dialog.exec() == QDialog::Accepted;
    const std::string newUrl = dialog.text().trimmed().toStdString();
    if (saved && newUrl != oldUrl) {
        if (urls->HoldsUrl(newUrl)) {
            ShowMessage(&window_, MessageKind::Error, "URL already exists!     ");
            dialogOpen_ = false;
            return;
        }
        std::string& current = rows[static_cast<std::size_t>(row)];
        current = EditedUrlRow(current, newUrl, NowText());
        const long long index = RowStoreIndex(UrlRowFieldView(current, UrlRowField::StoreIndex));
        Status status = Status::Ok();
        if (index >= 0) {
            urls->EditUrl(index, newUrl, status);
            if (!status)
                ShowMessage(&window_, MessageKind::Error, ToQString(status.message()));
        }
        window_.lastUrlRow = -1;
        window_.urlModel()->rowChanged(row);
        window_.FillDetailPane(row);
    }
    dialogOpen_ = false;
    window_.activateWindow();
}

void UrlCommands::SelectAfterRemoval(int remembered)
{
    if (window_.urlRows().empty())
        return;
    const int row = std::min<int>(remembered, static_cast<int>(window_.urlRows().size()) - 1);
    window_.SelectUrlRow(row);
}

void UrlCommands::DeleteSelected()
{
    ProjectUrls* urls = window_.openUrls();
    const QList<int> selected = window_.SelectedUrlRows();
    const int projectRow = window_.CurrentProjectRow();
    if (window_.urlRows().empty() || selected.isEmpty() || !urls || projectRow < 0 ||
        window_.busy())
        return;
    if (!ShowMessage(&window_, MessageKind::Question,
                     QString("Do you want to delete selected items (%1)?     ").arg(selected.size())))
        return;
    const int remembered = std::max(0, window_.CurrentUrlRow());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    window_.TakeBusyLock();
    window_.UpdateUrlButtons();
    std::vector<std::string> ids;
    ids.reserve(static_cast<std::size_t>(selected.size()));
    for (int row : selected)
        ids.emplace_back(UrlRowFieldView(window_.urlRows()[static_cast<std::size_t>(row)], UrlRowField::Id));
    if (const Status deleted = urls->DeleteUrls(ids); !deleted)
        ShowMessage(&window_, MessageKind::Error, ToQString(deleted.message()));
    // Reloading the project shows exactly what is now stored.
    window_.lastProjectRow = -1;
    window_.OpenProject(projectRow);
    window_.lastUrlRow = -1;
    SelectAfterRemoval(remembered);
    window_.ReleaseBusyLock();
    QApplication::restoreOverrideCursor();
    window_.UpdateUrlButtons();
}

void UrlCommands::DeleteFailed()
{
    ProjectUrls* urls = window_.openUrls();
    RecordList& rows = window_.urlRows();
    if (rows.empty() || !urls || window_.busy())
        return;
    std::vector<std::string> ids;
    for (const std::string& row : rows) {
        if (IsFailedRow(row))
            ids.emplace_back(UrlRowFieldView(row, UrlRowField::Id));
    }
    if (ids.empty())
        return;
    if (!ShowMessage(&window_, MessageKind::Question,
                     QString("Do you want to delete items (%1)?     ").arg(ids.size())))
        return;
    const int remembered = std::max(0, window_.CurrentUrlRow());
    // The failed URLs' records go; their captured files stay.
    urls->RemoveRecords(ids);
    if (const Status saved = urls->Save(); !saved)
        ShowMessage(&window_, MessageKind::Error, ToQString(saved.message()));
    window_.BuildUrlRows();
    window_.RefreshUrlList("", ToQString(window_.urlSort().caption), false);
    window_.lastUrlRow = -1;
    if (rows.empty())
        window_.BlankReviewPane();
    else
        SelectAfterRemoval(remembered);
    window_.UpdateUrlButtons();
}

void UrlCommands::ChangeSelection(Selection change)
{
    QTreeView* view = window_.urlView();
    const int count = static_cast<int>(window_.urlRows().size());
    if (count == 0 || (change == Selection::None && !view->selectionModel()->hasSelection()))
        return;
    window_.SetPaneGuard(false); // the pane keeps showing what it showed
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QItemSelection all(window_.urlModel()->index(0, 0),
                             window_.urlModel()->index(count - 1, window_.urlModel()->columnCount() - 1));
    const auto flags = change == Selection::All      ? QItemSelectionModel::Select
                       : change == Selection::None   ? QItemSelectionModel::Deselect
                                                     : QItemSelectionModel::Toggle;
    view->selectionModel()->select(all, flags | QItemSelectionModel::Rows);
    QApplication::restoreOverrideCursor();
    window_.SetPaneGuard(true);
    window_.UpdateUrlButtons();
}

void UrlCommands::SelectAll() { ChangeSelection(Selection::All); }
void UrlCommands::DeselectAll() { ChangeSelection(Selection::None); }
void UrlCommands::InvertSelection() { ChangeSelection(Selection::Invert); }

void UrlCommands::OpenUrl()
{
    const int row = window_.CurrentUrlRow();
    if (window_.urlRows().empty() || row < 0)
        return;
    const std::string url = TrimText(UrlRowFieldView(window_.urlRows()[static_cast<std::size_t>(row)], UrlRowField::Url));
    if (url.empty())
        return;
    // The desktop's own browser for web pages.
    QDesktopServices::openUrl(QUrl(ToQString(url), QUrl::TolerantMode));
}

} // namespace orvex
