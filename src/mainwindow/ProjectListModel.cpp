#include "mainwindow/ProjectListModel.h"

#include "mainwindow/Artwork.h"
#include "mainwindow/QtText.h"
#include "workspace/RecordLayout.h"

#include <utility>

namespace orvex {

QString ProjectListModel::CaptionOf(int identity)
{
    switch (identity) {
    case 1: return QStringLiteral("Title");
    case 2: return QStringLiteral("Created");
    case 3: return QStringLiteral("Updated");
    case 4: return QStringLiteral("Description");
    default: return {};
    }
}

QVariant ProjectListModel::cell(const std::string& row, int identity, int column, int role) const
{
    static const int fields[] = {ProjectField::Title, ProjectField::Created, ProjectField::Updated,
                                 ProjectField::Description};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return ToQString(TrimView(ProjectFieldView(row, fields[identity - 1])));
    if (role == Qt::DecorationRole && column == 0) {
        if (isBusy(row))
            return StateIcon(UrlStateIcon::Updating);
        return ToolIconOf(ToolIcon::NewProject);
    }
    return {};
}

void ProjectListModel::setBusyProject(const std::string& id)
{
    if (id == busyId_)
        return;
    const std::string before = std::exchange(busyId_, id);
    // Repaint the rows that lose or gain the mark.
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const std::string_view rowId = TrimView(ProjectFieldView(rows_[row], ProjectField::Id));
        if ((!before.empty() && rowId == before) || (!id.empty() && rowId == id))
            rowChanged(static_cast<int>(row));
    }
}

bool ProjectListModel::showsBusy(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() &&
           isBusy(rows_[static_cast<std::size_t>(row)]);
}

bool ProjectListModel::isBusy(std::string_view row) const
{
    return !busyId_.empty() && TrimView(ProjectFieldView(row, ProjectField::Id)) == busyId_;
}

} // namespace orvex
