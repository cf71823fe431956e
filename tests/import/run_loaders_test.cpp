#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <limits>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "common/records.h"
#include "import/bluetooth_records.h"
#include "import/run_loaders.h"
#include "model/lap_file.h"
#include "platform/timezone.h"
#include "support/bluetooth_builder.h"
#include "run_file_fixture.h"
#include "support/test_folders.h"

using namespace vel;
using vel::test::BtSampleSpec;
using vel::test::ReadFile;
using vel::test::WriteFile;

namespace {

// Sets TZ for one test and puts the old value back.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (had_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    bool had_ = false;
    std::string old_;
};

using Loader = std::function<LoadResult(const QString&, Session&)>;

Loader LoaderFor(const QString& fn) {
    LoadResult (*load)(const QString&, Session&, RankingService*) = LoadLapFileToGrigBonD;
    if (fn.endsWith(".csvv")) load = LoadLapFileToGrig;
    else if (fn.endsWith(".dtb")) load = LoadLapFileToGrigBin;
    else if (fn.endsWith(".bon")) load = LoadLapFileToGrigBon;
    else if (fn.endsWith(".bonz")) load = LoadLapFileToGrigBonZ;
    return [load](const QString& f, Session& s) { return load(f, s, nullptr); };
}

// 100 run-file records 0.1 s apart, reserved bytes not zero.
QByteArray RunFileBytes(int n = 100) {
    QByteArray bytes(n * TLapElmRec::Size, '\0');
    for (int i = 0; i < n; ++i) {
        TLapElmRec r;
        r.DtTm = 44319.5 + i * 0.1 / 86400;
        r.Tm = i * 0.1 / 86400;
        r.Sec = i * 0.1L;
        r.Ido = 35.0L + i * 1e-5L;
        r.Kdo = 139.0L;
        r.Elv = 10;
        r.Spd = i == 40 ? 123.5L : 60.0L + i % 7;
        r.Dir = 180;
        r.Dist = i * 0.01L;
        r.UseSat = 9;
        auto* p = reinterpret_cast<uint8_t*>(bytes.data()) + i * TLapElmRec::Size;
        EncodeLapElm(r, p);
        for (int k = 26; k < 32; ++k) p[k] = static_cast<uint8_t>(i + k);
        p[122] = 0xEE;
    }
    return bytes;
}

QString CsvLine(const QString& date, const QString& elapsed, const QString& rest = "35.1,139.2,12.5,80.25,270,0.5") {
    return date + ',' + elapsed + ',' + rest;
}

struct RunLoaderTest : test::RunFileTest {
    QStringList TempFiles() const { return QDir(session.folders.TempDir).entryList(QDir::Files); }
    void WriteCsv(const QString& path, const QStringList& lines) {
        WriteFile(path, (lines.join("\r\n") + "\r\n").toUtf8());
    }
};

} // namespace

TEST_F(RunLoaderTest, RunFileGoesToTheWorkingFileByteForByte) {
    const QByteArray bytes = RunFileBytes();
    ASSERT_EQ(bytes.size(), 12800);
    WriteFile(src + "run.a.dtb", bytes);
    const LoadResult r = LoadLapFileToGrigBin(src + "run.a.dtb", session);
    ASSERT_TRUE(r.RowAdded) << r.Error.toStdString();
    EXPECT_TRUE(r.Error.isEmpty());
    EXPECT_EQ(ReadFile(Working(0)), bytes);
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "run.a");
    EXPECT_EQ(Cell(0, 1), "0000");
    EXPECT_EQ(Cell(0, 2), "2021/05/03");
    EXPECT_EQ(Cell(0, 3), "12:00:00");
    EXPECT_EQ(Cell(0, 4), "0:09.900");
    EXPECT_EQ(Cell(0, 5), "123.50");
    EXPECT_EQ(Cell(0, 6), "0.990");
    EXPECT_EQ(Cell(0, 7), "run.a");
    EXPECT_EQ(Cell(0, 19), "0");
    EXPECT_NEAR(static_cast<double>(session.lapList.LapStrLst[0].Sec), 9.9, 1e-6);
    EXPECT_EQ(session.lapList.LapStrLst[0].MaxSpd, 123.5L);
    EXPECT_EQ(session.lapList.GrpNo, 1);

    // One byte more and it is no run file: nothing happens, nothing is said.
    WriteFile(src + "b.dtb", bytes + '\0');
    const LoadResult r2 = LoadLapFileToGrigBin(src + "b.dtb", session);
    EXPECT_FALSE(r2.RowAdded);
    EXPECT_TRUE(r2.Error.isEmpty());
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(session.lapList.GrpNo, 1);
    EXPECT_FALSE(QFile::exists(Working(1)));
}

// A run file that holds no log data is refused whole, with a message: no
// row, no working file. The limits of the date-time are kept.
TEST_F(RunLoaderTest, RunFileOfNoNumbersOrImpossibleDatesIsRefused) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    struct Case { const char* name; std::function<void(TLapElmRec&)> edit; bool kept; };
    const Case cases[] = {
        {"speed not a number", [&](TLapElmRec& r) { r.Spd = nan; }, false},
        {"elevation infinite", [&](TLapElmRec& r) { r.Elv = inf; }, false},
        {"distance minus infinity", [&](TLapElmRec& r) { r.Dist = -inf; }, false},
        {"seconds not a number", [&](TLapElmRec& r) { r.Sec = nan; }, false},
        {"date-time not a number", [&](TLapElmRec& r) { r.DtTm = double(nan); }, false},
        {"date-time 1899/12/30", [](TLapElmRec& r) { r.DtTm = 0; }, false},
        {"date-time in 1979", [](TLapElmRec& r) { r.DtTm = EncodeDateTime(1979, 12, 31, 23, 59, 59, 999); }, false},
        {"date-time in 2101", [](TLapElmRec& r) { r.DtTm = EncodeDateTime(2101, 1, 1, 0, 0, 0, 0); }, false},
        {"first moment of 1980", [](TLapElmRec& r) { r.DtTm = EncodeDateTime(1980, 1, 1, 0, 0, 0, 0); }, true},
        {"last second of 2100", [](TLapElmRec& r) { r.DtTm = EncodeDateTime(2100, 12, 31, 23, 59, 59, 0); }, true},
    };
    int rows = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = RunFileBytes();
        auto* p = reinterpret_cast<uint8_t*>(bytes.data()) + 50 * TLapElmRec::Size;
        TLapElmRec r = ReadLapElm(p);
        c.edit(r);
        const QByteArray raw(reinterpret_cast<const char*>(p), TLapElmRec::Size);
        WriteLapElm(r, reinterpret_cast<const uint8_t*>(raw.constData()), p);   // the reserved bytes stay as they were
        WriteFile(src + "x.dtb", bytes);
        const LoadResult res = LoadLapFileToGrigBin(src + "x.dtb", session);
        EXPECT_EQ(res.RowAdded, c.kept);
        if (c.kept) {
            ++rows;
            EXPECT_TRUE(res.Error.isEmpty());
            EXPECT_EQ(ReadFile(Working(rows - 1)), bytes);
        } else {
            EXPECT_EQ(res.Error, "有効なログデータがありません。");
        }
        EXPECT_EQ(RowCount(), rows);
        EXPECT_EQ(TempFiles().size(), rows);
    }
    // Erased memory saved as a run: every byte 0xFF.
    WriteFile(src + "ff.dtb", QByteArray(10 * TLapElmRec::Size, char(0xFF)));
    EXPECT_EQ(LoadLapFileToGrigBin(src + "ff.dtb", session).Error, "有効なログデータがありません。");
    EXPECT_EQ(RowCount(), rows);
}

TEST_F(RunLoaderTest, LapCsvLines) {
    session.settings.MinUseSat = 5;
    const QString d0 = "2021/05/03 10:02:03.400";
    const QString d1 = "2021/05/03 10:02:04.400";
    const QString e0 = "00:00:00.000";
    const QString e1 = "00:00:01.000";
    struct Case {
        const char* what;
        QStringList lines;
        QVector<int32_t> useSat;   // per sample when a row is added
        bool error;
    };
    const Case cases[] = {
        {"8 fields take MinUseSat", {CsvLine(d0, e0), CsvLine(d1, e1)}, {5, 5}, false},
        {"a 9th field", {CsvLine(d0, e0) + ",12", CsvLine(d1, e1) + ",x", CsvLine(d1, e1) + ",", CsvLine(d1, e1) + ",99999999999"},
         {12, 7, 7, 7}, false},
        {"short lines are passed over",
         {"date,lap,lat,lon,alt", "", CsvLine(d0, e0), "1,2,3,4,5,6,7", CsvLine(d1, e1)}, {5, 5}, false},
        {"a month 13", {CsvLine(d0, e0), CsvLine("2021/13/03 10:02:04.400", e1)}, {}, true},
        {"29 February 2021", {CsvLine("2021/02/29 10:02:04.400", e0)}, {}, true},
        {"an hour 24", {CsvLine("2021/05/03 24:02:04.400", e0)}, {}, true},
        {"a date cut short", {CsvLine("2021/05/03", e0)}, {}, true},
        {"a bad lap time", {CsvLine(d0, "00:60:00.000")}, {}, true},
        {"letters in the lap time", {CsvLine(d0, "00:0a:00.000")}, {}, true},
        {"column names of 8 fields", {"date,lap,lat,lon,alt,spd,dir,dist", CsvLine(d0, e0)}, {}, true},
        {"no line of 8 fields", {"date,lap,lat", "1,2,3,4,5,6,7"}, {}, true},
    };
    int added = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString fn = src + QString("lap%1.csvv").arg(added);
        WriteCsv(fn, c.lines);
        const int before = RowCount();
        const LoadResult r = LoadLapFileToGrig(fn, session);
        EXPECT_EQ(r.RowAdded, !c.useSat.isEmpty());
        EXPECT_EQ(!r.Error.isEmpty(), c.error) << r.Error.toStdString();
        if (!r.RowAdded) {
            EXPECT_EQ(RowCount(), before);
            EXPECT_EQ(session.lapList.GrpNo, added);
            EXPECT_FALSE(QFile::exists(Working(added)));
            continue;
        }
        const auto recs = WorkingRecords(added);
        ASSERT_EQ(recs.size(), c.useSat.size());
        for (qsizetype i = 0; i < recs.size(); ++i) EXPECT_EQ(recs[i].UseSat, c.useSat[i]) << i;
        EXPECT_EQ(Cell(added, 0), QString("lap%1").arg(added));
        EXPECT_EQ(Cell(added, 7), "");   // lap CSV rows name no source
        ++added;
        EXPECT_EQ(session.lapList.GrpNo, added);
    }

    // The values are taken as they stand.
    const auto recs = WorkingRecords(0);
    ASSERT_EQ(recs.size(), 2);
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", recs[0].DtTm), d0);
    EXPECT_DOUBLE_EQ(recs[1].Tm, 1.0 / 86400);
    EXPECT_EQ(recs[1].Sec, 1.0L);
    EXPECT_EQ(recs[0].Ido, 35.1);
    EXPECT_EQ(recs[0].Kdo, 139.2);
    EXPECT_EQ(recs[0].Elv, 12.5L);
    EXPECT_EQ(recs[0].Spd, 80.25L);
    EXPECT_EQ(recs[0].Dir, 270.0L);
    EXPECT_EQ(recs[0].Dist, 0.5L);
    EXPECT_EQ(Cell(0, 4), "0:01.000");
    EXPECT_EQ(Cell(0, 5), "80.25");
    EXPECT_EQ(Cell(0, 6), "0.500");
}

namespace {

// Ten good records 0.2 s apart from 2021-05-03 01:02:03.4 UTC eastward,
// with three bad ones far away between the 3rd and 4th good one.
QVector<BtSampleSpec> RunWithBadRecords(BtKind kind) {
    test::StraightRunSpec drive;
    drive.n = 10;
    drive.utcStart = EncodeDateTime(2021, 5, 3, 1, 2, 3, 400);
    drive.compassOffsetDeg = -20;
    QVector<BtSampleSpec> s = test::StraightRun(drive, kind);
    BtSampleSpec bad = s[3];
    test::SetBtPosition(bad, 10.0, 10.0);
    BtSampleSpec early = bad, fast = bad, noDate = bad;
    early.Year = 1969;
    fast.SpdRaw = 55556;
    noDate.Month = 13;
    for (const BtSampleSpec& b : {noDate, fast, early}) s.insert(3, b);
    return s;
}

} // namespace

TEST_F(RunLoaderTest, BluetoothRunsDropBadRecordsAndTakeLocalTime) {
    struct Case {
        const char* tz;
        int bias;
        const char* date;
        const char* clock;
    };
    const Case zones[] = {
        {"Asia/Tokyo", -540, "2021/05/03", "10:02:03"},
        {"UTC", 0, "2021/05/03", "01:02:03"},
        {"America/New_York", 300, "2021/05/02", "20:02:03"},   // no summer time
    };
    int row = 0;
    for (const Case& z : zones) {
        ScopedTz tz(z.tz);
        ASSERT_EQ(TimeZoneBiasMinutes(), z.bias) << z.tz;
        for (const BtKind kind : {BtKind::Bon, BtKind::BonZ}) {
            const bool motion = kind == BtKind::BonZ;
            SCOPED_TRACE(testing::Message() << z.tz << (motion ? " bonz" : " bon"));
            const QString fn = src + (motion ? "run.bonz" : "run.bon");
            ASSERT_TRUE(test::WriteBtLog(fn, kind, RunWithBadRecords(kind)));
            const LoadResult r = motion ? LoadLapFileToGrigBonZ(fn, session) : LoadLapFileToGrigBon(fn, session);
            ASSERT_TRUE(r.RowAdded) << r.Error.toStdString();
            EXPECT_EQ(Cell(row, 0), "run");
            EXPECT_EQ(Cell(row, 7), "run");
            EXPECT_EQ(Cell(row, 2), z.date);
            EXPECT_EQ(Cell(row, 3), z.clock);
            EXPECT_EQ(Cell(row, 4), "0:01.800");
            EXPECT_EQ(Cell(row, 5), "60.01");

            const auto recs = WorkingRecords(row);
            ASSERT_EQ(recs.size(), 10);
            const double first = EncodeDateTime(2021, 5, 3, 1, 2, 3, 400) - z.bias / 1440.0;
            for (int i = 0; i < 10; ++i) {
                SCOPED_TRACE(i);
                EXPECT_NEAR(recs[i].DtTm, first + i * 0.2 / 86400, 1e-9);
                EXPECT_NEAR(recs[i].Sec, i * 0.2L, 1e-4);
                EXPECT_NEAR(recs[i].Tm * 86400, i * 0.2, 1e-4);
                EXPECT_NEAR(recs[i].Ido, 35.0, 1e-9);
                EXPECT_EQ(recs[i].Elv, 12.3f);
                EXPECT_NEAR(recs[i].Spd, 60.012, 1e-4);
                EXPECT_EQ(recs[i].Spd, static_cast<float>(recs[i].Spd));   // single precision
                EXPECT_EQ(recs[i].UseSat, 8);
                EXPECT_NEAR(recs[i].Dir, motion ? 270.0 : 180.0, 1e-9);
                // Measured from the previous accepted sample, not from the dropped ones.
                if (i > 0) {
                    EXPECT_NEAR(recs[i].Dist - recs[i - 1].Dist, 60 / 3.6 * 0.2 / 1000, 2e-5);
                }
            }
            EXPECT_EQ(recs[0].Tm, 0.0);
            EXPECT_EQ(recs[0].Dist, 0.0L);
            ++row;
        }
    }
}

TEST_F(RunLoaderTest, ThreeFilesTakeDataNumbersAndGroupNumbersInTurn) {
    session.lapList.GrpNo = 7;
    WriteFile(src + "a.dtb", RunFileBytes(5));
    WriteCsv(src + "b.csvv", {CsvLine("2021/05/03 10:02:03.400", "00:00:00.000")});
    test::StraightRunSpec drive;
    ASSERT_TRUE(test::WriteBtLog(src + "c.bon", BtKind::Bon, test::StraightRun(drive, BtKind::Bon)));
    WriteFile(src + "d.bond", "anything");

    for (const QString name : {"a.dtb", "d.bond", "b.csvv", "c.bon"}) {
        const LoadResult r = LoaderFor(name)(src + name, session);
        EXPECT_EQ(r.RowAdded, name != "d.bond") << name.toStdString();
        EXPECT_TRUE(r.Error.isEmpty()) << r.Error.toStdString();
    }
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(session.lapList.LapStrLst.size(), 3);
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Cell(i, 0), names[i]);
        EXPECT_EQ(Cell(i, 1), QString("000%1").arg(i));
        EXPECT_EQ(Cell(i, 19), QString::number(7 + i));
    }
    EXPECT_EQ(TempFiles(), QStringList({"temp0000.dtb", "temp0001.dtb", "temp0002.dtb"}));
    EXPECT_EQ(session.lapList.GrpNo, 10);
}

TEST_F(RunLoaderTest, AFailedWorkingFileWriteAddsNoRow) {
    WriteFile(tmp.path() + "/plain", "a file, not a folder");
    session.folders.TempDir = tmp.path() + "/plain/temp/";
    session.lapList.GrpNo = 3;
    WriteFile(src + "a.dtb", RunFileBytes(5));
    WriteCsv(src + "b.csvv", {CsvLine("2021/05/03 10:02:03.400", "00:00:00.000")});
    test::StraightRunSpec drive;
    ASSERT_TRUE(test::WriteBtLog(src + "c.bon", BtKind::Bon, test::StraightRun(drive, BtKind::Bon)));
    ASSERT_TRUE(test::WriteBtLog(src + "d.bonz", BtKind::BonZ, test::StraightRun(drive, BtKind::BonZ)));
    for (const QString name : {"a.dtb", "b.csvv", "c.bon", "d.bonz"}) {
        SCOPED_TRACE(name.toStdString());
        const LoadResult r = LoaderFor(name)(src + name, session);
        EXPECT_FALSE(r.RowAdded);
        EXPECT_FALSE(r.Error.isEmpty());
        EXPECT_EQ(RowCount(), 0);
        EXPECT_TRUE(session.lapList.LapStrLst.isEmpty());
        EXPECT_EQ(session.lapList.GrpNo, 3);
    }
}

TEST_F(RunLoaderTest, DamagedFilesNeverAddARow) {
    test::StraightRunSpec drive;
    const QByteArray bon = test::BuildBtLog(BtKind::Bon, test::StraightRun(drive, BtKind::Bon));
    const QByteArray bonz = test::BuildBtLog(BtKind::BonZ, test::StraightRun(drive, BtKind::BonZ));
    const QByteArray csv = (CsvLine("2021/05/03 10:02:03.400", "00:00:00.000") + "\r\n").toUtf8();
    struct Case {
        const char* name;
        QByteArray bytes;   // null: no file at all
        bool error;         // an error text is expected
    };
    const Case cases[] = {
        {"missing.dtb", QByteArray(), false},
        {"empty.dtb", QByteArray(""), true},
        {"short.dtb", QByteArray(127, 'x'), false},
        {"longer.dtb", QByteArray(12801, '\xFF'), false},
        {"missing.csvv", QByteArray(), false},
        {"empty.csvv", QByteArray(""), true},
        {"binary.csvv", QByteArray(4096, '\xFF'), true},
        {"nul.csvv", QByteArray(4096, '\0'), true},
        {"cut.csvv", csv.left(15) + ",00:00:00.000,1,2,3,4,5,6", true},
        {"missing.bon", QByteArray(), false},
        {"empty.bon", QByteArray(""), false},
        {"seven.bon", QByteArray(7, 'x'), false},
        {"header.bon", QByteArray(8, 'x'), false},
        {"33.bon", QByteArray(33, 'x'), false},
        {"cut.bon", bon.left(bon.size() - 1), false},
        {"ff.bon", QByteArray(8 + 26 * 50, '\xFF'), false},
        {"zero.bon", QByteArray(8 + 26 * 50, '\0'), false},
        {"missing.bonz", QByteArray(), false},
        {"empty.bonz", QByteArray(""), false},
        {"header.bonz", QByteArray(8, '\0'), false},
        {"cut.bonz", bonz.left(bonz.size() - 1), false},
        {"plus.bonz", bonz + 'x', false},
        {"ff.bonz", QByteArray(8 + 122 * 50, '\xFF'), false},
        {"zero.bonz", QByteArray(8 + 122 * 50, '\0'), false},
        {"any.bond", bonz, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString fn = src + c.name;
        if (!c.bytes.isNull()) WriteFile(fn, c.bytes);
        const LoadResult r = LoaderFor(fn)(fn, session);
        EXPECT_FALSE(r.RowAdded);
        EXPECT_EQ(!r.Error.isEmpty(), c.error) << r.Error.toStdString();
        EXPECT_EQ(RowCount(), 0);
        EXPECT_EQ(session.lapList.GrpNo, 0);
        EXPECT_TRUE(TempFiles().isEmpty());
    }
    // Files too large to take are refused with a word, before any reading.
    struct Big {
        const char* name;
        int64_t size;
    };
    const Big bigs[] = {
        {"big.dtb", MaxRunFileSize + 128},
        {"big.bon", BtHeaderSize + 26 * (MaxRunRecords + 1)},
        {"big.bonz", BtHeaderSize + 122 * (MaxRunRecords + 1)},
        {"big.csvv", 65 * 1024 * 1024},
    };
    for (const Big& b : bigs) {
        SCOPED_TRACE(b.name);
        QFile f(src + b.name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(b.size));   // sparse
        f.close();
        const LoadResult r = LoaderFor(f.fileName())(f.fileName(), session);
        EXPECT_FALSE(r.RowAdded);
        EXPECT_FALSE(r.Error.isEmpty());
        EXPECT_EQ(RowCount(), 0);
        f.remove();
    }
    // A folder with a loader's extension is no file either.
    QDir().mkpath(src + "folder.dtb");
    EXPECT_FALSE(LoadLapFileToGrigBin(src + "folder.dtb", session).RowAdded);
}
