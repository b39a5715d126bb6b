#include "mainwindow/UrlListModel.h"

#include "imaging/SmallIcon.h"
#include "mainwindow/Artwork.h"
#include "mainwindow/logic/UrlRowLook.h"
#include "workspace/Folders.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"

#include <QBrush>
#include <QColor>
#include <QPainter>

#include <system_error>

namespace orvex {

namespace fs = std::filesystem;

void SiteIconCache::setProjectFolder(const fs::path& folder)
{
    folder_ = folder;
    entries_.clear();
}

QPixmap SiteIconCache::iconFor(const std::string& id)
{
    if (!IsValidId(id) || folder_.empty())
        return {};
    const fs::path file = UrlFilePaths(folder_, id)[0];
    std::error_code ec;
    qint64 stamp = -1;
    if (fs::exists(file, ec)) {
        const auto time = fs::last_write_time(file, ec).time_since_epoch().count();
        stamp = static_cast<qint64>(time) ^ static_cast<qint64>(fs::file_size(file, ec)) << 1;
    }
    Entry& entry = entries_[QString::fromStdString(id)];
    if (entry.stamp == stamp && stamp != -1)
        return entry.pixmap;
    entry.stamp = stamp;
    entry.pixmap = QPixmap();
    QImage image;
    if (stamp != -1 && LoadSmallIcon(file, image))
        entry.pixmap = QPixmap::fromImage(image);
    return entry.pixmap;
}

QString UrlListModel::CaptionOf(int kind)
{
    switch (kind) {
    case 1: return QStringLiteral("URL");
    case 2: return QStringLiteral("Title");
    case 3: return QStringLiteral("Created");
    case 4: return QStringLiteral("URL Status");
    case 5: return QStringLiteral("Updated");
    default: return {};
    }
}

namespace {

int FieldOf(int kind)
{
    switch (kind) {
    case 1: return UrlRowField::Url;
    case 2: return UrlRowField::Title;
    case 3: return UrlRowField::Created;
    case 4: return UrlRowField::StatusText;
    default: return UrlRowField::Updated;
    }
}

Qt::Alignment AlignmentOf(int kind)
{
    return (kind == 3 || kind == 5 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

} // namespace

UrlListModel::UrlListModel(const RecordList& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), columns_{1, 2, 3, 4, 5}
{
}

void UrlListModel::setColumns(const std::array<int, 5>& positions)
{
    beginResetModel();
    columns_.clear();
    for (int kind : positions) {
        if (kind >= 1 && kind <= 5)
            columns_.push_back(kind);
    }
    if (columns_.empty())
        columns_.push_back(1);
    endResetModel();
}

int UrlListModel::columnOfCaption(const QString& caption) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (CaptionOf(columns_[i]) == caption)
            return static_cast<int>(i);
    }
    return -1;
}

void UrlListModel::setProjectFolder(const fs::path& folder) { icons_.setProjectFolder(folder); }

void UrlListModel::reset()
{
    beginResetModel();
    endResetModel();
}

void UrlListModel::rowChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int UrlListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int UrlListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QPixmap UrlListModel::decorationOf(const std::string& row) const
{
    // The state icon, then the site icon (or an empty slot), side by side.
    QPixmap both(34, 16);
    both.fill(Qt::transparent);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, StateIcon(StateIconOf(row)).pixmap(16, 16));
    const QPixmap site = icons_.iconFor(std::string(UrlRowFieldView(row, UrlRowField::Id)));
    if (!site.isNull())
        painter.drawPixmap(18, 0, site);
    return both;
}

QVariant UrlListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size() ||
        static_cast<std::size_t>(index.column()) >= columns_.size())
        return {};
    const std::string& row = rows_[static_cast<std::size_t>(index.row())];
    const int kind = columns_[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return QString::fromStdString(TrimText(UrlRowFieldView(row, FieldOf(kind))));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentOf(kind));
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(decorationOf(row)) : QVariant();
    case Qt::BackgroundRole:
        if (const std::optional<RowColour> tint = RowBackgroundOf(row))
            return QBrush(QColor(tint->red, tint->green, tint->blue));
        return {};
    default:
        return {};
    }
}

QVariant UrlListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= columns_.size())
        return {};
    const int kind = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return CaptionOf(kind);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(AlignmentOf(kind));
    return {};
}

} // namespace orvex
