#include "mainwindow/ProjectListModel.h"

#include "mainwindow/Artwork.h"
#include "workspace/RecordLayout.h"

namespace orvex {

namespace {
int FieldOf(int identity)
{
    switch (identity) {
    case 1: return ProjectField::Title;
    case 2: return ProjectField::Created;
    case 3: return ProjectField::Updated;
    default: return ProjectField::Description;
    }
}
} // namespace

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

ProjectListModel::ProjectListModel(const RecordList& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), columns_{1, 2, 3, 4}
{
}

void ProjectListModel::setColumns(const std::array<int, 4>& positions)
{
    beginResetModel();
    columns_.clear();
    for (int identity : positions) {
        if (identity >= 1 && identity <= 4)
            columns_.push_back(identity);
    }
    if (columns_.empty())
        columns_.push_back(1);
    endResetModel();
}

int ProjectListModel::columnOfCaption(const QString& caption) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (CaptionOf(columns_[i]) == caption)
            return static_cast<int>(i);
    }
    return -1;
}

void ProjectListModel::reset()
{
    beginResetModel();
    endResetModel();
}

int ProjectListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ProjectListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ProjectListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size() ||
        static_cast<std::size_t>(index.column()) >= columns_.size())
        return {};
    const int identity = columns_[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string& row = rows_[static_cast<std::size_t>(index.row())];
        return QString::fromStdString(TrimText(ProjectFieldView(row, FieldOf(identity))));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            (identity == 2 || identity == 3 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    if (role == Qt::DecorationRole && index.column() == 0)
        return ToolIconOf(ToolIcon::NewProject);
    return {};
}

QVariant ProjectListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= columns_.size())
        return {};
    const int identity = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return CaptionOf(identity);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            (identity == 2 || identity == 3 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

} // namespace orvex
