#pragma once
// The analysis of the shown laps over the program's session: loading a lap
// into the next display slot, and the lap list's double click that loads or
// removes a lap and refreshes the comparison.
#include <functional>
#include <QString>
#include "model/services.h"
#include "model/session.h"

namespace vel {

// The analysis steps of a load and of the refresh after it, over the
// session's laps, comparison and sector lines. Tests derive from it to
// record the order of the steps.
class LapAnalysis : public AnalysisService {
public:
    explicit LapAnalysis(Session& session) : session_(session) {}
    Session& session() const { return session_; }
    void SetDispSlot(int slot, int lap) override;
    void SetDElm(int lap) override;
    void SetGElm(int lap) override;
    void CalCurValLap(int lap) override;
    void TakeCurPosFromSlot0() override;
    void CalCurValAll() override;
    // The sector times of the shown laps over the session's sector lines.
    virtual void CalSectTm();

private:
    Session& session_;
};

// Reads working file fn (see ReadLapFileBin) into the next loaded lap and
// runs its analysis: display slot, drift, G and the values at the cursor.
// False when nothing was loaded: four laps already loaded (error left
// empty), or the file gave no lap.
bool LoadLapFileBin(const QString& fn, LapAnalysis& analysis, GraphsService& graphs, QString* error);

// Steps of the refresh after a lap is loaded or removed that belong to the
// tables, the MoTeC import and the lap list's view. An unset step is skipped.
struct LapRefreshHooks {
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
// while fewer than four laps are loaded; after either, the sector times, the
// comparison, the read-outs, the tables, the lap list and the video range
// are refreshed. analysis runs over the session that holds the rows.
LapClick StringGridLapDataDblClick(LapAnalysis& analysis, const Services& services, int row,
                                   const LapRefreshHooks& hooks = {}, QString* error = nullptr);
// The same with the session's own analysis steps.
LapClick StringGridLapDataDblClick(Session& session, const Services& services, int row,
                                   const LapRefreshHooks& hooks = {}, QString* error = nullptr);

} // namespace vel
