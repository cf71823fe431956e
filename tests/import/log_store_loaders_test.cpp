#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "common/records.h"
#include "import/bluetooth_records.h"
#include "import/log_store_loaders.h"
#include "model/log_store.h"
#include "model/status_list.h"
#include "platform/timezone.h"
#include "support/store_checks.h"
#include "support/bluetooth_builder.h"
#include "support/test_folders.h"

using namespace vel;
using vel::test::BtSampleSpec;

namespace {

using Loader = bool (*)(const QString&, LogStore&, StatusList&, QString*);

struct FileKind {
    const char* ext;
    Loader load;
};

const FileKind Bon{"bon", LoadLapFileBleToLogItems};
const FileKind Bon4{"bon4", LoadLapFileBle4ToLogItems};
const FileKind BonZ{"bonz", LoadLapFileBleZToLogItems};
const FileKind Bnz4{"bnz4", LoadLapFileBleZ4ToLogItems};
const FileKind Dtb{"dtb", LoadLapFileBinToLogItems};

BtKind KindOf(const FileKind& k) { return *BtKindOfFile(QString("x.") + k.ext); }

std::string Civil(double dt) {
    return FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss.zzz"), dt).toStdString();
}

QByteArray DtbBytes(const QVector<TLapElmRec>& recs) {
    QByteArray b(recs.size() * TLapElmRec::Size, '\0');
    for (qsizetype i = 0; i < recs.size(); ++i)
        EncodeLapElm(recs[i], reinterpret_cast<uint8_t*>(b.data()) + i * TLapElmRec::Size);
    return b;
}

int CountLines(const StatusList& status, const QString& start) {
    int n = 0;
    for (const QString& l : status.Lines()) n += l.startsWith(start);
    return n;
}

struct BluetoothLogsTest : ::testing::Test {
    QTemporaryDir tmp;
    LogStore store;
    StatusList status;
    QString error;

    void SetUp() override { ASSERT_TRUE(store.Allocate()); }

    QString Path(const FileKind& k) const { return tmp.path() + "/log." + k.ext; }

    bool LoadBytes(const FileKind& k, const QByteArray& bytes) {
        test::WriteFile(Path(k), bytes);
        return k.load(Path(k), store, status, &error);
    }
    bool LoadBt(const FileKind& k, const QVector<BtSampleSpec>& samples) {
        return LoadBytes(k, test::BuildBtLog(KindOf(k), samples));
    }

    // What must hold after any load, however bad the file.
    void ExpectConsistentStore() {
        test::ExpectConsistentStore(store, status);
        for (int32_t i = 0; i < store.LogItemNum; ++i) ASSERT_FALSE(store.LogItem[i].Act) << i;
    }
};

} // namespace

TEST_F(BluetoothLogsTest, EachKindStoresItsSamples) {
    struct Case {
        FileKind kind;
        uint16_t valid;
    };
    const Case cases[] = {{Bon, 0}, {Bon4, 3}, {BonZ, 0}, {Bnz4, 0}};
    const int bias = TimeZoneBiasMinutes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind.ext);
        store.Clear();
        const BtKind kind = KindOf(c.kind);
        const bool motion = BtHasMotion(kind);
        test::StraightRunSpec drive;
        drive.n = 6;
        auto specs = test::StraightRun(drive, kind);
        for (int i = 0; i < specs.size(); ++i) {
            TMotionSens& m = specs[i].Motion;
            m.yawX = 1 + i, m.vY = 2 + i, m.gX = 0.01 * i, m.gZ = -9.8, m.Roll = 0.5 * i;
        }
        ASSERT_TRUE(LoadBt(c.kind, specs));
        ASSERT_EQ(store.LogItemNum, drive.n);
        ASSERT_EQ(store.LogBlockNum(), 1);
        EXPECT_EQ(store.LogBlock[0].RecNum, drive.n);
        for (int i = 0; i < drive.n; ++i) {
            SCOPED_TRACE(i);
            const TLogItem& s = store.LogItem[i];
            const BtSampleSpec& w = specs[i];
            const double utc = drive.utcStart + i * drive.intervalSec / 86400.0;
            EXPECT_EQ(Civil(s.DtTm), Civil(utc - bias / 1440.0));
            EXPECT_EQ(s.ms, (i * 200) % 1000);
            EXPECT_EQ(s.valid, c.valid);
            EXPECT_DOUBLE_EQ(s.Ido, w.IdoRaw / 1e7);
            EXPECT_DOUBLE_EQ(s.Kdo, w.KdoRaw / 1e7);
            EXPECT_FLOAT_EQ(s.Elv, 12.3f);
            EXPECT_FLOAT_EQ(s.Spd, static_cast<float>(w.SpdRaw * 0.036));
            EXPECT_EQ(s.sat_used, 8);
            EXPECT_EQ(s.sat_view, 8);
            EXPECT_FALSE(s.Act);
            EXPECT_EQ(s.BlkIdx, 0);
            const TMotionSens& m = store.MotionSens[i];
            if (motion) {
                // A straight run whose compass reads its course: nothing to correct.
                EXPECT_NEAR(s.Dir, 270.0, 1e-6);
                EXPECT_EQ(m.yawX, 1 + i);
                EXPECT_EQ(m.vY, 2 + i);
                EXPECT_EQ(m.gX, 0.01 * i);
                EXPECT_EQ(m.gZ, -9.8);
                EXPECT_EQ(m.Roll, 0.5 * i);
                EXPECT_NEAR(m.Yaw, 270.0, 1e-9);   // the compass heading, not radians
            } else {
                EXPECT_EQ(s.Dir, 0.0f);
                const TMotionSens zero{};
                EXPECT_EQ(std::memcmp(&m, &zero, sizeof m), 0) << "motion data not zero";
            }
        }
    }
}

TEST_F(BluetoothLogsTest, MotionLogsGetCorrectedHeadings) {
    struct Case {
        FileKind kind;
        int n;
        double dir;   // every sample's heading
    };
    // Three records are too few to calibrate: the compass stands. A longer
    // run is turned onto its course.
    const Case cases[] = {{BonZ, 3, 290}, {Bnz4, 3, 290}, {BonZ, 30, 270}, {Bnz4, 30, 270}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind.ext << ' ' << c.n);
        store.Clear();
        test::StraightRunSpec drive;
        drive.n = c.n;
        drive.compassOffsetDeg = 20;
        ASSERT_TRUE(LoadBt(c.kind, test::StraightRun(drive, KindOf(c.kind))));
        ASSERT_EQ(store.LogItemNum, c.n);
        for (int i = 0; i < c.n; ++i) {
            EXPECT_NEAR(store.LogItem[i].Dir, c.dir, 0.05) << i;
            EXPECT_NEAR(store.MotionSens[i].Yaw, 290, 1e-9) << i;
        }
    }
}

TEST_F(BluetoothLogsTest, SkippedRecordsAndTheirReports) {
    struct Case {
        FileKind kind;
        int32_t stored;
        QStringList lines;   // status list, top first
    };
    // good, 1969, fraction 99, 2000.016 km/h, month 13, good. In a tenths log
    // a fraction of 99 is no time at all.
    const Case cases[] = {
        {Bon, 2, {"2 records rejected", "spd abnormal 2000.02 km/h"}},
        {Bon4, 2, {"1 records rejected", "spd abnormal 2000.02 km/h"}},
        {BonZ, 2, {"2 records rejected", "spd abnormal 2000.02 km/h"}},
        {Bnz4, 2, {"1 records rejected", "spd abnormal 2000.02 km/h"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind.ext);
        store.Clear();
        status = StatusList();
        test::StraightRunSpec drive;
        drive.n = 6;
        auto s = test::StraightRun(drive, KindOf(c.kind));
        s[1].Year = 1969;
        s[2].Fraction = 99;
        s[3].SpdRaw = 55556;
        s[4].Month = 13;
        ASSERT_TRUE(LoadBt(c.kind, s));
        EXPECT_EQ(store.LogItemNum, c.stored);
        // The record after the bad ones is stored.
        EXPECT_EQ(Civil(store.LogItem[1].DtTm),
                  Civil(drive.utcStart + 1.0 / 86400 - TimeZoneBiasMinutes() / 1440.0));
        EXPECT_EQ(status.Lines(), c.lines);
    }
}

TEST_F(BluetoothLogsTest, BlocksSplitAtAMinuteEitherWay) {
    // Gaps: 59.9 s, 61 s, then 61 s back.
    const double offsets[] = {0, 59.9, 120.9, 59.9, 60.0};
    QVector<BtSampleSpec> s;
    for (double off : offsets) {
        BtSampleSpec r;
        test::SetBtUtc(r, 44319.0 + (3600 * 1 + off) / 86400.0, BtKind::Bon);
        test::SetBtSpeed(r, 50);
        s.append(r);
    }
    ASSERT_TRUE(LoadBt(Bon, s));
    ASSERT_EQ(store.LogItemNum, 5);
    ASSERT_EQ(store.LogBlockNum(), 3);
    const int32_t recNum[] = {2, 1, 2};
    const int32_t blk[] = {0, 0, 1, 2, 2};
    for (int b = 0; b < 3; ++b) EXPECT_EQ(store.LogBlock[b].RecNum, recNum[b]) << b;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(store.LogItem[i].BlkIdx, blk[i]) << i;
    EXPECT_EQ(store.LogBlock[1].DtTm, store.LogItem[2].DtTm);
    EXPECT_EQ(store.LogBlock[1].Title, FormatDateTime("yyyymmdd_hhnn", store.LogItem[2].DtTm));
    EXPECT_FALSE(store.LogBlock[1].Act);
}

TEST_F(BluetoothLogsTest, RunFileRecordsAsSamples) {
    QVector<TLapElmRec> recs(6);
    for (int i = 0; i < recs.size(); ++i) {
        TLapElmRec& r = recs[i];
        r.DtTm = 45000.5 + i / 864000.0;
        r.Tm = 99, r.Sec = 1e6L, r.Dist = -5;   // not taken
        r.Ido = 35.123456789L, r.Kdo = 139.5L + i * 1e-5L;
        r.Elv = 600.25L, r.Spd = 88.5L, r.Dir = 180;
        r.UseSat = i == 0 ? 300 : 9;
    }
    recs[2].Ido = std::numeric_limits<long double>::quiet_NaN();
    recs[3].Elv = 1e300L;                                      // beyond a float
    recs[4].DtTm = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(LoadBytes(Dtb, DtbBytes(recs)));
    ASSERT_EQ(store.LogItemNum, 3);
    EXPECT_EQ(status.Lines(), QStringList{"3 records rejected"});
    const TLogItem& s = store.LogItem[0];
    EXPECT_EQ(s.DtTm, 45000.5);
    EXPECT_EQ(s.Ido, 35.123456789);
    EXPECT_EQ(s.Kdo, 139.5);
    EXPECT_EQ(s.Elv, 600.25f);
    EXPECT_EQ(s.Spd, 88.5f);
    EXPECT_EQ(s.Dir, 180.0f);
    EXPECT_EQ(s.sat_used, 44);   // the low byte of 300
    EXPECT_EQ(s.sat_view, 44);
    EXPECT_EQ(s.ms, 0);
    EXPECT_EQ(s.valid, 0);
    EXPECT_EQ(store.LogItem[1].sat_used, 9);
    EXPECT_EQ(store.LogItem[2].DtTm, recs[5].DtTm);
    EXPECT_EQ(store.LogBlockNum(), 1);
    ExpectConsistentStore();
}

TEST_F(BluetoothLogsTest, DamagedFilesNeverCrash) {
    std::mt19937 rng(6);
    auto randomBytes = [&](int n) {
        QByteArray b(n, '\0');
        for (char& c : b) c = static_cast<char>(rng());
        return b;
    };
    auto goodBt = [](const FileKind& k) {
        test::StraightRunSpec drive;
        drive.n = 40;
        return test::BuildBtLog(KindOf(k), test::StraightRun(drive, KindOf(k)));
    };
    auto goodDtb = [] {
        QVector<TLapElmRec> recs(40);
        for (int i = 0; i < recs.size(); ++i) recs[i].DtTm = 45000 + i / 864000.0, recs[i].Spd = 50;
        return DtbBytes(recs);
    };
    auto good = [&](const FileKind& k) { return k.load == Dtb.load ? goodDtb() : goodBt(k); };
    auto flipBits = [&](QByteArray b) {
        for (int n = 0; n < 200; ++n) b[static_cast<int>(rng() % b.size())] ^= static_cast<char>(1 << (rng() % 8));
        return b;
    };

    struct Case {
        const char* what;
        std::function<QByteArray(const FileKind&)> bytes;
        int read;   // 1 read, 0 refused, -1 either
    };
    const Case cases[] = {
        {"empty", [](const FileKind&) { return QByteArray(); }, -1},
        {"short header", [](const FileKind&) { return QByteArray(7, 'x'); }, 0},
        {"header alone", [](const FileKind&) { return QByteArray(8, 'x'); }, -1},
        {"truncated", [&](const FileKind& k) { return good(k).chopped(1); }, 0},
        {"one byte over", [&](const FileKind& k) { return good(k) + 'x'; }, 0},
        {"all 0xFF", [&](const FileKind& k) { return QByteArray(good(k).size(), '\xFF'); }, 1},
        {"all zero", [&](const FileKind& k) { return QByteArray(good(k).size(), '\0'); }, 1},
        {"garbage", [&](const FileKind& k) { return randomBytes(static_cast<int>(good(k).size())); }, 1},
        {"bit flips", [&](const FileKind& k) { return flipBits(good(k)); }, 1},
    };
    for (const FileKind& k : {Bon, Bon4, BonZ, Bnz4, Dtb}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << k.ext << ": " << c.what);
            store.Clear();
            status = StatusList();
            const bool read = LoadBytes(k, c.bytes(k));
            if (c.read >= 0) {
                EXPECT_EQ(read, c.read == 1);
            }
            if (!read) {
                EXPECT_EQ(store.LogItemNum, 0);
            }
            ExpectConsistentStore();
        }
    }
    // Bluetooth garbage is reported, not silently taken in.
    store.Clear();
    status = StatusList();
    ASSERT_TRUE(LoadBytes(Bon, QByteArray(8 + 26 * 40, '\xFF')));
    EXPECT_EQ(store.LogItemNum, 0);
    EXPECT_EQ(status.Lines().size(), StatusList::MaxLines);
    EXPECT_EQ(status.Lines().front(), "spd abnormal 2359.26 km/h");
}

TEST_F(BluetoothLogsTest, MissingFileStoresNothing) {
    for (const FileKind& k : {Bon, Bon4, BonZ, Bnz4, Dtb}) {
        SCOPED_TRACE(k.ext);
        EXPECT_FALSE(k.load(tmp.path() + "/none." + k.ext, store, status, &error));
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(store.LogItemNum, 0);
        EXPECT_TRUE(status.Lines().isEmpty());
    }
}

TEST_F(BluetoothLogsTest, AFullStoreKeepsWhatItHolds) {
    for (const FileKind& k : {Bon, Bon4, BonZ, Bnz4, Dtb}) {
        SCOPED_TRACE(k.ext);
        // A store two places short of full, its one block open.
        store.Clear();
        status = StatusList();
        test::StraightRunSpec drive;
        drive.n = 5;
        QByteArray bytes;
        double firstDtTm = 0;
        if (k.load == Dtb.load) {
            QVector<TLapElmRec> recs(drive.n);
            for (int i = 0; i < drive.n; ++i) recs[i].DtTm = 45000 + i / 864000.0, recs[i].Spd = 60;
            bytes = DtbBytes(recs);
            firstDtTm = recs[0].DtTm;
        } else {
            bytes = test::BuildBtLog(KindOf(k), test::StraightRun(drive, KindOf(k)));
            firstDtTm = drive.utcStart - TimeZoneBiasMinutes() / 1440.0;
        }
        TLogBlock blk;
        blk.RecNum = LogItemMax - 2;
        store.LogBlock.append(blk);
        store.LogItemNum = LogItemMax - 2;
        store.LastLogTm = firstDtTm;

        ASSERT_TRUE(LoadBytes(k, bytes));
        EXPECT_EQ(store.LogItemNum, LogItemMax);
        EXPECT_EQ(store.LogBlockNum(), 1);
        EXPECT_EQ(store.LogBlock[0].RecNum, LogItemMax);
        EXPECT_EQ(CountLines(status, "log full"), 1);
        EXPECT_EQ(status.Lines().size(), 1);
    }
}
