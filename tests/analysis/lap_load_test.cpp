#include <gtest/gtest.h>
#include <QFileInfo>
#include <QTemporaryDir>
#include "analysis/lap_analysis.h"
#include "model/lap_file.h"
#include "shown_laps.h"
#include "support/test_folders.h"

namespace vel {
namespace {

QVector<TLapElmRec> EastRun(int samples) {
    test::Drive d;
    d.spd = 50;
    return test::StraightRun(d, 270, samples);
}

class LapLoadTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Session s;
    test::CallLog log;
    test::RecordingPanes panes{log};
    GraphRefresh graphs{&panes};
    test::RecordingLapAnalysis analysis{s, log};
    LoadedLaps& laps = s.loadedLaps;

    LapLoadTest() { ClrDispSlots(s.comparison); }
    QString Write(int number, const QVector<TLapElmRec>& recs) {
        const QString fn = WorkingFileName(dir.path() + "/", number);
        EXPECT_TRUE(test::WriteWorkingFile(fn, recs));
        return fn;
    }
    bool Load(const QString& fn, QString* error = nullptr) {
        QString ignored;
        return LoadLapFileBin(fn, analysis, graphs, error ? error : &ignored);
    }
};

TEST_F(LapLoadTest, CallsTheAnalysisInOrderWithTheLapInPlace) {
    // Records what the analysis sees of the laps when it is handed lap k.
    struct Watching : test::RecordingLapAnalysis {
        Watching(Session& s, test::CallLog& log) : RecordingLapAnalysis(s, log) {}
        void SetDispSlot(int slot, int lap) override {
            const LoadedLaps& laps = session().loadedLaps;
            seen << QString("%1/%2").arg(laps.LapDt.size()).arg(laps.LapDtNum);
            RecordingLapAnalysis::SetDispSlot(slot, lap);
        }
        QStringList seen;
    } watching(s, log);

    const QString fn = Write(1, EastRun(20));
    QString error;
    ASSERT_TRUE(LoadLapFileBin(fn, watching, graphs, &error));
    ASSERT_TRUE(LoadLapFileBin(fn, watching, graphs, &error));
    EXPECT_EQ(log.calls, QStringList({"SetDispSlot(0,0)", "SetDElm(0)", "SetGElm(0)", "CalCurValLap(0)",
                                      "TakeCurPosFromSlot0", "SetDataStr", "CalCurValAll",
                                      "SetDispSlot(1,1)", "SetDElm(1)", "SetGElm(1)", "CalCurValLap(1)",
                                      "SetDataStr", "CalCurValAll"}));
    EXPECT_EQ(watching.seen, QStringList({"1/0", "2/1"}));
    EXPECT_EQ(laps.LapDtNum, 2);
}

TEST_F(LapLoadTest, RefusedLoadsChangeNothing) {
    const QString good = Write(1, EastRun(20));
    const QString empty = Write(2, {});
    const QString odd = dir.path() + "/temp0003.dtb";
    QByteArray bytes = test::ReadFile(good);
    test::WriteFile(odd, bytes + "x");
    struct Case {
        const char* name;
        QString fn;
        QString error;
    };
    QVector<Case> cases = {
        {"no record", empty, "データがありません。"},
        {"missing file", dir.path() + "/temp0009.dtb", ""},
        {"size not a whole number of records", odd, ""},
    };
    // A procfs file claims size 0 but reads as text: a read error.
    if (QFileInfo("/proc/version").isFile()) cases.push_back({"read error", "/proc/version", "*"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        laps = LoadedLaps();
        ASSERT_TRUE(Load(good));
        log.calls.clear();
        QString error = "old";
        EXPECT_FALSE(Load(c.fn, &error));
        if (c.error == "*") {
            EXPECT_FALSE(error.isEmpty());
        } else {
            EXPECT_EQ(error, c.error);
        }
        EXPECT_EQ(laps.LapDtNum, 1);
        EXPECT_EQ(laps.LapDt.size(), 1);
        EXPECT_EQ(laps.LapDt[0].ElmNum, 20);
        EXPECT_TRUE(log.calls.isEmpty());
    }
}

TEST_F(LapLoadTest, FifthLapIsRefused) {
    const QString fn = Write(1, EastRun(20));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(Load(fn));
    log.calls.clear();
    QString error = "old";
    EXPECT_FALSE(Load(fn, &error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(laps.LapDtNum, 4);
    EXPECT_EQ(laps.LapDt.size(), 4);
    EXPECT_TRUE(log.calls.isEmpty());
}

} // namespace
} // namespace vel
