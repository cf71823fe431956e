#pragma once
// The "データ" tab's lap list as the user sees it: the cell painting of
// StringGridLapData (slot colours, group shading, best values), its headers
// with the current sector columns, and the sector and drift tables put into
// their grids.
#include <functional>
#include <optional>
#include <QIdentityProxyModel>
#include <QStyledItemDelegate>
#include "analysis/lap_analysis.h"
#include "analysis/lap_ranking.h"
#include "analysis/sector_commands.h"
#include "analysis/sector_tables.h"
#include "model/session.h"
#include "platform/prompts.h"

class QTableView;
class QTableWidget;

namespace vel {

// Where a lap-list text starts in a cell from left to right (inclusive
// pixels): columns 1 to 3 centred, 4 to 6 and 8 to 18 right-aligned, 7 at
// left + 6, 0 and 19 at left + 2.
int LapCellTextX(int col, int left, int right, int textWidth);

// The lap-list model seen through the current headers of columns 8 to 18,
// aligned as the grid's header row is (the drift headers in a 9-point font).
class LapListHeaderModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    LapListHeaderModel(const LapRankState& state, QObject* parent = nullptr)
        : QIdentityProxyModel(parent), state_(state) {}
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Call after the ranking changed the headers (the cells repaint when the
    // lap-list model is reset).
    void Refresh();

private:
    const LapRankState& state_;
};

// Paints the lap-list cells from the colour data: the brush fills the cell
// (selection is shown by the focus frame alone) and the text takes the
// font colour at the column's position.
class LapListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    LapListDelegate(const LapList& list, const LoadedLaps& laps, const LapRankState& state,
                    QObject* parent = nullptr)
        : QStyledItemDelegate(parent), list_(list), laps_(laps), state_(state) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const LapList& list_;
    const LoadedLaps& laps_;
    const LapRankState& state_;
};

// Shows source (the lap-list model) on view through a header model and the
// delegate, both owned by view; returns the header model, whose Refresh
// runs after the ranking changed. Set the column widths afterwards.
LapListHeaderModel* InstallLapListView(QTableView* view, QAbstractItemModel* source, const LapList& list,
                                       const LoadedLaps& laps, const LapRankState& state);

// Puts both tables into their grids (row 0 as the header row), each cell
// with its brush, font colour and right alignment.
void ShowSectTables(QTableWidget* sectGrid, QTableWidget* driftGrid, const SectTables& tables, int sectNum);

} // namespace vel
