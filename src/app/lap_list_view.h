#pragma once
// The "データ" tab's lap list as the user sees it: the cell painting of
// StringGridLapData (slot colours, group shading, best values), its headers
// with the current sector columns, the sector and drift tables put into
// their grids, and the tab's commands: clear all lap data, edit a data
// name, the group button and the hidden recalculation button.
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

inline const QString ClearAllQuestion = QStringLiteral("すべての走行データをクリアしますか？");

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

// The caption and text of the name dialog, or nothing on Cancel.
using NameAsk = std::function<std::optional<QString>(const QString& caption, const QString& text)>;
// The name dialog (TOKBottomDlgEdiStr) over parent.
NameAsk QtNameAsk(QWidget* parent);

class LapListCommands {
public:
    LapListCommands(Session& session, SectorLines& lines, Prompts& prompts, const Services& services,
                    LapRanking& ranking, SectReleaseAsk release, NameAsk askName,
                    std::function<bool()> playing);

    // Fills the sector and drift tables; repaints the lap list.
    std::function<void()> SetSectGrid;
    std::function<void()> RepaintLapList;

    // Clears every row, the shown laps and, when the user agrees in the
    // release dialog, the sector lines. False when nothing was cleared.
    bool SpeedButtonClrDtClick();
    // Edits the data name (column 0) of grid row `row`; only while the lap
    // list has the focus and column 0 is selected. True when a name was taken.
    bool SpeedButtonEdiDataNameClick(int row, int col, bool lapListFocused);
    // The lap list's double click on grid row `row` (the current row).
    LapClick SpeedButtonGrpClick(int row);
    // The hidden "SC" button: both column fillers again.
    void SpeedButtonCalSectClick();

    // The refresh steps of the double click for this session.
    LapRefreshHooks Hooks();

private:
    Session& session_;
    SectorLines& lines_;
    Prompts& prompts_;
    Services services_;
    LapRanking& ranking_;
    SectReleaseAsk release_;
    NameAsk askName_;
    std::function<bool()> playing_;
};

} // namespace vel
