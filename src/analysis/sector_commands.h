#pragma once
// The graph tab's sector-line commands: load, save and search sector files,
// set a line at the cursor and release lines, each change ending in the
// sector refresh (timing, comparison, cursor values, lap-list columns,
// panes, tables).
#include <array>
#include <functional>
#include <QString>
#include "analysis/lap_analysis.h"
#include "model/catalogue.h"
#include "model/sector_lines.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

inline const QString SectFileFilter = QStringLiteral("Sector files (*.sci)");
inline const QString SectOpenTitle = QStringLiteral("セクタを開く");
inline const QString SectSaveTitle = QStringLiteral("セクタに名前をつけて保存");
inline const QString SectNotFound = QStringLiteral("セクタが見つかりません。");

// The release dialog's answer: OK or not, "すべて解除" and the boxes of lines 1 to 4.
struct SectRelease {
    bool ok = false;
    bool all = false;
    std::array<bool, MaxSectLines> lines{};
};
// Shows the release dialog for sectNum lines (the boxes of missing lines
// disabled), "すべて解除" ticked beforehand when allTicked.
using SectReleaseAsk = std::function<SectRelease(int sectNum, bool allTicked)>;

// The gate through (lat, lon) at right angles to heading h (degrees by the
// program-wide rule), sectMt metres to each side: end 1 left of the
// direction of travel, end 2 right; PassNo 1. False when the position gives
// no finite line (a pole).
bool SectGate(long double lat, long double lon, long double heading, long double sectMt, TSectRec& out);
// The crossing of line that holds playTm on the reference lap, counted from
// its start; 1 when no crossing step holds it.
int32_t PassNoAtCursor(const TLapDtRec& ref, const TSectRec& line, long double playTm);
// Orders the lines by when the reference lap passes them; lines it does not
// pass as often as their PassNo follow in their old order. selSect
// (1-based, 0 none) follows its line.
void SortSectsByPassing(SectorLines& lines, const TLapDtRec& ref, int32_t& selSect);
// Removes the lines whose box is ticked (from line 4 down, later lines
// moving forward); selSect, when given, follows its line and becomes 0 when
// its line goes.
void RemoveSects(SectorLines& lines, const std::array<bool, MaxSectLines>& ticked, int32_t* selSect);

// A line at the cursor of the reference lap: refused (false, nothing
// changed) while no lap is shown in slot 0, with four lines, at play time 0
// or at the lap's end, or for a line equal to one already set. Otherwise the
// line is added with its pass number and the lines are re-sorted.
bool AddSectAtCursor(SectorLines& lines, const LoadedLaps& laps, Comparison& cmp, long double sectMt);

class SectorCommands {
public:
    // playing tells whether playback runs (the commands then do nothing);
    // chooser shows the selection dialog of the search, release the release dialog.
    SectorCommands(Session& session, SectorLines& lines, Prompts& prompts, const Services& services,
                   CircuitChooser chooser, SectReleaseAsk release, std::function<bool()> playing);

    // Fills the sector and drift tables (the last step of a refresh).
    std::function<void()> SetSectGrid;

    void SpeedButtonLdSectClick();
    void SpeedButtonSvSectClick();
    void SpeedButtonSelSectClick();
    void SpeedButtonSetSectClick();
    void SpeedButtonClrSectClick();

    // The refresh after the lines changed; the short form recomputes the
    // cursor values of slot 0 alone.
    void SectRefresh(bool full);

private:
    bool Playing() const { return playing_ && playing_(); }
    // Replaces the lines from a file; false after an error was shown.
    bool LoadFrom(const QString& path);

    Session& session_;
    SectorLines& lines_;
    Prompts& prompts_;
    Services services_;
    CircuitChooser chooser_;
    SectReleaseAsk release_;
    std::function<bool()> playing_;
};

} // namespace vel
