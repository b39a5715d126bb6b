#pragma once

#include "mainwindow/RowListModel.h"

#include <string>

namespace orvex {

// The project list over the project rows. Column identities: 1 Title,
// 2 Created, 3 Updated, 4 Description.
class ProjectListModel : public RowListModel
{
    Q_OBJECT
public:
    static QString CaptionOf(int identity);

    explicit ProjectListModel(const RecordList& rows, QObject* parent = nullptr)
        : RowListModel(rows, 4, parent), rows_(rows)
    {
    }

    // The project an update works on shows the busy picture instead of its
    // own; an empty Id gives every project its own picture back. Found by Id,
    // so the mark stays with the project whatever the order of the rows.
    void setBusyProject(const std::string& id);
    const std::string& busyProject() const { return busyId_; }
    // Whether the row shows the busy picture.
    bool showsBusy(int row) const;

protected:
    QString captionOf(int identity) const override { return CaptionOf(identity); }
    bool centred(int identity) const override { return identity == 2 || identity == 3; }
    QVariant cell(const std::string& row, int identity, int column, int role) const override;

private:
    bool isBusy(std::string_view row) const;

    const RecordList& rows_;
    std::string busyId_;
};

} // namespace orvex
