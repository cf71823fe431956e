#pragma once
// Table model of the lap list; the grid widget only shows it.
#include <QAbstractTableModel>
#include "model/lap_list.h"

namespace vel {

class LapListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LapListModel(LapList& list, QObject* parent = nullptr)
        : QAbstractTableModel(parent), list_(list) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Call after the rows of the list changed.
    void Reset();
    void RowsChanged(int firstRow, int lastRow);

private:
    LapList& list_;
};

} // namespace vel
