#pragma once

#include "workspace/FixedText.h"

#include <QAbstractTableModel>

#include <vector>

namespace orvex {

// A list view's model over a list of fixed-width rows, read by index: it holds
// no data of its own. Columns are numbered identities (1..N) placed at
// positions by the settings; subclasses give captions, alignments and cells.
class RowListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    RowListModel(const RecordList& rows, int identities, QObject* parent);

    // The identities shown, in order, from the settings' positions (0 = none);
    // with none at all the first identity is shown alone.
    void setColumns(const std::vector<int>& positions);
    const std::vector<int>& columns() const { return columns_; }
    int columnOfCaption(const QString& caption) const;
    // Tells the views that the rows were rebuilt or re-sorted.
    void reset();
    // Repaints one row after its text changed in place.
    void rowChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    virtual QString captionOf(int identity) const = 0;
    virtual bool centred(int identity) const = 0;
    // A cell of a valid row and column; the base answers text alignment itself.
    virtual QVariant cell(const std::string& row, int identity, int column, int role) const = 0;

private:
    Qt::Alignment alignmentOf(int identity) const;

    const RecordList& rows_;
    int identities_;
    std::vector<int> columns_;
};

} // namespace orvex
