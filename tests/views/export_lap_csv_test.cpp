// The per-lap CSV: header and line pieces in every unit combination, the
// ten-field first and last lines, the drift column, headings from
// positions, and the size rule of the working file.
#include <cmath>
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include "analysis/lap_derive.h"
#include "common/datetime.h"
#include "views/export/lap_csv.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

const QString Header11 = "秒,時間,緯度,経度,距離(km),標高(m),速度(km/h),旋回半径(m),コーナリングG,加減速G,合算G";
const QString Header12 = Header11 + ",ドリフト角(度)";

// A right-hand circle whose logged heading turns 20 degrees away from the
// course over samples 20 to 40: a drifting lap.
QVector<TLapElmRec> DriftingLap() {
    Drive d;
    d.spd = 60;
    QVector<TLapElmRec> recs = CircleLap(d, 80, Turn::Right);
    // Leaving due north the first heading would be exactly 180: nudged, so
    // the logged headings count.
    recs[0].Dir = 180.01L;
    for (int i = 20; i <= 40; ++i) recs[i].Dir = std::fmod(double(recs[i].Dir) + 20.0, 360.0);
    return recs;
}

QVector<TLapElmRec> PlainLap() {
    Drive d;
    d.spd = 60;
    d.elv = 12.345L;
    return CircleLap(d, 80, Turn::Right);
}

int Fields(const QString& line) { return int(line.split(',').size()); }

} // namespace

TEST(LapCsv, PiecesInEveryUnitCombination) {
    QVector<TLapElmRec> recs = PlainLap();
    recs[3].Dist = 1.23456L;
    recs[3].Elv = 12.345L;
    recs[3].Spd = 100.0L;
    recs[3].Sec = 0.3L;
    recs[3].Tm = (3600.0 + 2 * 60 + 3.456) / 86400.0;
    recs[3].Ido = 35.1234567L;
    recs[3].Kdo = 138.7654321L;
    // The G values the analysis gives for the same records.
    TLapDtRec lap;
    lap.Elm = recs;
    SetGElm(lap);
    const auto& g = lap.GElm[3];
    auto f = [](double v, int dec) { return QString::number(v, 'f', dec); };

    struct Case {
        bool kmh, km;
        QString dist, elv, spd, radius;
    };
    const Case cases[] = {
        {true, true, "1.235", "12.35", "100.00", f(double(g.r2_3), 2)},
        {false, true, "1.235", "12.35", "62.14", f(double(g.r2_3), 2)},
        {true, false, "4050", "41", "100.00", f(double(g.r2_3) / 0.3048, 1)},
        {false, false, "4050", "41", "62.14", f(double(g.r2_3) / 0.3048, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kmh " << c.kmh << " km " << c.km);
        const QStringList lines = LapCsvLines(recs, {c.kmh, c.km, true});
        ASSERT_EQ(lines.size(), recs.size() + 1);
        // The header keeps its metric labels whatever the units.
        EXPECT_EQ(lines[0], Header11);
        const QString expect = QStringList{"0.300", "01:02:03.456", "35.123457", "138.765432", c.dist, c.elv, c.spd,
                                           c.radius, f(double(g.lateG3), 3), f(double(g.logiG3), 3),
                                           f(double(g.XYG), 3)}
                                   .join(',');
        EXPECT_EQ(lines[4], expect);
        EXPECT_EQ(Fields(lines[4]), 11);
        // First and last lines end with the speed's piece and two empty fields.
        EXPECT_EQ(Fields(lines[1]), 10);
        EXPECT_TRUE(lines[1].endsWith(",,")) << lines[1].toStdString();
        EXPECT_EQ(Fields(lines.back()), 10);
        EXPECT_TRUE(lines.back().endsWith(",,"));
    }
}

TEST(LapCsv, DriftingLapGetsTheAngleColumnOnlyWithThePanelOn) {
    const QVector<TLapElmRec> recs = DriftingLap();
    const QStringList on = LapCsvLines(recs, {true, true, true});
    EXPECT_EQ(on[0], Header12);
    for (int i = 1; i < on.size(); ++i) {
        const bool end = i == 1 || i == on.size() - 1;
        EXPECT_EQ(Fields(on[i]), 12) << i;
        if (end) {
            EXPECT_TRUE(on[i].contains(",,,,,")) << on[i].toStdString();
        }
    }
    // Inside the drifting run the logged heading is 20 degrees past the course.
    EXPECT_NEAR(on[31].section(',', 11, 11).toDouble(), 20.0, 1.0) << on[31].toStdString();
    EXPECT_LT(std::fabs(on[71].section(',', 11, 11).toDouble()), 0.5);

    const QStringList off = LapCsvLines(recs, {true, true, false});
    EXPECT_EQ(off[0], Header11);
    EXPECT_EQ(Fields(off[31]), 11);
}

TEST(LapCsv, FirstHeadingOf180MeansHeadingsFromPositionsAndNoDrift) {
    ASSERT_EQ(LapCsvLines(DriftingLap(), {true, true, true})[0], Header12);
    for (double first : {180.0, 360.0, 0.0}) {
        QVector<TLapElmRec> recs = DriftingLap();
        recs[0].Dir = first;
        const QStringList lines = LapCsvLines(recs, {true, true, true});
        EXPECT_EQ(lines[0], Header11) << first;
        EXPECT_EQ(Fields(lines[31]), 11) << first;
    }
}

TEST(LapCsv, OnlyFilesOfFiveWholeRecordsOrMoreAreRead) {
    QTemporaryDir tmp;
    const QVector<TLapElmRec> lap = PlainLap();
    struct Case {
        int records;
        int extraBytes;
        ExportRead expect;
    };
    const Case cases[] = {
        {5, 0, ExportRead::Ok}, {4, 0, ExportRead::Skip}, {5, 60, ExportRead::Skip},   // 700 bytes
        {0, 0, ExportRead::Skip},
    };
    int at = 0;
    for (const Case& c : cases) {
        const QString path = tmp.path() + QString("/case%1.dtb").arg(at++);
        ASSERT_TRUE(WriteWorkingFile(path, lap.mid(0, c.records)));
        if (c.extraBytes) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(QByteArray(c.extraBytes, '\0'));
        }
        QVector<TLapElmRec> recs;
        QString error;
        EXPECT_EQ(ReadExportRecords(path, recs, &error), c.expect) << c.records << " + " << c.extraBytes;
        EXPECT_TRUE(error.isEmpty());
    }
    QVector<TLapElmRec> recs;
    EXPECT_EQ(ReadExportRecords(tmp.path() + "/missing.dtb", recs), ExportRead::Skip);
    // A lap of exactly five records is written: header and five lines.
    ASSERT_EQ(ReadExportRecords(tmp.path() + "/case0.dtb", recs), ExportRead::Ok);
    EXPECT_EQ(LapCsvLines(recs, {}).size(), 6);
}
