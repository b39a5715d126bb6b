#include "mainwindow/RowListModel.h"

#include <numeric>

namespace orvex {

RowListModel::RowListModel(const RecordList& rows, int identities, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), identities_(identities),
      columns_(static_cast<std::size_t>(identities))
{
    std::iota(columns_.begin(), columns_.end(), 1);
}

void RowListModel::setColumns(const std::vector<int>& positions)
{
    beginResetModel();
    columns_.clear();
    for (int identity : positions) {
        if (identity >= 1 && identity <= identities_)
            columns_.push_back(identity);
    }
    if (columns_.empty())
        columns_.push_back(1);
    endResetModel();
}

int RowListModel::columnOfCaption(const QString& caption) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (captionOf(columns_[i]) == caption)
            return static_cast<int>(i);
    }
    return -1;
}

void RowListModel::reset()
{
    beginResetModel();
    endResetModel();
}

void RowListModel::rowChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int RowListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

Qt::Alignment RowListModel::alignmentOf(int identity) const
{
    return (centred(identity) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

QVariant RowListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size() ||
        static_cast<std::size_t>(index.column()) >= columns_.size())
        return {};
    const int identity = columns_[static_cast<std::size_t>(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(identity));
    return cell(rows_[static_cast<std::size_t>(index.row())], identity, index.column(), role);
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= columns_.size())
        return {};
    const int identity = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return captionOf(identity);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(identity));
    return {};
}

} // namespace orvex
