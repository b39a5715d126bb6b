#pragma once

#include "mainwindow/RowListModel.h"

namespace orvex {

// The project list over the project rows. Column identities: 1 Title,
// 2 Created, 3 Updated, 4 Description.
class ProjectListModel : public RowListModel
{
    Q_OBJECT
public:
    static QString CaptionOf(int identity);

    explicit ProjectListModel(const RecordList& rows, QObject* parent = nullptr)
        : RowListModel(rows, 4, parent)
    {
    }

protected:
    QString captionOf(int identity) const override { return CaptionOf(identity); }
    bool centred(int identity) const override { return identity == 2 || identity == 3; }
    QVariant cell(const std::string& row, int identity, int column, int role) const override;
};

} // namespace orvex
