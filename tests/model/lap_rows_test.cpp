#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/records.h"
#include "model/lap_file.h"
#include "model/lap_rows.h"
#include "support/test_folders.h"

using namespace vel;
using vel::test::ReadFile;
using vel::test::WriteFile;

namespace {

// A run from 2021-05-03 09:59:58 of n samples spanning spanSec, the last
// at lastDist km.
QVector<TLapElmRec> MakeRun(int n, long double spanSec, long double maxSpd, long double lastDist) {
    QVector<TLapElmRec> recs;
    const double start = 44319.0 + (9 * 3600 + 59 * 60 + 58) / 86400.0;
    for (int i = 0; i < n; ++i) {
        TLapElmRec r;
        const long double sec = n > 1 ? spanSec * i / (n - 1) : 0;
        r.DtTm = start + static_cast<double>(sec / 86400);
        r.Sec = sec;
        r.Spd = i == n / 2 ? maxSpd : maxSpd / 2;
        r.Dist = n > 1 ? lastDist * i / (n - 1) : lastDist;
        recs.append(r);
    }
    return recs;
}

struct LapRowsTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    void SetUp() override {
        session.folders = test::FoldersUnder(tmp.path());
        QDir().mkpath(session.folders.TempDir);
    }
    QString Working(int n) const { return WorkingFileName(session.folders.TempDir, n); }
};

} // namespace

TEST_F(LapRowsTest, WritesTheWorkingFileAndTheRow) {
    const auto recs = MakeRun(5, 83.25L, 151.234L, 2.3456L);
    QString error;
    ASSERT_TRUE(AddLapRow(session, recs, "run", QString("src"), 42, &error)) << error.toStdString();
    ASSERT_EQ(session.lapList.Rows.size(), 1);
    const auto& c = session.lapList.Rows[0].Cells;
    EXPECT_EQ(c[0], "run");
    EXPECT_EQ(c[1], "0000");
    EXPECT_EQ(c[2], "2021/05/03");
    EXPECT_EQ(c[3], "09:59:58");
    EXPECT_EQ(c[4], "1:23.250");
    EXPECT_EQ(c[5], "151.23");
    EXPECT_EQ(c[6], "2.346");
    EXPECT_EQ(c[7], "src");
    for (int k = 8; k < 19; ++k) EXPECT_EQ(c[k], "") << k;
    EXPECT_EQ(c[19], "42");
    EXPECT_EQ(session.lapList.GrpNo, 0);   // the caller advances it
    ASSERT_EQ(session.lapList.LapStrLst.size(), 1);
    EXPECT_NEAR(static_cast<double>(session.lapList.LapStrLst[0].Sec), 83.25, 1e-5);
    EXPECT_EQ(session.lapList.LapStrLst[0].MaxSpd, 151.234);

    QVector<TLapElmRec> back;
    ASSERT_EQ(ReadLapFile(Working(0), back), LapFileStatus::Ok);
    EXPECT_EQ(back.size(), 5);
    EXPECT_EQ(back[4].Dist, recs[4].Dist);

    // The next row takes the next number, overwrites a stale working file
    // of that name, and may leave column 7 empty.
    WriteFile(Working(1), "stale");
    ASSERT_TRUE(AddLapRow(session, MakeRun(1, 0, 0, 0), "one", std::nullopt, 42));
    EXPECT_EQ(session.lapList.Rows[1].Cells[1], "0001");
    EXPECT_EQ(session.lapList.Rows[1].Cells[4], "0:00.000");
    EXPECT_EQ(session.lapList.Rows[1].Cells[7], "");
    EXPECT_EQ(ReadFile(Working(1)).size(), TLapElmRec::Size);
}

TEST_F(LapRowsTest, ColumnTextsByUnitAndSpan) {
    struct Case {
        const char* what;
        long double span, maxSpd, dist;
        bool kmh, km;
        const char* lapTime;
        const char* spd;
        const char* distText;
    };
    const Case cases[] = {
        {"just under an hour", 3599.999L, 100, 1, true, true, "59:59.999", "100.00", "1.000"},
        {"one hour", 3600, 100, 1, true, true, "1:00:00.000", "100.00", "1.000"},
        {"mph", 60, 160.9344L, 1, false, true, "1:00.000", "100.00", "1.000"},
        {"feet", 60, 100, 1.524L, true, false, "1:00.000", "100.00", "5000"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        session.settings.SpdKmh = c.kmh;
        session.settings.DistKm = c.km;
        ASSERT_TRUE(AddLapRow(session, MakeRun(3, c.span, c.maxSpd, c.dist), "r", std::nullopt, 0));
        const auto& cells = session.lapList.Rows[n++].Cells;
        EXPECT_EQ(cells[4], c.lapTime);
        EXPECT_EQ(cells[5], c.spd);
        EXPECT_EQ(cells[6], c.distText);
    }
}

TEST_F(LapRowsTest, RefusesWithoutSamplesOrWithoutAWorkingFile) {
    QString error;
    EXPECT_FALSE(AddLapRow(session, {}, "none", std::nullopt, 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(session.lapList.Rows.isEmpty());
    EXPECT_FALSE(QFile::exists(Working(0)));

    // A temp folder under a plain file can't be written.
    WriteFile(tmp.path() + "/plain", "x");
    session.folders.TempDir = tmp.path() + "/plain/temp/";
    error.clear();
    EXPECT_FALSE(AddLapRow(session, MakeRun(3, 10, 50, 1), "run", QString("run"), 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(session.lapList.Rows.isEmpty());
    EXPECT_TRUE(session.lapList.LapStrLst.isEmpty());
}

TEST(RunName, CutsFolderAndExtension) {
    EXPECT_EQ(RunNameOf("/data/runs/fuji.0503.dtb"), "fuji.0503");
    EXPECT_EQ(RunNameOf("/data/runs.d/noext"), "noext");
    EXPECT_EQ(RunNameOf("relative.bonz"), "relative");
    EXPECT_EQ(RunNameOf("/data/.bon"), "");
}
