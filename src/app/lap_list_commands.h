#pragma once
// The "データ" tab's lap-list commands: clear all lap data, edit a data
// name, the group button and the hidden recalculation button.
#include <functional>
#include <optional>
#include "analysis/lap_analysis.h"
#include "analysis/lap_ranking.h"
#include "analysis/sector_commands.h"
#include "model/session.h"
#include "platform/prompts.h"

class QWidget;

namespace vel {

inline const QString ClearAllQuestion = QStringLiteral("すべての走行データをクリアしますか？");

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
