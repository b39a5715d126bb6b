#pragma once

#include "workspace/FixedText.h"

#include <QAbstractTableModel>

#include <array>
#include <vector>

namespace orvex {

// The project list as a view over the project rows, read by index; the model
// holds no data of its own.
class ProjectListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Column identities: 1 Title, 2 Created, 3 Updated, 4 Description.
    static QString CaptionOf(int identity);

    explicit ProjectListModel(const RecordList& rows, QObject* parent = nullptr);

    // The identities shown, in order, from the settings' positions (0 = none).
    void setColumns(const std::array<int, 4>& positions);
    const std::vector<int>& columns() const { return columns_; }
    int columnOfCaption(const QString& caption) const;

    // Tells the views that the rows were rebuilt or re-sorted.
    void reset();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const RecordList& rows_;
    std::vector<int> columns_;
};

} // namespace orvex
