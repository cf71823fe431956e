#include "model/lap_list_model.h"

namespace vel {

int LapListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.LapStrLstNum();
}

int LapListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LapListColumns;
}

QVariant LapListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.LapStrLstNum() || index.column() >= LapListColumns)
        return {};
    if (role == Qt::DisplayRole) return list_.Rows[index.row()].Cells[index.column()];
    return {};
}

QVariant LapListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal && section >= 0 && section < LapListColumns)
        return LapListHeaders()[section];
    return {};
}

void LapListModel::Reset() {
    beginResetModel();
    endResetModel();
}

void LapListModel::RowsChanged(int firstRow, int lastRow) {
    emit dataChanged(index(firstRow, 0), index(lastRow, LapListColumns - 1));
}

} // namespace vel
