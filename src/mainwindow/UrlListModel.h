#pragma once

#include "mainwindow/RowListModel.h"

#include <QHash>
#include <QPixmap>

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

// The URL list over the URL rows: texts, the state icon beside the site icon,
// and the row tints. Column kinds: 1 URL, 2 Title, 3 Created, 4 URL Status,
// 5 Updated.
class UrlListModel : public RowListModel
{
    Q_OBJECT
public:
    static QString CaptionOf(int kind);

    explicit UrlListModel(const RecordList& rows, QObject* parent = nullptr)
        : RowListModel(rows, 5, parent)
    {
    }
    void setProjectFolder(const std::filesystem::path& folder) { icons_.setProjectFolder(folder); }

protected:
    QString captionOf(int kind) const override { return CaptionOf(kind); }
    bool centred(int kind) const override { return kind == 3 || kind == 5; }
    QVariant cell(const std::string& row, int kind, int column, int role) const override;

private:
    QPixmap decorationOf(const std::string& row) const;

    mutable SiteIconCache icons_;
};

} // namespace orvex
