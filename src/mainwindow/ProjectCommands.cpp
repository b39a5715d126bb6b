#include "mainwindow/ProjectCommands.h"

#include "mainwindow/MessageBoxes.h"
#include "mainwindow/QtText.h"
#include "mainwindow/ProjectDialog.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/TOrvex.h"
#include "mainwindow/UrlListModel.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QTreeView>

namespace orvex {

ProjectCommands::ProjectCommands(TOrvex& window) : QObject(&window), window_(window) {}

void ProjectCommands::Connect()
{
    const MainActions& a = window_.actions();
    connect(a.newProject, &QAction::triggered, this, &ProjectCommands::NewProject);
    connect(a.renameProject, &QAction::triggered, this, &ProjectCommands::RenameProject);
    connect(a.deleteProject, &QAction::triggered, this, &ProjectCommands::DeleteProject);
}

void ProjectCommands::NewProject()
{
    if (dialogOpen_ || window_.busy())
        return;
    dialogOpen_ = true;
    Workspace& workspace = window_.workspace();
    ProjectDialog dialog(ProjectDialog::Mode::New,
                         [&workspace](const QString& title) {
                             return workspace.TitleExists(title.toStdString());
                         },
                         &window_);
    if (dialog.exec() == QDialog::Accepted) {
        std::string id;
        const Status created = workspace.CreateProject(dialog.title().trimmed().toStdString(),
                                                       dialog.description().trimmed().toStdString(), id);
        if (!created) {
            ShowMessage(&window_, MessageKind::Error, ToQString(created.message()));
        } else if (const Status saved = workspace.SaveProjects(); !saved) {
            ShowMessage(&window_, MessageKind::Error, ToQString(saved.message()));
        } else {
            window_.BuildProjectRows();
            const int row = window_.RefreshProjectList(id, ToQString(window_.projectSort().caption), false);
            if (row >= 0) {
                window_.lastProjectRow = -1;
                window_.SelectProjectRow(row);
            }
        }
    }
    window_.UpdateUrlButtons();
    dialogOpen_ = false;
    window_.activateWindow();
}

void ProjectCommands::RenameProject()
{
    const int row = window_.CurrentProjectRow();
    if (window_.projectRows().empty() || row < 0 || dialogOpen_ || window_.busy())
        return;
    dialogOpen_ = true;
    RecordList& rows = window_.projectRows();
    const std::string& current = rows[static_cast<std::size_t>(row)];
    ProjectDialog dialog(ProjectDialog::Mode::Rename, {}, &window_);
    dialog.setTitle(ToQString(TrimView(ProjectFieldView(current, ProjectField::Title))));
    dialog.setDescription(ToQString(TrimView(ProjectFieldView(current, ProjectField::Description))));
    if (dialog.exec() == QDialog::Accepted) {
        const std::string title = dialog.title().toStdString();
        const std::string description = dialog.description().toStdString();
        // The row keeps its place until the next sort; its record takes the same texts.
        const long long index = RowStoreIndex(ProjectFieldView(current, ProjectField::StoreIndex));
        RecordList one{current};
        SetProjectField(one, 0, title, ProjectField::Title);
        SetProjectField(one, 0, description, ProjectField::Description);
        rows[static_cast<std::size_t>(row)] =
            one.front() + std::string(ProjectFieldView(current, ProjectField::StoreIndex));
        if (index >= 0) {
            const Status renamed = window_.workspace().RenameProject(
                static_cast<std::size_t>(index), title, description);
            if (!renamed)
                ShowMessage(&window_, MessageKind::Error, ToQString(renamed.message()));
        }
        window_.projectModel()->reset();
        window_.lastProjectRow = -1;
        window_.SelectProjectRow(row);
    }
    dialogOpen_ = false;
    window_.activateWindow();
}

void ProjectCommands::DeleteProject()
{
    QList<int> selected;
    for (const QModelIndex& index : window_.projectView()->selectionModel()->selectedRows())
        selected.append(index.row());
    std::sort(selected.begin(), selected.end());
    if (window_.projectRows().empty() || selected.isEmpty() || window_.busy())
        return;
    if (!ShowMessage(&window_, MessageKind::DeleteProjects,
                     QString("Do you want to delete Projects (%1)?     ").arg(selected.size())))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    window_.TakeBusyLock();
    window_.UpdateUrlButtons();
    std::vector<std::size_t> indices;
    for (int row : selected) {
        const long long index = RowStoreIndex(
            ProjectFieldView(window_.projectRows()[static_cast<std::size_t>(row)], ProjectField::StoreIndex));
        if (index >= 0)
            indices.push_back(static_cast<std::size_t>(index));
    }
    Status saved = Status::Ok();
    const std::size_t before = window_.workspace().projects().size();
    window_.workspace().DeleteProjects(indices, saved,
                                       [] { QCoreApplication::processEvents(); });
    if (!saved)
        ShowMessage(&window_, MessageKind::Error, ToQString(saved.message()));
    if (window_.workspace().projects().size() != before) {
        window_.BuildProjectRows();
        window_.RefreshProjectList("", ToQString(window_.projectSort().caption), false);
        window_.lastProjectRow = -1;
        if (window_.projectRows().empty())
            window_.CloseProject();
        else
            window_.SelectProjectRow(0);
    }
    window_.ReleaseBusyLock();
    QApplication::restoreOverrideCursor();
    window_.UpdateUrlButtons();
}

} // namespace orvex
