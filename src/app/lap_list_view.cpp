#include "app/lap_list_view.h"

#include <memory>
#include <QPainter>
#include <QTableView>
#include <QTableWidget>
#include "analysis/display_slots.h"
#include "app/small_dialogs.h"

namespace vel {

namespace {


void SetCell(QTableWidget* grid, int r, int c, const QString& text, const GridCellLook& look) {
    QTableWidgetItem* it = grid->item(r, c);
    if (!it) {
        it = new QTableWidgetItem;
        grid->setItem(r, c, it);
    }
    it->setText(text);
    it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    it->setBackground(look.header ? grid->palette().button().color() : ColorOf(look.brush));
    it->setForeground(ColorOf(look.font));
}

template <class Look>
void ShowGrid(QTableWidget* grid, const QVector<QStringList>& rows, int cols, int sectNum, Look look) {
    if (!grid) return;
    grid->setRowCount(static_cast<int>(rows.size()));
    grid->setColumnCount(cols);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < cols; ++c)
            SetCell(grid, r, c, c < rows[r].size() ? rows[r][c] : QString(), look(sectNum, r, c));
}

} // namespace


int LapCellTextX(int col, int left, int right, int textWidth) {
    if (col >= 1 && col <= 3) return left + ((right - left + 1) - textWidth) / 2;
    if ((col >= 4 && col <= 6) || (col >= 8 && col <= 18)) return right - textWidth - 2;
    if (col == 7) return left + 6;
    return left + 2;
}

QVariant LapListHeaderModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= LapListColumns)
        return QIdentityProxyModel::headerData(section, o, role);
    switch (role) {
    case Qt::DisplayRole:
        return LapListHeader(state_, section);
    case Qt::TextAlignmentRole: {
        Qt::Alignment h = Qt::AlignLeft;
        if (section >= 1 && section <= 3) h = Qt::AlignHCenter;
        else if ((section >= 4 && section <= 6) || (section >= 9 && section <= 18)) h = Qt::AlignRight;
        else if (section == 8 && LapListHeader(state_, 8) != QStringLiteral("セクタ")) h = Qt::AlignRight;
        return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case Qt::FontRole:
        if (section >= DriftCol && section <= 18) {
            QFont f;
            f.setPointSize(9);
            return f;
        }
        return {};
    default:
        return QIdentityProxyModel::headerData(section, o, role);
    }
}

void LapListHeaderModel::Refresh() {
    emit headerDataChanged(Qt::Horizontal, 0, LapListColumns - 1);
}

void LapListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int col = index.column();
    const CellColours c = LapCellColours(list_, laps_, state_, index.row() + 1, col);
    const QRect r = option.rect;
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetrics fm(option.font);
    painter->save();
    painter->fillRect(r, ColorOf(c.brush));
    painter->setFont(option.font);
    painter->setPen(ColorOf(c.font));
    const int x = LapCellTextX(col, r.left(), r.right(), fm.horizontalAdvance(text));
    painter->drawText(QPoint(x, r.top() + 2 + fm.ascent()), text);
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

LapListHeaderModel* InstallLapListView(QTableView* view, QAbstractItemModel* source, const LapList& list,
                                       const LoadedLaps& laps, const LapRankState& state) {
    auto* header = new LapListHeaderModel(state, view);
    header->setSourceModel(source);
    view->setModel(header);
    view->setItemDelegate(new LapListDelegate(list, laps, state, view));
    // The list is filled again after every ranking and shown lap; its
    // current cell stays where it was, as a grid's does, rather than going
    // with the old rows (the commands act on the current row).
    auto kept = std::make_shared<QPoint>(-1, -1);
    QObject::connect(header, &QAbstractItemModel::modelAboutToBeReset, view, [view, kept] {
        const QModelIndex cur = view->currentIndex();
        *kept = cur.isValid() ? QPoint(cur.column(), cur.row()) : QPoint(-1, -1);
    });
    QObject::connect(header, &QAbstractItemModel::modelReset, view, [view, header, kept] {
        if (kept->y() < 0 || kept->y() >= header->rowCount() || kept->x() >= header->columnCount()) return;
        // Where the user scrolled to stays as it is.
        const bool scroll = view->hasAutoScroll();
        view->setAutoScroll(false);
        view->selectionModel()->setCurrentIndex(header->index(kept->y(), kept->x()), QItemSelectionModel::NoUpdate);
        view->setAutoScroll(scroll);
    });
    return header;
}

void ShowSectTables(QTableWidget* sectGrid, QTableWidget* driftGrid, const SectTables& t, int sectNum) {
    ShowGrid(sectGrid, t.sect, SectGridCols, sectNum, SectCellLook);
    ShowGrid(driftGrid, t.drift, DriftGridCols, sectNum, DriftCellLook);
}

} // namespace vel
