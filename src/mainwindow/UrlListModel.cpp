#include "mainwindow/UrlListModel.h"

#include "imaging/SmallIcon.h"
#include "mainwindow/Artwork.h"
#include "mainwindow/QtText.h"
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

QVariant UrlListModel::cell(const std::string& row, int kind, int column, int role) const
{
    static const int fields[] = {UrlRowField::Url, UrlRowField::Title, UrlRowField::Created,
                                 UrlRowField::StatusText, UrlRowField::Updated};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return ToQString(TrimView(UrlRowFieldView(row, fields[kind - 1])));
    case Qt::DecorationRole:
        return column == 0 ? QVariant(decorationOf(row)) : QVariant();
    case Qt::BackgroundRole:
        if (const std::optional<RowColour> tint = RowBackgroundOf(row))
            return QBrush(QColor(tint->red, tint->green, tint->blue));
        return {};
    default:
        return {};
    }
}

} // namespace orvex
