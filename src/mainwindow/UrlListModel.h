#pragma once

#include "workspace/FixedText.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>

#include <array>
#include <filesystem>
#include <vector>

namespace orvex {

// Site icons of the open project, read once per Id and read again only when
// the icon file changed, so that scrolling does not touch the disk.
class SiteIconCache
{
public:
    void setProjectFolder(const std::filesystem::path& folder);
    // The 16 by 16 icon, or a null pixmap when there is none.
    QPixmap iconFor(const std::string& id);

private:
    struct Entry
    {
        qint64 stamp = -1; // modification time and size of the file it was read from
        QPixmap pixmap;
    };
    std::filesystem::path folder_;
    QHash<QString, Entry> entries_;
};

// The URL list as a view over the URL rows, read by index: texts, the state
// icon beside the site icon, and the row tints.
class UrlListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Column kinds: 1 URL, 2 Title, 3 Created, 4 URL Status, 5 Updated.
    static QString CaptionOf(int kind);

    explicit UrlListModel(const RecordList& rows, QObject* parent = nullptr);

    void setColumns(const std::array<int, 5>& positions);
    const std::vector<int>& columns() const { return columns_; }
    int columnOfCaption(const QString& caption) const;
    void setProjectFolder(const std::filesystem::path& folder);

    void reset();
    // Repaints one row after its text changed in place.
    void rowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QPixmap decorationOf(const std::string& row) const;

    const RecordList& rows_;
    std::vector<int> columns_;
    mutable SiteIconCache icons_;
};

} // namespace orvex
