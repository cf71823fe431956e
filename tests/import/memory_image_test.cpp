#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <vector>
#include "common/datetime.h"
#include "import/memory_image.h"
#include "model/log_store.h"
#include "model/status_list.h"
#include "support/store_checks.h"
#include "support/image_builder.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double Jst = 25569.0 + 9.0 / 24.0;   // LocalEpoch at UTC+9
constexpr uint32_t BlockWordLong = 0x0026103F; // with the skipped fields of bits 17 and 21

double LocalTime(const ImageSample& s) {
    return s.utcSec / 86400.0 + Jst + s.ms / 86400000.0;
}

std::vector<ImageSample> Circuit(int count, int hz = 10, CircuitShape shape = CircuitShape::Square) {
    ImageCircuit c;
    c.hz = hz;
    c.shape = shape;
    return ImageCircuitSamples(c, count);
}

struct MemoryImageTest : ::testing::Test {
    LogStore store;
    StatusList status;

    void SetUp() override { ASSERT_TRUE(store.Allocate()); }

    void Decode(const QByteArray& image, LogImageLayout layout) {
        store.PutLogImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size());
        const int unit = layout == LogImageLayout::Sectors64K ? LogSectorSize : LogBlockSize;
        DecodeLogImage(store, layout, static_cast<int32_t>(image.size() / unit), Jst, status);
    }

    // Every sample as written, in order.
    void ExpectSamples(const std::vector<ImageSample>& want, uint16_t valid) {
        ASSERT_EQ(store.LogItemNum, static_cast<int32_t>(want.size()));
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(i);
            const TLogItem& got = store.LogItem[static_cast<int64_t>(i)];
            EXPECT_NEAR(got.DtTm, LocalTime(want[i]), 1e-9);
            EXPECT_EQ(got.Ido, want[i].lat);
            EXPECT_EQ(got.Kdo, want[i].lon);
            EXPECT_EQ(got.Elv, want[i].elv);
            EXPECT_EQ(got.Spd, want[i].spd);
            EXPECT_EQ(got.sat_used, want[i].satUsed);
            EXPECT_EQ(got.sat_view, want[i].satView);
            EXPECT_EQ(got.ms, want[i].ms);
            EXPECT_EQ(got.valid, valid);
            EXPECT_EQ(got.Dir, 0.0f);
            if (::testing::Test::HasFailure()) return;
        }
    }

    // What must hold after any decode, however bad the image.
    void ExpectConsistentStore() {
        test::ExpectConsistentStore(store, status);
        int32_t blk = 0;
        for (int32_t i = 0; i < store.LogItemNum; ++i) {
            const TLogItem& s = store.LogItem[i];
            ASSERT_TRUE(s.BlkIdx == blk || s.BlkIdx == blk + 1) << i;
            blk = s.BlkIdx;
            ASSERT_TRUE(s.Ido >= -90 && s.Ido <= 90 && s.Kdo >= -180 && s.Kdo <= 180) << i;
            ASSERT_TRUE(std::isfinite(s.Elv) && s.Spd >= 0 && s.Spd <= 2000 && s.ms <= 999) << i;
        }
    }
};

} // namespace

TEST_F(MemoryImageTest, SectorImageGivesEverySampleInEachAcceptedFormat) {
    struct Case {
        const char* name;
        uint32_t word;
        bool satData;
    };
    const Case cases[] = {
        {"standard", LogFmtStd, false},
        {"without heading", LogFmtNoDir, false},
        {"with per-satellite data", LogFmtSat, true},
    };
    // Some 3 sectors of a square at 20 Hz.
    const std::vector<ImageSample> samples = Circuit(4000, 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Motion data of an earlier Bluetooth log must not survive.
        store.Clear();
        TMotionSens motion;
        motion.gX = 1.5;
        for (int i = 0; i < 10; ++i) store.AppendLogItem(TLogItem(), status, motion);
        ASSERT_EQ(store.MotionSens[9].gX, 1.5);
        status = StatusList();
        const QByteArray image = SectorImage(samples, c.word);
        ASSERT_GE(image.size(), 3 * LogSectorSize);
        Decode(image, LogImageLayout::Sectors64K);

        ExpectSamples(samples, 0);
        EXPECT_EQ(store.MotionSens[0].gX, 0.0);
        EXPECT_EQ(store.MotionSens[9].gX, 0.0);
        EXPECT_EQ(store.LogBlockNum(), 1);
        EXPECT_EQ(store.LogBlock[0].RecNum, 4000);
        EXPECT_EQ(store.LogBlock[0].Title, "20230514_1100");
        EXPECT_TRUE(store.LogBlock[0].Act);
        EXPECT_TRUE(store.LogItem[3999].Act);
        EXPECT_EQ(store.SatDataLog, c.satData);
        EXPECT_FALSE(store.LogFmtErr);
        EXPECT_TRUE(status.Lines().isEmpty());
    }
}

TEST_F(MemoryImageTest, BlockImageGivesEverySampleWithItsValidity) {
    // Constant speeds come out of the smoothing as they went in.
    const std::vector<ImageSample> samples = Circuit(1000, 10, CircuitShape::Oval);
    for (uint32_t word : {BlockWord, BlockWordLong}) {
        SCOPED_TRACE(word);
        const QByteArray image = BlockImage(samples, word);
        ASSERT_GT(image.size(), 8 * LogBlockSize);
        Decode(image, LogImageLayout::Blocks4K);
        ExpectSamples(samples, 3);
        EXPECT_EQ(store.LogBlockNum(), 1);
        EXPECT_TRUE(store.LogItem[999].Act);
        EXPECT_TRUE(status.Lines().isEmpty());
    }
    EXPECT_EQ(LogRecSize(BlockWord), 36);
    EXPECT_EQ(LogRecSize(BlockWordLong), 90);
}

TEST_F(MemoryImageTest, BlocksSplitAtGapsOfAMinuteEitherWay) {
    struct Case {
        const char* name;
        int32_t gap;
        std::vector<int> recNum;
    };
    const Case cases[] = {
        {"59 s", 59, {10, 10}},   // one block of 20
        {"61 s", 61, {10, 10}},
        {"70 s back", -70, {10, 10}},
    };
    for (LogImageLayout layout : {LogImageLayout::Sectors64K, LogImageLayout::Blocks4K}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (layout == LogImageLayout::Blocks4K ? " 4K" : " 64K"));
            std::vector<ImageSample> samples = Circuit(20, 5);
            ShiftImageSamples(samples, 10, c.gap);
            Decode(layout == LogImageLayout::Blocks4K ? BlockImage(samples) : SectorImage(samples), layout);
            const bool split = c.gap != 59;
            ASSERT_EQ(store.LogBlockNum(), split ? 2 : 1);
            if (split) {
                EXPECT_EQ(store.LogBlock[1].RecNum, 10);
                EXPECT_NEAR(store.LogBlock[1].DtTm, LocalTime(samples[10]), 1e-9);
                EXPECT_EQ(store.LogItem[10].BlkIdx, 1);
                EXPECT_EQ(store.LogItem[9].BlkIdx, 0);
            } else {
                EXPECT_EQ(store.LogBlock[0].RecNum, 20);
            }
        }
    }
}

// A store that fills in the middle of a block keeps what fits, counted in
// its blocks, reports it once and drops the rest of the image.
TEST_F(MemoryImageTest, FullStoreKeepsWhatFitsOfABlockImage) {
    LogStore small;
    ASSERT_TRUE(small.LogItem.Allocate(100) && small.MotionSens.Allocate(100) &&
                small.LogDump.Allocate(LogDumpSize));
    std::vector<ImageSample> samples = Circuit(150, 10, CircuitShape::Oval);
    ShiftImageSamples(samples, 60, 120);   // a second log block from sample 60
    const QByteArray image = BlockImage(samples);
    ASSERT_GE(image.size(), 2 * LogBlockSize);   // fills inside the second 4 KiB block
    small.PutLogImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size());
    DecodeLogImage(small, LogImageLayout::Blocks4K, static_cast<int32_t>(image.size() / LogBlockSize), Jst,
                   status);

    ASSERT_EQ(small.LogItemNum, 100);
    ASSERT_EQ(small.LogBlockNum(), 2);
    EXPECT_EQ(small.LogBlock[0].RecNum, 60);
    EXPECT_EQ(small.LogBlock[1].RecNum, 40);
    EXPECT_EQ(small.LogItem[59].BlkIdx, 0);
    EXPECT_EQ(small.LogItem[99].BlkIdx, 1);
    EXPECT_NEAR(small.LogItem[99].DtTm, LocalTime(samples[99]), 1e-9);
    EXPECT_EQ(small.LastLogTm, small.LogItem[99].DtTm);
    EXPECT_TRUE(small.LogFull);
    EXPECT_EQ(status.Lines().filter("log full").size(), 1);
    EXPECT_TRUE(status.Lines().contains("log full 100 records, later records dropped"));
}

TEST_F(MemoryImageTest, SectorRecordRejectRules) {
    struct Case {
        const char* name;
        std::function<void(ImageSample&)> edit;
        std::function<void(QByteArray&)> corrupt;   // the middle record's bytes
        int kept;
        QStringList lines;
    };
    const QString time = " 20230514_110000";   // the middle record, local time without ms
    auto none = [](QByteArray&) {};
    auto keep = [](ImageSample&) {};
    const Case cases[] = {
        {"no star", keep, [](QByteArray& r) { r[r.size() - 2] = '#'; }, 2, {"1 records rejected"}},
        {"bad checksum", keep, [](QByteArray& r) { r[r.size() - 1] ^= 0x01; }, 2, {"1 records rejected"}},
        {"bad checksum still reports the speed", [](ImageSample& s) { s.spd = 2500; },
         [](QByteArray& r) { r[r.size() - 1] ^= 0x01; }, 2,
         {"1 records rejected", "spd abnormal 2500.00 km/h" + time}},
        {"latitude 90 is kept", [](ImageSample& s) { s.lat = 90; }, none, 3, {}},
        {"latitude above 90", [](ImageSample& s) { s.lat = 90.0001; }, none, 2, {"1 records rejected"}},
        {"latitude out of range hides the speed", [](ImageSample& s) { s.lat = -91; s.spd = 5000; }, none, 2,
         {"1 records rejected"}},
        {"longitude below -180", [](ImageSample& s) { s.lon = -180.5; }, none, 2, {"1 records rejected"}},
        {"latitude not a number", [](ImageSample& s) { s.lat = std::numeric_limits<double>::quiet_NaN(); },
         none, 2, {"1 records rejected"}},
        {"speed 2000 is kept", [](ImageSample& s) { s.spd = 2000; }, none, 3, {}},
        {"speed 0 is kept", [](ImageSample& s) { s.spd = 0; }, none, 3, {}},
        {"speed above 2000", [](ImageSample& s) { s.spd = 2000.01f; }, none, 2,
         {"1 records rejected", "spd abnormal 2000.01 km/h" + time}},
        {"speed below 0", [](ImageSample& s) { s.spd = -1; }, none, 2,
         {"1 records rejected", "spd abnormal -1.00 km/h" + time}},
        // Never printed as a speed that reads as accepted.
        {"speed not a number", [](ImageSample& s) { s.spd = std::numeric_limits<float>::quiet_NaN(); }, none, 2,
         {"1 records rejected", "spd abnormal nan km/h" + time}},
        {"speed infinite", [](ImageSample& s) { s.spd = std::numeric_limits<float>::infinity(); }, none, 2,
         {"1 records rejected", "spd abnormal inf km/h" + time}},
        {"speed minus infinity", [](ImageSample& s) { s.spd = -std::numeric_limits<float>::infinity(); }, none, 2,
         {"1 records rejected", "spd abnormal -inf km/h" + time}},
        {"elevation not a number", [](ImageSample& s) { s.elv = std::numeric_limits<float>::infinity(); },
         none, 2, {"1 records rejected"}},
        {"999 ms is kept", [](ImageSample& s) { s.ms = 999; }, none, 3, {}},
        {"1000 ms", [](ImageSample& s) { s.ms = 1000; }, none, 2, {"1 records rejected"}},
        {"zero time", [](ImageSample& s) { s.utcSec = 0; s.ms = 0; }, none, 2, {"1 records rejected"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        status = StatusList();
        std::vector<ImageSample> samples = Circuit(3);
        c.edit(samples[1]);
        ImageWriter w(LogImageLayout::Sectors64K, SectorWord, 1);
        w.Record(samples[0]);
        QByteArray bad = EncodeSectorRecord(samples[1], SectorWord);
        // A "*" among the fields would resynchronise elsewhere.
        ASSERT_EQ(bad.indexOf('*'), bad.size() - 2);
        c.corrupt(bad);
        w.Bytes(bad);
        w.Record(samples[2]);
        Decode(w.Image(), LogImageLayout::Sectors64K);

        EXPECT_EQ(store.LogItemNum, c.kept);
        EXPECT_EQ(status.Lines(), c.lines);
        EXPECT_FALSE(store.LogFmtErr);
        // The record behind a rejected one is found again.
        EXPECT_EQ(store.LogItem[c.kept - 1].Ido, samples[2].lat);
        if (c.kept == 3) {
            EXPECT_EQ(store.LogItem[1].Ido, samples[1].lat);
        }
    }
}

TEST_F(MemoryImageTest, UnknownSectorFormatIsFlaggedAndGivesNoSample) {
    // The standard word plus the validity field.
    const std::vector<ImageSample> samples = Circuit(5);
    Decode(SectorImage(samples, LogFmtStd | 0x2), LogImageLayout::Sectors64K);
    EXPECT_EQ(store.LogItemNum, 0);
    EXPECT_TRUE(store.LogFmtErr);
    EXPECT_EQ(status.Lines(), QStringList{"5 records rejected"});

    // The next decode starts with the flag cleared.
    Decode(SectorImage(samples), LogImageLayout::Sectors64K);
    EXPECT_EQ(store.LogItemNum, 5);
    EXPECT_FALSE(store.LogFmtErr);
}

TEST_F(MemoryImageTest, ShortRecordIsSkippedUpToItsStar) {
    // A record that lost four field bytes: the walker reads past its "*",
    // searches back for it and goes on right behind its checksum.
    const std::vector<ImageSample> samples = Circuit(4);
    QByteArray shortRec = EncodeSectorRecord(samples[1], SectorWord);
    shortRec.remove(8, 4);
    ASSERT_EQ(shortRec.indexOf('*'), shortRec.size() - 2);
    ImageWriter w(LogImageLayout::Sectors64K, SectorWord, 1);
    w.Record(samples[0]);
    w.Bytes(shortRec);
    w.Record(samples[2]);
    w.Record(samples[3]);
    Decode(w.Image(), LogImageLayout::Sectors64K);
    ASSERT_EQ(store.LogItemNum, 3);
    EXPECT_EQ(store.LogItem[1].Ido, samples[2].lat);
    EXPECT_EQ(store.LogItem[2].Ido, samples[3].lat);
}

TEST_F(MemoryImageTest, SeparatorsSwitchTheFormatAndArePassedOver) {
    const std::vector<ImageSample> samples = Circuit(9);
    for (LogImageLayout layout : {LogImageLayout::Sectors64K, LogImageLayout::Blocks4K}) {
        const bool sectors = layout == LogImageLayout::Sectors64K;
        SCOPED_TRACE(sectors ? "64K" : "4K");
        status = StatusList();
        ImageWriter w(layout, sectors ? LogFmtNoDir : BlockWord, 2);
        w.Record(samples[0]);
        w.Record(samples[1]);
        w.Separator(2, sectors ? LogFmtStd : BlockWordLong);
        w.Record(samples[2]);
        w.Separator(5, 0x12345678);
        w.Record(samples[3]);
        if (sectors) {
            // Four 0xAA open a 16-byte skip, separator or not.
            w.Bytes(QByteArray(4, '\xAA') + QByteArray(12, '\x01'));
        }
        w.Record(samples[4]);
        // The next unit starts in the word switched to.
        ASSERT_TRUE(w.NextUnit());
        w.Record(samples[5]);
        w.Separator(2, sectors ? LogFmtNoDir : BlockWord);
        w.Record(samples[6]);
        w.Record(samples[7]);
        w.Record(samples[8]);
        Decode(w.Image(), layout);
        ExpectSamples(samples, sectors ? 0 : 3);
        EXPECT_TRUE(status.Lines().isEmpty());
    }
}

TEST_F(MemoryImageTest, RecordCrossingASectorEndIsNeverRead) {
    const std::vector<ImageSample> samples = Circuit(4);
    struct Case {
        const char* name;
        uint32_t word;
        int sector;        // sector whose end the record crosses
        int32_t offset;    // where it starts, on the walker's 16-byte steps
    };
    // The last sector of the buffer is the one a stray read would overrun.
    const Case cases[] = {
        {"fields past the end", LogFmtStd, 0, LogSectorSize - 32},
        {"fields past the end of the buffer", LogFmtStd, 255, LogSectorSize - 32},
        {"satellite block past the end of the buffer", LogFmtSat, 255, LogSectorSize - 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        status = StatusList();
        ImageWriter w(LogImageLayout::Sectors64K, c.word, 257);
        while (w.Unit() < c.sector) w.NextUnit();
        w.Record(samples[0]);
        w.SetOffset(c.offset);
        const QByteArray rec = EncodeSectorRecord(samples[1], c.word);
        ASSERT_GT(c.offset + rec.size(), LogSectorSize);
        w.Bytes(rec);
        w.NextUnit();   // its header goes over the record's tail
        w.Record(samples[2]);
        w.Record(samples[3]);
        Decode(w.Image(), LogImageLayout::Sectors64K);
        const int beyond = c.sector == 255 ? 0 : 2;
        ASSERT_EQ(store.LogItemNum, 1 + beyond);
        EXPECT_EQ(store.LogItem[0].Ido, samples[0].lat);
        if (beyond) {
            EXPECT_EQ(store.LogItem[1].Ido, samples[2].lat);
        }
        EXPECT_EQ(status.Lines(), QStringList{"1 records rejected"});
    }
}

// One corrupt satellite count near a sector's end makes its record reach
// past the end; the walk picks up again behind its "*" and keeps every good
// record after it in that sector.
TEST_F(MemoryImageTest, RecordTooLongForItsSectorResynchronisesAtItsStar) {
    const std::vector<ImageSample> samples = Circuit(11);
    ImageWriter w(LogImageLayout::Sectors64K, LogFmtSat, 2);
    w.Record(samples[0]);
    w.SetOffset(LogSectorSize - 2048);
    QByteArray bad = EncodeSectorRecord(samples[1], LogFmtSat);
    ASSERT_EQ(bad.indexOf('*'), bad.size() - 2);
    // The count byte of the satellites in view, behind time, position,
    // elevation, speed and heading: 250 satellites of 10 bytes.
    bad[32] = char(250);
    w.Bytes(bad);
    for (int i = 2; i < 10; ++i) w.Record(samples[i]);
    ASSERT_EQ(w.Unit(), 0);
    w.NextUnit();
    w.Record(samples[10]);
    Decode(w.Image(), LogImageLayout::Sectors64K);
    ASSERT_EQ(store.LogItemNum, 10);
    EXPECT_EQ(store.LogItem[0].Ido, samples[0].lat);
    for (int i = 2; i <= 10; ++i) EXPECT_EQ(store.LogItem[i - 1].Ido, samples[i].lat) << i;
    EXPECT_EQ(status.Lines(), QStringList{"1 records rejected"});
    ExpectConsistentStore();
}

// Records written out byte by byte, apart from the image builder: one per
// accepted sector format word and one of a 4 KiB block, each twice in a row
// so that a wrong length loses the second. The fix: 2023-05-14 02:00:00.300
// UTC, 34.84 N 136.54 E, 45.5 m, 90.25 km/h, 9 of 11 satellites.
TEST_F(MemoryImageTest, HandWrittenRecordsOfEveryFormat) {
    auto bytes = [](const char* hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); };
    const QByteArray fix = bytes("A0 40 60 64 EC 51 B8 1E 85 6B 41 40 E1 7A 14 AE 47 11 61 40 00 00 36 42 00 80 B4 42");
    struct Case { const char* name; LogImageLayout layout; uint32_t word; QByteArray rec; uint8_t view; uint16_t valid; };
    const Case cases[] = {
        {"0x8004107D: with heading", LogImageLayout::Sectors64K, 0x8004107D,
         bytes("A0 40 60 64 EC 51 B8 1E 85 6B 41 40 E1 7A 14 AE 47 11 61 40 00 00 36 42 00 80 B4 42 "
               "00 00 F6 42 0B 09 2C 01 2A DF"), 11, 0},
        {"0x8004103D: without heading", LogImageLayout::Sectors64K, 0x8004103D,
         bytes("A0 40 60 64 EC 51 B8 1E 85 6B 41 40 E1 7A 14 AE 47 11 61 40 00 00 36 42 00 80 B4 42 "
               "0B 09 2C 01 2A 6B"), 11, 0},
        {"0x8005F07D: satellite data, 2 in view", LogImageLayout::Sectors64K, 0x8005F07D,
         bytes("A0 40 60 64 EC 51 B8 1E 85 6B 41 40 E1 7A 14 AE 47 11 61 40 00 00 36 42 00 80 B4 42 "
               "00 00 F6 42 02 09 05 00 00 00 1E 00 2D 00 14 00 0C 00 00 00 28 00 5A 00 20 00 2C 01 2A AA"), 2, 0},
        {"4 KiB block 0x0004103F", LogImageLayout::Blocks4K, 0x0004103F,
         bytes("A0 40 60 64 03 00 EC 51 B8 1E 85 6B 41 40 E1 7A 14 AE 47 11 61 40 00 00 36 42 00 80 B4 42 "
               "0B 09 2C 01 2A 00"), 11, 3},
    };
    ASSERT_EQ(fix.size(), 28);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        status = StatusList();
        const int unit = c.layout == LogImageLayout::Sectors64K ? LogSectorSize : LogBlockSize;
        QByteArray image(unit, char(0xFF));
        const uint32_t w = c.word;
        const char word[4] = {char(w & 0xFF), char((w >> 8) & 0xFF), char((w >> 16) & 0xFF), char(w >> 24)};
        image.replace(2, 4, word, 4);
        image.replace(512, c.rec.size(), c.rec);
        image.replace(512 + c.rec.size(), c.rec.size(), c.rec);
        Decode(image, c.layout);
        ASSERT_EQ(store.LogItemNum, 2);
        for (int i = 0; i < 2; ++i) {
            const TLogItem& s = store.LogItem[i];
            EXPECT_NEAR(s.DtTm, 1684029600 / 86400.0 + Jst + 300 / 86400000.0, 1e-9);
            EXPECT_EQ(s.Ido, 34.84);
            EXPECT_EQ(s.Kdo, 136.54);
            EXPECT_EQ(s.Elv, 45.5f);
            EXPECT_EQ(s.Spd, 90.25f);
            EXPECT_EQ(s.sat_view, c.view);
            EXPECT_EQ(s.sat_used, 9);
            EXPECT_EQ(s.ms, 300);
            EXPECT_EQ(s.valid, c.valid);
            EXPECT_EQ(s.Dir, 0.0f);
        }
        EXPECT_EQ(store.LogBlockNum(), 1);
        EXPECT_TRUE(status.Lines().isEmpty());
    }
}

TEST_F(MemoryImageTest, RecordsUpToTheLastBytesOfTheBuffer) {
    // Five records from a 16-byte step end two bytes before the buffer's
    // end; those two erased bytes end the sector quietly.
    const std::vector<ImageSample> samples = Circuit(5);
    ImageWriter w(LogImageLayout::Sectors64K, SectorWord, 256);
    while (w.Unit() < 255) w.NextUnit();
    w.SetOffset(LogSectorSize - 5 * 38 - 2);
    for (const ImageSample& s : samples) ASSERT_TRUE(w.Record(s));
    ASSERT_EQ(w.Offset(), LogSectorSize - 2);
    Decode(w.Image(), LogImageLayout::Sectors64K);
    ExpectSamples(samples, 0);
    EXPECT_TRUE(status.Lines().isEmpty());
}

TEST_F(MemoryImageTest, ErasedImagesGiveNothing) {
    for (LogImageLayout layout : {LogImageLayout::Sectors64K, LogImageLayout::Blocks4K}) {
        const bool sectors = layout == LogImageLayout::Sectors64K;
        SCOPED_TRACE(sectors ? "64K" : "4K");
        Decode(QByteArray(sectors ? 8 * 1024 * 1024 : LogDumpSize, '\xFF'), layout);
        EXPECT_EQ(store.LogItemNum, 0);
        EXPECT_EQ(store.LogBlockNum(), 0);
        EXPECT_EQ(store.LogRect.IdoMin, 90);
        EXPECT_EQ(store.LogRect.KdoMax, -180);
        EXPECT_FALSE(store.LogFmtErr);
        EXPECT_TRUE(status.Lines().isEmpty());
    }
    // Headers written, records erased: the walker passes over them too.
    ImageWriter w(LogImageLayout::Blocks4K, BlockWord, 3);
    w.NextUnit();
    w.NextUnit();
    Decode(w.Image(), LogImageLayout::Blocks4K);
    EXPECT_EQ(store.LogItemNum, 0);
    EXPECT_TRUE(status.Lines().isEmpty());
}

TEST_F(MemoryImageTest, BlockRecordDropRules) {
    struct Case {
        const char* name;
        std::function<void(std::vector<ImageSample>&)> edit;   // of 8 samples
        std::vector<int> kept;                                  // their indexes
        uint32_t word = BlockWord;
    };
    auto at = [](int i, std::function<void(ImageSample&)> f) {
        return [i, f](std::vector<ImageSample>& v) { f(v[static_cast<size_t>(i)]); };
    };
    // 2020-12-31 23:59 and 2021-01-01 00:00 local time (UTC+9).
    constexpr int32_t Before2021 = 1609426740, Start2021 = 1609426800;
    const Case cases[] = {
        {"a bad fix drops the next five", at(1, [](ImageSample& s) { s.valid = 2; }), {0, 7}},
        {"a bad fix in the settling time starts it again",
         [](std::vector<ImageSample>& v) { v[0].valid = 1; v[3].valid = 0; }, {}},
        {"998 ms kept", at(3, [](ImageSample& s) { s.ms = 998; }), {0, 1, 2, 3, 4, 5, 6, 7}},
        {"999 ms dropped", at(3, [](ImageSample& s) { s.ms = 999; }), {0, 1, 2, 4, 5, 6, 7}},
        {"speed 0 dropped", at(3, [](ImageSample& s) { s.spd = 0; }), {0, 1, 2, 4, 5, 6, 7}},
        {"speed 2000 kept", at(3, [](ImageSample& s) { s.spd = 2000; }), {0, 1, 2, 3, 4, 5, 6, 7}},
        {"speed above 2000 dropped", at(3, [](ImageSample& s) { s.spd = 2000.01f; }), {0, 1, 2, 4, 5, 6, 7}},
        {"speed -0 dropped", at(3, [](ImageSample& s) { s.spd = -0.0f; }), {0, 1, 2, 4, 5, 6, 7}},
        {"negative speed dropped", at(3, [](ImageSample& s) { s.spd = -5; }), {0, 1, 2, 4, 5, 6, 7}},
        {"speed not a number dropped", at(3, [](ImageSample& s) { s.spd = std::nanf(""); }), {0, 1, 2, 4, 5, 6, 7}},
        {"smallest positive speed kept", at(3, [](ImageSample& s) { s.spd = std::numeric_limits<float>::denorm_min(); }),
         {0, 1, 2, 3, 4, 5, 6, 7}},
        {"latitude 90 and longitude -180 kept", at(3, [](ImageSample& s) { s.lat = 90; s.lon = -180; }),
         {0, 1, 2, 3, 4, 5, 6, 7}},
        {"latitude and longitude -0 kept", at(3, [](ImageSample& s) { s.lat = -0.0; s.lon = -0.0; }),
         {0, 1, 2, 3, 4, 5, 6, 7}},
        {"latitude not a number dropped", at(3, [](ImageSample& s) { s.lat = std::nan(""); }), {0, 1, 2, 4, 5, 6, 7}},
        {"longitude just above 180 dropped", at(3, [](ImageSample& s) { s.lon = std::nextafter(180.0, 181.0); }),
         {0, 1, 2, 4, 5, 6, 7}},
        {"elevation minus infinity dropped",
         at(3, [](ImageSample& s) { s.elv = -std::numeric_limits<float>::infinity(); }), {0, 1, 2, 4, 5, 6, 7}},
        {"latitude above 90 dropped", at(3, [](ImageSample& s) { s.lat = 91; }), {0, 1, 2, 4, 5, 6, 7}},
        {"longitude below -180 dropped", at(3, [](ImageSample& s) { s.lon = -181; }), {0, 1, 2, 4, 5, 6, 7}},
        {"elevation not a number dropped", at(3, [](ImageSample& s) { s.elv = std::nanf(""); }),
         {0, 1, 2, 4, 5, 6, 7}},
        {"zero time dropped", at(3, [](ImageSample& s) { s.utcSec = 0; }), {0, 1, 2, 4, 5, 6, 7}},
        {"dated 2020-12-31 23:59 dropped, 2021-01-01 00:00 kept",
         [](std::vector<ImageSample>& v) {
             for (size_t i = 0; i < v.size(); ++i) {
                 v[i].utcSec = (i < 4 ? Before2021 : Start2021);
                 v[i].ms = static_cast<uint16_t>(i * 100);
             }
         },
         {4, 5, 6, 7}},
        {"a word without milliseconds gives nothing", [](std::vector<ImageSample>&) {}, {}, BlockWord & ~(1u << 18)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        status = StatusList();
        std::vector<ImageSample> samples = Circuit(8);
        c.edit(samples);
        Decode(BlockImage(samples, c.word), LogImageLayout::Blocks4K);
        ASSERT_EQ(store.LogItemNum, static_cast<int32_t>(c.kept.size()));
        for (size_t k = 0; k < c.kept.size(); ++k)
            EXPECT_NEAR(store.LogItem[static_cast<int64_t>(k)].DtTm, LocalTime(samples[c.kept[k]]), 1e-9) << k;
        const int dropped = 8 - static_cast<int>(c.kept.size());
        EXPECT_EQ(status.Lines(), dropped ? QStringList{QString("%1 records rejected").arg(dropped)} : QStringList());
    }
}

TEST_F(MemoryImageTest, SettlingCountStartsAtZeroForEveryDecode) {
    std::vector<ImageSample> samples = Circuit(8);
    samples[7].valid = 0;
    Decode(BlockImage(samples), LogImageLayout::Blocks4K);
    EXPECT_EQ(store.LogItemNum, 7);

    samples[7].valid = 3;
    Decode(BlockImage(samples), LogImageLayout::Blocks4K);
    EXPECT_EQ(store.LogItemNum, 8);
}

TEST_F(MemoryImageTest, OnlyBlockImagesAreSpeedSmoothed) {
    std::vector<ImageSample> samples = Circuit(5, 10);
    const float spd[] = {10, 20, 40, 50, 60};
    for (size_t i = 0; i < 5; ++i) samples[i].spd = spd[i];

    Decode(BlockImage(samples), LogImageLayout::Blocks4K);
    ASSERT_EQ(store.LogItemNum, 5);
    // (1.8*40 + 0.5*(20+50) + 0.4*(10+60)) / 3.6
    EXPECT_FLOAT_EQ(store.LogItem[2].Spd, 37.5f);
    EXPECT_EQ(store.LogItem[2].Ido, samples[2].lat);

    Decode(SectorImage(samples), LogImageLayout::Sectors64K);
    ASSERT_EQ(store.LogItemNum, 5);
    EXPECT_EQ(store.LogItem[2].Spd, 40.0f);
}

TEST_F(MemoryImageTest, PreSelectionLeavesOutOldAndFutureBlocks) {
    // Blocks: 1999 (too early), 2023 (kept), 2037 (after now) in three places.
    std::vector<ImageSample> samples = Circuit(30);
    for (size_t i = 0; i < 30; ++i) {
        const int b = static_cast<int>(i / 10);
        const int32_t base[] = {946609200, 1684029600, 2127438000};
        samples[i].utcSec = base[b] + static_cast<int32_t>(i % 10);
        samples[i].lat = 30.0 + b + i * 1e-4;
        samples[i].lon = 130.0 + b + i * 1e-4;
    }
    Decode(SectorImage(samples), LogImageLayout::Sectors64K);
    ASSERT_EQ(store.LogBlockNum(), 3);
    EXPECT_FALSE(store.LogBlock[0].Act);
    EXPECT_TRUE(store.LogBlock[1].Act);
    EXPECT_FALSE(store.LogBlock[2].Act);
    EXPECT_FALSE(store.LogItem[9].Act);
    EXPECT_TRUE(store.LogItem[10].Act);
    EXPECT_FALSE(store.LogItem[20].Act);
    EXPECT_EQ(store.LogRect.IdoMin, static_cast<long double>(samples[10].lat));
    EXPECT_EQ(store.LogRect.IdoMax, static_cast<long double>(samples[19].lat));
    EXPECT_EQ(store.LogRect.KdoMin, static_cast<long double>(samples[10].lon));
    EXPECT_EQ(store.LogRect.KdoMax, static_cast<long double>(samples[19].lon));
}

// Images no logger wrote: nothing may crash or read outside the buffer, and
// the store stays consistent.
TEST_F(MemoryImageTest, GarbageImagesDecodeSafely) {
    std::mt19937 rng(20230514);
    auto random = [&rng](int64_t n) {
        QByteArray b(n, '\0');
        for (int64_t i = 0; i + 4 <= n; i += 4) {
            const uint32_t v = rng();
            std::memcpy(b.data() + i, &v, 4);
        }
        return b;
    };
    auto flipped = [&rng](QByteArray b) {
        for (int64_t i = 0; i < b.size(); i += 1 + static_cast<int64_t>(rng() % 200))
            b[static_cast<qsizetype>(i)] ^= static_cast<char>(1 << (rng() % 8));
        return b;
    };
    const std::vector<ImageSample> samples = Circuit(20000, 20, CircuitShape::Oval);
    struct Case {
        const char* name;
        LogImageLayout layout;
        QByteArray image;
        bool reportsRejects;
    };
    const Case cases[] = {
        {"random sectors", LogImageLayout::Sectors64K, random(2 * 1024 * 1024), true},
        {"random blocks", LogImageLayout::Blocks4K, random(2 * 1024 * 1024), true},
        {"zero sectors", LogImageLayout::Sectors64K, QByteArray(2 * 1024 * 1024, '\0'), true},
        {"zero blocks", LogImageLayout::Blocks4K, QByteArray(LogDumpSize, '\0'), true},
        {"truncated sector header", LogImageLayout::Sectors64K, QByteArray("\x00\x00\x7D\x10", 4), false},
        {"truncated block header", LogImageLayout::Blocks4K, QByteArray("\x00\x00\x3F\x10", 4), false},
        {"sector cut inside a record", LogImageLayout::Sectors64K, SectorImage(samples).left(512 + 38 * 3 + 17), true},
        {"bit-flipped sectors", LogImageLayout::Sectors64K, flipped(SectorImage(samples)), true},
        {"bit-flipped blocks", LogImageLayout::Blocks4K, flipped(BlockImage(samples)), true},
        {"random full buffer of sectors", LogImageLayout::Sectors64K, random(LogDumpSize), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        status = StatusList();
        store.PutLogImage(reinterpret_cast<const uint8_t*>(c.image.constData()), c.image.size());
        // Ask for more units than the buffer holds: only those inside are read.
        DecodeLogImage(store, c.layout, 1 << 30, Jst, status);
        ExpectConsistentStore();
        const bool reported = !status.Lines().filter(" records rejected").isEmpty();
        EXPECT_EQ(reported, c.reportsRejects);
    }
    // The decoder alone refuses units outside the buffer.
    LogImageDecoder dec(store, Jst, status);
    store.Clear();
    dec.DecLogSector(-1);
    dec.DecLogSector(256);
    dec.DecLogBlock(4096);
    EXPECT_EQ(store.LogItemNum, 0);
    EXPECT_EQ(dec.Rejected(), 0);
}
