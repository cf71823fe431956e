#pragma once
// The analysis of the shown laps over the program's session: the service the
// lap loader calls for each new lap, and the lap list's double click that
// loads or removes a lap and refreshes the comparison.
#include <functional>
#include <QString>
#include "model/services.h"
#include "model/session.h"

namespace vel {

class LapAnalysis : public AnalysisService {
public:
    explicit LapAnalysis(Session& session) : session_(session) {}
    void SetDispSlot(int slot, int lap) override;
    void SetDElm(int lap) override;
    void SetGElm(int lap) override;
    void CalCurValLap(int lap) override;
    void TakeCurPosFromSlot0() override;
    void CalCurValAll() override;

private:
    Session& session_;
};

// Steps of the refresh after a lap is loaded or removed that belong to the
// sector timing, the tables, the MoTeC import and the lap list's view. An
// unset step is skipped; without SectNum there are no sector lines.
struct LapRefreshHooks {
    std::function<int()> SectNum;
    std::function<void()> CalSectTm;
    // Reads the G channels of MoTeC file fn into loaded lap `lap`.
    std::function<void(int lap, const QString& fn)> LoadMotecGCsv;
    std::function<void()> SetSectGrid;
    std::function<void()> RepaintLapList;
};

enum class LapClick {
    Nothing,     // header row, no data number, or four laps loaded
    Loaded,      // the row's lap was loaded into the next slot
    NotLoaded,   // its working file gave no lap (error says why when it is a read error)
    Removed,     // the row's lap was loaded and has been removed
};

// The double click on grid row `row` of the lap list (row 0 the header):
// removes the row's lap when it is loaded, otherwise loads its working file
// while fewer than four laps are loaded; after either, the comparison, the
// read-outs, the tables, the lap list and the video range are refreshed.
// services.analysis is expected to be a LapAnalysis over the same session.
LapClick StringGridLapDataDblClick(Session& session, const Services& services, int row,
                                   const LapRefreshHooks& hooks = {}, QString* error = nullptr);

} // namespace vel
