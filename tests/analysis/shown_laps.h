#pragma once
// A session with lap-list rows and their working files, the real analysis
// and recording neighbours: laps reach the slots the way the program loads
// them, by double clicks on the rows.
#include <functional>
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include "analysis/display_slots.h"
#include "analysis/lap_analysis.h"
#include "model/lap_file.h"
#include "model/session.h"
#include "support/lap_builder.h"
#include "support/recording_analysis.h"
#include "support/recording_services.h"

namespace vel::test {

class ShownLapsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Session s;
    CallLog log;
    RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    RecordingLogger logger{log};
    SettableVideo video{log};
    RecordingLapAnalysis analysis{s, log};
    RecordingRanking ranking{log};
    Services sv{&graphs, &logger, &video, &analysis, &ranking};
    LapRefreshHooks hooks;
    int32_t& sectNum = s.sectorLines.SectNum;

    ShownLapsTest() {
        s.folders.TempDir = dir.path() + "/temp/";
        ClrDispSlots(s.comparison);
        hooks.SetSectGrid = [this] { log.calls << "SetSectGrid"; };
        hooks.RepaintLapList = [this] { log.calls << "RepaintLapList"; };
    }

    LoadedLaps& laps() { return s.loadedLaps; }
    Comparison& cmp() { return s.comparison; }

    // A row of the lap list with its working file; gives the grid row.
    int AddRow(const QVector<TLapElmRec>& recs, const QString& source = "run") {
        const int number = static_cast<int>(s.lapList.Rows.size());
        EXPECT_TRUE(WriteWorkingFile(WorkingFileName(s.folders.TempDir, number), recs));
        LapRow row;
        row.Cells[0] = source;
        row.Cells[1] = QString::asprintf("%.4d", number);
        row.Cells[7] = source;
        s.lapList.Rows.append(row);
        s.lapList.LapStrLst.append(TLapStrLstRec{});
        return number + 1;
    }
    LapClick Click(int row) { return StringGridLapDataDblClick(analysis, sv, row, hooks); }
    // Each lap as a row, double-clicked in order.
    void Show(std::initializer_list<QVector<TLapElmRec>> runs) {
        for (const QVector<TLapElmRec>& recs : runs) ASSERT_EQ(Click(AddRow(recs)), LapClick::Loaded);
        log.calls.clear();
    }
};

} // namespace vel::test
