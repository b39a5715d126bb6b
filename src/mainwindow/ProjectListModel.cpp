#include "mainwindow/ProjectListModel.h"

#include "mainwindow/Artwork.h"
#include "mainwindow/QtText.h"
#include "workspace/RecordLayout.h"

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
    if (role == Qt::DecorationRole && column == 0)
        return ToolIconOf(ToolIcon::NewProject);
    return {};
}

} // namespace orvex
