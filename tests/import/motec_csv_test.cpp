#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "import/motec_csv.h"
#include "model/lap_file.h"
#include "model/services.h"
#include "support/lap_builder.h"
#include "support/motec_builder.h"
#include "run_file_fixture.h"
#include "support/test_folders.h"

using namespace vel;
using test::MotecFile;
using test::MotecSample;

namespace {

const QString TimeCh = "Time", DistCh = "Distance", GroundCh = "Ground Speed", VehicleCh = "Vehicle Speed",
              LatCh = "GPS Latitude", LonCh = "GPS Longitude", GLatCh = "G Force Lat", GLongCh = "G Force Long";

const QStringList NoGps{TimeCh, DistCh, GroundCh, GLatCh, GLongCh};
const QStringList WithGps{TimeCh, DistCh, GroundCh, LatCh, LonCh, GLatCh, GLongCh};

// The first data line of the builder's files.
constexpr int FirstData = 18;

// Values a loaded lap's G entries hold before the file's G is put on them.
constexpr long double Computed = 7.5L;

MotecFile Lap(const QStringList& channels, int n, double lastDistM, double spd = 80) {
    MotecFile f;
    f.channels = channels;
    f.data = test::MotecData(channels, test::MotecLap(n, 10, spd, lastDistM));
    return f;
}

struct MotecTest : test::RunFileTest {
    QString Write(const QString& name, const QStringList& lines) {
        const QString fn = src + name;
        EXPECT_TRUE(test::WriteMotecLines(fn, lines));
        return fn;
    }
    QString Write(const QString& name, const MotecFile& f) { return Write(name, test::MotecLines(f)); }
    // Loaded lap 0: a run northwards of 50 samples, its distance as given.
    void LoadReference(long double lapDistKm) {
        test::Drive d;
        d.elv = 612;
        TLapDtRec lap;
        lap.DtName = "0099";
        lap.Elm = test::StraightRun(d, 180, 50);
        lap.ElmNum = lap.Elm.size();
        lap.LapDist = lapDistKm;
        session.loadedLaps.LapDt = {lap};
        session.loadedLaps.LapDtNum = 1;
    }
    const TLapElmRec& Ref(int i) const { return session.loadedLaps.LapDt[0].Elm[i]; }
};

// A lap of the samples of row n's working file, every G entry at Computed.
TLapDtRec LapOf(const QVector<TLapElmRec>& recs) {
    TLapDtRec lap;
    lap.Elm = recs;
    lap.ElmNum = recs.size();
    TGCalRec g;
    g.r2 = g.lateG = g.logiG = g.lateG3 = g.logiG3 = g.XYG = Computed;
    lap.GElm = QVector<TGCalRec>(recs.size(), g);
    return lap;
}

} // namespace

TEST_F(MotecTest, ExportWithGpsKeepsItsOwnPlacesAndDistances) {
    session.settings.MinUseSat = 6;
    LoadReference(2.0L);   // close in length: still no refit with GPS columns
    auto samples = test::MotecLap(21, 10, 80, 2100);
    samples[7].spd = 131.25;
    MotecFile f;
    f.channels = WithGps;
    f.data = test::MotecData(WithGps, samples);
    const QString fn = Write("Suzuka lap.7.csv", f);

    const LoadResult r = LoadLapFileToGrigMotecCsv(fn, session);
    ASSERT_TRUE(r.RowAdded) << r.Error.toStdString();
    EXPECT_TRUE(r.Error.isEmpty());
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "Suzuka lap.7");
    EXPECT_EQ(Cell(0, 1), "0000");
    EXPECT_EQ(Cell(0, 2), "2024/04/14");
    EXPECT_EQ(Cell(0, 3), "10:00:00");
    EXPECT_EQ(Cell(0, 4), "0:02.000");
    EXPECT_EQ(Cell(0, 5), "131.25");
    EXPECT_EQ(Cell(0, 6), "2.100");
    EXPECT_EQ(Cell(0, 7), fn);   // the full path: the lap finds its G channels by it
    EXPECT_EQ(Cell(0, 19), "0");
    EXPECT_EQ(session.lapList.GrpNo, 1);
    EXPECT_EQ(session.lapList.LapStrLst[0].MaxSpd, 131.25L);

    const auto recs = WorkingRecords(0);
    ASSERT_EQ(recs.size(), 21);
    const double start = EncodeDateTime(2024, 4, 14, 10, 0, 0, 0);
    for (int i = 0; i < recs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(static_cast<double>(recs[i].Sec), i / 10.0, 1e-12);
        EXPECT_NEAR(recs[i].Tm, i / 864000.0, 1e-15);
        EXPECT_NEAR(recs[i].DtTm, start + i / 864000.0, 1e-9);
        EXPECT_NEAR(static_cast<double>(recs[i].Ido), samples[i].lat, 1e-9);
        EXPECT_EQ(recs[i].Kdo, 139.0L);
        EXPECT_EQ(recs[i].Elv, Ref(0).Elv);   // elevation is always borrowed
        EXPECT_EQ(recs[i].Spd, static_cast<long double>(samples[i].spd));
        EXPECT_EQ(recs[i].Dir, 0.0L);
        EXPECT_NEAR(static_cast<double>(recs[i].Dist), samples[i].distM / 1000, 1e-12);
        EXPECT_EQ(recs[i].UseSat, 6);
    }
}

TEST_F(MotecTest, WithoutGpsTheLapBorrowsItsPlaceAndFitsItsDistance) {
    struct Case {
        const char* what;
        QStringList channels;
        int n;
        double lastDistM;
        bool reference;
        long double refDistKm;
        long double lastDistKm;   // expected
    };
    const QStringList latOnly{TimeCh, DistCh, GroundCh, LatCh};
    const Case cases[] = {
        {"no lap loaded", NoGps, 20, 2100, false, 0, 2.1L},
        {"q = 1.05 is fitted", NoGps, 20, 2100, true, 2.0L, 2.0L},
        {"q = 0.95 is fitted", NoGps, 20, 1900, true, 2.0L, 2.0L},
        {"q = 1.15 is kept", NoGps, 20, 2300, true, 2.0L, 2.3L},
        {"a latitude alone is no GPS", latOnly, 20, 2100, true, 2.0L, 2.0L},
        {"a reference of no length", NoGps, 20, 2100, true, 0, 2.1L},
        {"a reference of negative length", NoGps, 20, -2100, true, -2.0L, -2.1L},
        {"a lap of one sample", NoGps, 1, 0, true, 2.0L, 0},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        session.loadedLaps = LoadedLaps();
        if (c.reference) LoadReference(c.refDistKm);
        // An empty line at the end keeps a lap of one sample at 20 lines.
        const QString fn = Write(QString("m%1.csv").arg(row), test::MotecLines(Lap(c.channels, c.n, c.lastDistM)) << "");
        const LoadResult r = LoadLapFileToGrigMotecCsv(fn, session);
        ASSERT_TRUE(r.RowAdded) << r.Error.toStdString();
        const auto recs = WorkingRecords(row++);
        ASSERT_EQ(recs.size(), c.n);
        EXPECT_NEAR(static_cast<double>(recs.back().Dist), static_cast<double>(c.lastDistKm), 1e-12);
        const long double ido = c.reference ? Ref(0).Ido : 36.0L;
        const long double kdo = c.reference ? Ref(0).Kdo : 135.0L;
        for (int i = 0; i < recs.size(); ++i) {
            SCOPED_TRACE(i);
            // Sample 1 takes the reference's second place: a direction of travel.
            const bool second = c.reference && i == 1;
            EXPECT_EQ(recs[i].Ido, second ? Ref(1).Ido : ido);
            EXPECT_EQ(recs[i].Kdo, second ? Ref(1).Kdo : kdo);
            EXPECT_EQ(recs[i].Elv, c.reference ? Ref(0).Elv : 100.0L);
        }
        // The fit scales every distance alike.
        if (c.n > 10) {
            EXPECT_NEAR(static_cast<double>(recs[10].Dist / recs.back().Dist), 10.0 / (c.n - 1), 1e-9);
        }
    }
}

TEST_F(MotecTest, LaterSpeedColumnGivesSpeedAndSignOfLongitudinalG) {
    struct Case {
        const char* what;
        QStringList channels;
        double spd;           // speed expected in the row
        long double sign;     // of the longitudinal G
    };
    const Case cases[] = {
        {"ground speed", {TimeCh, DistCh, GroundCh, GLatCh, GLongCh}, 80, -1},
        {"vehicle speed", {TimeCh, DistCh, VehicleCh, GLatCh, GLongCh}, 95, 1},
        {"ground, then vehicle", {TimeCh, DistCh, GroundCh, GLatCh, GLongCh, VehicleCh}, 95, 1},
        {"vehicle, then ground", {TimeCh, DistCh, VehicleCh, GLatCh, GLongCh, GroundCh}, 80, -1},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto samples = test::MotecLap(20, 10, 80, 1000);
        for (MotecSample& s : samples) s.vehicleSpd = 95;
        MotecFile f;
        f.channels = c.channels;
        f.data = test::MotecData(c.channels, samples);
        const QString fn = Write(QString("s%1.csv").arg(row), f);
        ASSERT_TRUE(LoadLapFileToGrigMotecCsv(fn, session).RowAdded);
        const auto recs = WorkingRecords(row++);
        ASSERT_EQ(recs.size(), 20);
        for (const TLapElmRec& rec : recs) EXPECT_EQ(rec.Spd, static_cast<long double>(c.spd));

        TLapDtRec lap = LapOf(recs);
        QString error;
        ASSERT_TRUE(LoadMotecGCsv(lap, fn, &error));
        EXPECT_TRUE(error.isEmpty());
        EXPECT_NEAR(static_cast<double>(lap.GElm[5].logiG3), static_cast<double>(c.sign * samples[5].gLong), 1e-12);
        EXPECT_NEAR(static_cast<double>(lap.GElm[5].lateG3), samples[5].gLat, 1e-12);
    }
}

TEST_F(MotecTest, DataLinesLackingAColumnInUseArePassedOver) {
    struct Case {
        const char* what;
        QStringList channels;
        std::function<void(QStringList&)> spoil;   // of data line 3
        bool sample;      // line 3 still becomes a sample
        bool gValues;     // and its G values are taken
    };
    const auto cut = [](int n) { return [n](QStringList& f) { f = f.mid(0, n); }; };
    const Case cases[] = {
        {"no speed field", NoGps, cut(2), false, false},
        {"an empty line", NoGps, [](QStringList& f) { f = QStringList{""}; }, false, false},
        {"no longitude field", WithGps, cut(4), false, false},
        {"no G fields", WithGps, cut(5), true, false},
        {"a G field short", NoGps, cut(4), true, false},
        {"a time out of all range", NoGps, [](QStringList& f) { f[0] = "1e400"; }, false, false},
        {"a speed that is no number", NoGps, [](QStringList& f) { f[2] = "n/a"; }, true, true},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto samples = test::MotecLap(8, 10, 80, 700);
        MotecFile f;
        f.channels = c.channels;
        f.data = test::MotecData(c.channels, samples);
        c.spoil(f.data[3]);
        const QString fn = Write(QString("c%1.csv").arg(row), f);
        const LoadResult r = LoadLapFileToGrigMotecCsv(fn, session);
        ASSERT_TRUE(r.RowAdded) << r.Error.toStdString();
        const auto recs = WorkingRecords(row++);

        // The samples are the lines kept, in order.
        QVector<int> kept;
        for (int i = 0; i < samples.size(); ++i)
            if (i != 3 || c.sample) kept.append(i);
        ASSERT_EQ(recs.size(), kept.size());
        for (int j = 0; j < kept.size(); ++j)
            EXPECT_NEAR(static_cast<double>(recs[j].Sec), samples[kept[j]].time, 1e-12) << j;

        // Sample j of the lap takes the G of the line it came from.
        TLapDtRec lap = LapOf(recs);
        ASSERT_TRUE(LoadMotecGCsv(lap, fn));
        for (int j = 0; j < kept.size(); ++j) {
            SCOPED_TRACE(j);
            const MotecSample& s = samples[kept[j]];
            const bool taken = kept[j] != 3 || c.gValues;
            EXPECT_NEAR(static_cast<double>(lap.GElm[j].lateG3), taken ? s.gLat : Computed, 1e-12);
            EXPECT_NEAR(static_cast<double>(lap.GElm[j].logiG3), taken ? -s.gLong : Computed, 1e-12);
        }
    }
}

TEST_F(MotecTest, LogDateAndTimeFormats) {
    struct Case {
        const char* date;
        const char* time;
        const char* start;   // yyyy/mm/dd hh:nn:ss.zzz, or nullptr for the error box
    };
    const Case cases[] = {
        {"2024/04/14", "10:00:00", "2024/04/14 10:00:00.000"},
        {"2024-4-9", "9:05:07", "2024/04/09 09:05:07.000"},
        {"2024.04.14", "23:59:59.250", "2024/04/14 23:59:59.250"},
        {"14/04/2024", "10:00:00", "2024/04/14 10:00:00.000"},
        {"4/5/2024", "10:00:00", "2024/05/04 10:00:00.000"},   // day first
        {"14-04-2024", "10:00:00", "2024/04/14 10:00:00.000"},
        {" 14.04.2024 ", "10:00:00", "2024/04/14 10:00:00.000"},
        {"04/14/2024", "10:00:00", nullptr},   // month first is not guessed
        {"14/04/24", "10:00:00", nullptr},
        {"2024/02/30", "10:00:00", nullptr},
        {"", "10:00:00", nullptr},
        {"14 Apr 2024", "10:00:00", nullptr},
        {"14/04/2024", "24:00:00", nullptr},
        {"14/04/2024", "10:00", nullptr},
        {"14/04/2024", "10:00:00 PM", nullptr},
    };
    int added = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 %2").arg(c.date, c.time).toStdString());
        MotecFile f = Lap(NoGps, 3, 20);
        f.logDate = c.date;
        f.logTime = c.time;
        const QString fn = Write("d.csv", f);
        const LoadResult r = LoadLapFileToGrigMotecCsv(fn, session);
        EXPECT_EQ(r.RowAdded, c.start != nullptr);
        if (!c.start) {
            EXPECT_TRUE(r.Error.contains(c.date)) << r.Error.toStdString();
            EXPECT_EQ(RowCount(), added);
            EXPECT_FALSE(QFile::exists(Working(added)));
            continue;
        }
        const auto recs = WorkingRecords(added++);
        ASSERT_EQ(recs.size(), 3);
        EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", recs[0].DtTm), c.start);
        EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", recs[2].DtTm - 0.2 / 86400), c.start);
    }
    EXPECT_EQ(session.lapList.GrpNo, added);
}

TEST_F(MotecTest, FilesNotLaidOutAsAnExportAddNothing) {
    using Lines = QStringList;
    struct Case {
        const char* what;
        std::function<void(Lines&)> spoil;
        bool error;
        bool noG;   // the G import refuses it too (it needs no log date or time)
    };
    const auto set = [](int line, QString text) { return [line, text](Lines& l) { l[line] = text; }; };
    const Case cases[] = {
        {"19 lines", [](Lines& l) { l = l.mid(0, 19); }, false, true},
        {"no header line", set(14, R"("Tijd","Distance","Ground Speed")"), false, true},
        {"the header line on line 0 only", [](Lines& l) { l[0] = l[14]; l[14] = R"("")"; }, false, true},
        {"no first data line", set(FirstData, R"("0.001","0","80","0","0")"), false, true},
        {"the data line before the header",
         [](Lines& l) { l[13] = l[FirstData]; l[FirstData] = R"("0.001","0","80","0","0")"; }, false, true},
        {"no Log Date", set(6, R"("Date","14/04/2024")"), false, false},
        {"no Log Time", set(7, R"("Log Tijd","10:00:00")"), false, false},
        {"no speed column", set(14, R"("Time","Distance","Speed","G Force Lat","G Force Long")"), false, true},
        {"a Log Date without its value", set(6, R"("Log Date")"), true, false},
        {"no line holds the speed",
         [](Lines& l) { for (int i = FirstData; i < l.size(); ++i) l[i] = l[i].section(',', 0, 1); }, true, false},
    };
    const Lines good = test::MotecLines(Lap(NoGps, 5, 40));
    ASSERT_TRUE(LoadLapFileToGrigMotecCsv(Write("good.csv", good), session).RowAdded);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Lines lines = good;
        c.spoil(lines);
        const LoadResult r = LoadLapFileToGrigMotecCsv(Write("bad.csv", lines), session);
        EXPECT_FALSE(r.RowAdded);
        EXPECT_EQ(!r.Error.isEmpty(), c.error) << r.Error.toStdString();
        EXPECT_EQ(RowCount(), 1);
        EXPECT_EQ(session.lapList.GrpNo, 1);
        EXPECT_FALSE(QFile::exists(Working(1)));

        TLapDtRec lap = LapOf(WorkingRecords(0));
        EXPECT_EQ(LoadMotecGCsv(lap, src + "bad.csv"), !c.noG);
    }
    const LoadResult missing = LoadLapFileToGrigMotecCsv(src + "none.csv", session);
    EXPECT_FALSE(missing.RowAdded);
    EXPECT_TRUE(missing.Error.isEmpty());
    EXPECT_EQ(RowCount(), 1);
}

TEST_F(MotecTest, GValuesGoOntoTheLoadedLapOfTheRow) {
    const auto samples = test::MotecLap(30, 10, 80, 1500);
    MotecFile f;
    f.channels = {TimeCh, DistCh, VehicleCh, GLatCh, GLongCh};
    f.data = test::MotecData(f.channels, samples);
    const QString fn = Write("g.csv", f);
    ASSERT_TRUE(LoadLapFileToGrigMotecCsv(fn, session).RowAdded);

    TLapDtRec lap;
    QString error;
    ASSERT_TRUE(ReadLapFileBin(FindWorkingFile(session.folders.TempDir, Cell(0, 1)), lap, &error))
        << error.toStdString();
    ASSERT_EQ(lap.ElmNum, 30);
    for (TGCalRec& g : lap.GElm) g.r2 = g.lateG = g.lateG3 = g.logiG3 = g.XYG = Computed;

    ASSERT_TRUE(LoadMotecGCsv(lap, Cell(0, 7), &error)) << error.toStdString();
    for (int j = 0; j < 30; ++j) {
        SCOPED_TRACE(j);
        const TGCalRec& g = lap.GElm[j];
        EXPECT_NEAR(static_cast<double>(g.lateG3), samples[j].gLat, 1e-12);
        EXPECT_NEAR(static_cast<double>(g.logiG3), samples[j].gLong, 1e-12);
        // The sum of the magnitudes, not the vector length.
        EXPECT_EQ(g.XYG, std::fabs(g.lateG3) + std::fabs(g.logiG3));
        EXPECT_EQ(g.r2, Computed);
        EXPECT_EQ(g.lateG, Computed);
    }

    // A file shorter than the lap leaves the later samples as computed.
    f.data = f.data.mid(0, 10);
    Write("g.csv", f);
    for (TGCalRec& g : lap.GElm) g.lateG3 = Computed;
    ASSERT_TRUE(LoadMotecGCsv(lap, fn));
    EXPECT_NEAR(static_cast<double>(lap.GElm[9].lateG3), samples[9].gLat, 1e-12);
    EXPECT_EQ(lap.GElm[10].lateG3, Computed);

    // A lap whose G entries are fewer than its samples is bounded by them.
    lap.GElm.resize(4);
    EXPECT_TRUE(LoadMotecGCsv(lap, fn));

    // Without both G channels, or once the file is gone, nothing changes.
    for (TGCalRec& g : lap.GElm) g.lateG3 = Computed;
    f.channels = {TimeCh, DistCh, VehicleCh, GLatCh};
    f.data = test::MotecData(f.channels, samples);
    Write("g.csv", f);
    EXPECT_FALSE(LoadMotecGCsv(lap, fn));
    ASSERT_TRUE(QFile::remove(fn));
    EXPECT_FALSE(LoadMotecGCsv(lap, fn, &error));
    EXPECT_TRUE(error.isEmpty());
    for (const TGCalRec& g : lap.GElm) EXPECT_EQ(g.lateG3, Computed);
}
