// The main window's two lists: building and sorting their rows, selecting,
// opening a project, and keeping a selection through clicks on empty space.
#include "mainwindow/TOrvex.h"

#include "mainwindow/AboutBox.h"
#include "mainwindow/DetailPane.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/QtText.h"
#include "mainwindow/UrlListModel.h"
#include "workspace/RecordLayout.h"
#include "workspace/SortKeys.h"
#include "workspace/UrlRows.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeView>

namespace orvex {

namespace fs = std::filesystem;

namespace {

// The first row whose Id field equals the id; -1 for none or an empty id.
int FindRowOf(const RecordList& rows, const std::string& id,
              std::string_view (*idOf)(std::string_view))
{
    for (std::size_t i = 0; !id.empty() && i < rows.size(); ++i) {
        if (idOf(rows[i]) == id)
            return static_cast<int>(i);
    }
    return -1;
}

std::string_view ProjectIdOf(std::string_view row) { return ProjectFieldView(row, ProjectField::Id); }
std::string_view UrlIdOf(std::string_view row) { return UrlRowFieldView(row, UrlRowField::Id); }

void SelectRowOf(QTreeView* view, int row)
{
    if (row < 0 || row >= view->model()->rowCount())
        return;
    const QModelIndex index = view->model()->index(row, 0);
    view->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(index);
}

} // namespace

// --- Lists ---

void TOrvex::BuildProjectRows() { orvex::BuildProjectRows(workspace_->projects(), projectRows_); }

int TOrvex::RefreshProjectList(const std::string& id, const QString& caption, bool toggle)
{
    if (!caption.isEmpty()) {
        projectSort_.Choose(caption.toStdString(), toggle);
        if (const auto column = ProjectSortColumnFromCaption(projectSort_.caption))
            SortProjectRows(projectRows_, *column, projectSort_.ascending);
        ShowSortIndicators();
    }
    const int found = FindRowOf(projectRows_, id, &ProjectIdOf);
    projectModel_->reset();
    status_[0]->setText(QString("Projects: %1").arg(projectRows_.size()));
    return found;
}

void TOrvex::BuildUrlRows()
{
    if (urls_)
        orvex::BuildUrlRows(urls_->records(), urlRows_);
    else
        urlRows_.clear();
}

int TOrvex::RefreshUrlList(const std::string& id, const QString& caption, bool toggle)
{
    if (!caption.isEmpty()) {
        urlSort_.Choose(caption.toStdString(), toggle);
        if (const auto column = UrlSortColumnFromCaption(urlSort_.caption))
            SortUrlRows(urlRows_, *column, urlSort_.ascending);
        ShowSortIndicators();
    }
    const int found = FindRowOf(urlRows_, id, &UrlIdOf);
    urlModel_->reset();
    status_[1]->setText(QString("URLs: %1").arg(urlRows_.size()));
    return found;
}

void TOrvex::ShowSortIndicators()
{
    const auto show = [](QTreeView* view, int column, bool ascending) {
        view->header()->setSortIndicatorShown(column >= 0);
        if (column >= 0)
            view->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder
                                                               : Qt::DescendingOrder);
    };
    show(projectView_, projectModel_->columnOfCaption(ToQString(projectSort_.caption)),
         projectSort_.ascending);
    show(urlView_, urlModel_->columnOfCaption(ToQString(urlSort_.caption)), urlSort_.ascending);
}

void TOrvex::HeaderClicked(bool projectList, int section)
{
    QTreeView* view = projectList ? projectView_ : urlView_;
    RecordList& rows = projectList ? projectRows_ : urlRows_;
    if (rows.empty() || busy())
        return;
    if (!view->selectionModel()->hasSelection())
        projectList ? SelectProjectRow(0) : SelectUrlRow(0);
    const int selected = projectList ? CurrentProjectRow() : CurrentUrlRow();
    const std::string remembered = rows[static_cast<std::size_t>(std::max(0, selected))];
    const QString caption = view->model()->headerData(section, Qt::Horizontal).toString();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool guard = paneGuard_;
    paneGuard_ = false; // the selection comes back below; no refill on the way
    view->selectionModel()->clearSelection();
    paneGuard_ = guard;
    projectList ? (void)RefreshProjectList("", caption, true)
                : (void)RefreshUrlList("", caption, true);
    // The row selected before stays selected: found by its whole text.
    int found = 0;
    const QString wanted = ToQString(remembered);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool same = projectList ? rows[i] == remembered
                                      : ToQString(rows[i]).compare(wanted, Qt::CaseInsensitive) == 0;
        if (same) {
            found = static_cast<int>(i);
            break;
        }
    }
    projectList ? SelectProjectRow(found) : SelectUrlRow(found);
    QApplication::restoreOverrideCursor();
}

void TOrvex::SelectProjectRow(int row) { SelectRowOf(projectView_, row); }

void TOrvex::SelectUrlRow(int row) { SelectRowOf(urlView_, row); }

int TOrvex::CurrentProjectRow() const
{
    const QModelIndexList rows = projectView_->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        first = first < 0 ? index.row() : std::min(first, index.row());
    return first;
}

int TOrvex::CurrentUrlRow() const
{
    const QList<int> rows = SelectedUrlRows();
    return rows.isEmpty() ? -1 : rows.front();
}

QList<int> TOrvex::SelectedUrlRows() const
{
    QList<int> rows;
    // Ranges, not indexes: a select-all over 100,000 rows stays one range.
    for (const QItemSelectionRange& range : urlView_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TOrvex::OpenProject(int row)
{
    if (closing_ || projectRows_.empty() || row < 0 ||
        static_cast<std::size_t>(row) >= projectRows_.size() || !selectionReady_ ||
        row == lastProjectRow)
        return;
    selectionReady_ = false;
    lastProjectRow = row;
    const std::string& projectRow = projectRows_[static_cast<std::size_t>(row)];
    const std::optional<fs::path> folder = workspace_->ProjectFolder(projectRow);
    settings_.preview = TrimText(ProjectFieldView(projectRow, ProjectField::Id));
    setWindowTitle(QString("%1 - %2").arg(kProductTitle,
                                          ToQString(TrimView(ProjectFieldView(projectRow, ProjectField::Title)))));
    projectFolder_ = folder.value_or(fs::path());
    urls_.reset();
    urlRows_.clear();
    if (folder) {
        urls_ = std::make_unique<ProjectUrls>(*folder, workspace_->saveGate());
        const LoadOutcome outcome = urls_->Load();
        if (outcome.damage)
            workspace_->AddDamageReport(*outcome.damage);
        else if (!outcome.status)
            ShowMessage(this, MessageKind::Error, ToQString(outcome.status.message()));
    } else {
        ShowMessage(this, MessageKind::Error,
                    "The project's record names no valid folder; its URLs cannot be shown.");
    }
    urlModel_->setProjectFolder(projectFolder_);
    ClearDetailPane();
    titleLine_->clear();
    lastUrlRow = -1;
    BuildUrlRows();
    RefreshUrlList("", ToQString(urlSort_.caption), false);
    if (!urlRows_.empty())
        SelectUrlRow(0);
    ShowReview();
    status_[2]->setText(ToQString(projectFolder_.string()));
    selectionReady_ = true;
    UpdateUrlButtons();
    ReportDamage();
}

void TOrvex::CloseProject()
{
    lastProjectRow = -1;
    urls_.reset();
    urlRows_.clear();
    projectFolder_.clear();
    urlModel_->setProjectFolder({});
    urlModel_->reset();
    status_[1]->setText("URLs: 0");
    status_[2]->clear();
    setWindowTitle(kProductTitle);
    ClearDetailPane();
    titleLine_->clear();
    lastUrlRow = -1;
}

// --- Mouse clicks that would lose the selection ---

bool TOrvex::eventFilter(QObject* watched, QEvent* event)
{
    // Looked at once the view has handled the click, which may have cleared the selection.
    if (event->type() == QEvent::MouseButtonRelease && !closing_) {
        if (watched == urlView_->viewport())
            QTimer::singleShot(0, this, &TOrvex::KeepUrlSelection);
        else if (watched == projectView_->viewport())
            QTimer::singleShot(0, this, &TOrvex::KeepProjectSelection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TOrvex::KeepUrlSelection()
{
    if (urlView_->selectionModel()->hasSelection()) {
        if (lastUrlRow < 0)
            lastUrlRow = CurrentUrlRow();
    } else if (lastUrlRow >= 0 && !urlRows_.empty()) {
        SelectUrlRow(std::min<int>(lastUrlRow, static_cast<int>(urlRows_.size()) - 1));
    }
}

void TOrvex::KeepProjectSelection()
{
    if (projectView_->selectionModel()->hasSelection() || lastProjectRow < 0 ||
        projectRows_.empty())
        return;
    const int row = std::min<int>(lastProjectRow, static_cast<int>(projectRows_.size()) - 1);
    // Selecting the open project again must not reload it.
    projectView_->selectionModel()->select(projectModel_->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace orvex
