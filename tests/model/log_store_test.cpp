#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include <iterator>
#include <random>
#include <vector>
#include "common/datetime.h"
#include "model/log_store.h"
#include "model/status_list.h"

using namespace vel;

namespace {

constexpr double Sec = 1.0 / 86400.0;

// The bounds hold the samples' doubles widened.
long double Wide(double v) { return v; }

TLogItem Item(double dtTm, double ido = 35.0, double kdo = 137.0, float spd = 50) {
    TLogItem s;
    s.DtTm = dtTm;
    s.Ido = ido;
    s.Kdo = kdo;
    s.Spd = spd;
    return s;
}

struct LogStoreTest : ::testing::Test {
    LogStore store;
    StatusList status;
    const double t0 = EncodeDateTime(2023, 5, 14, 11, 0, 30, 0);
    void SetUp() override { ASSERT_TRUE(store.Allocate()); }
};

} // namespace

TEST(StatusListTest, NewestOnTopAndAtMost33Lines) {
    StatusList list;
    for (int i = 1; i <= 40; ++i) list.Add(QString::number(i));
    ASSERT_EQ(list.Lines().size(), 33);
    EXPECT_EQ(list.Lines().first(), "40");
    EXPECT_EQ(list.Lines().last(), "8");
}

TEST_F(LogStoreTest, BlockSplitAtAWholeMinuteEitherWay) {
    struct Case {
        const char* name;
        std::vector<double> steps;      // seconds from one sample to the next
        std::vector<int> recNum;        // samples per block
    };
    const Case cases[] = {
        {"59 s apart stay together", {59}, {2}},
        {"61 s apart split", {61}, {1, 1}},
        {"70 s back splits", {-70}, {1, 1}},
        {"59 s back stays", {-59}, {2}},
        {"a block per gap", {0.1, 120, 0.1, -3600, 0.1}, {2, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.Clear();
        std::vector<double> times{t0};
        for (double step : c.steps) times.push_back(times.back() + step * Sec);
        for (double t : times) ASSERT_TRUE(store.AppendLogItem(Item(t), status));

        ASSERT_EQ(store.LogItemNum, static_cast<int32_t>(times.size()));
        ASSERT_EQ(store.LogBlockNum(), static_cast<int32_t>(c.recNum.size()));
        int first = 0;
        for (int b = 0; b < store.LogBlockNum(); ++b) {
            const TLogBlock& blk = store.LogBlock[b];
            EXPECT_EQ(blk.RecNum, c.recNum[b]);
            EXPECT_EQ(blk.DtTm, times[first]);
            EXPECT_EQ(blk.Title, FormatDateTime("yyyymmdd_hhnn", times[first]));
            EXPECT_FALSE(blk.Act);
            for (int i = first; i < first + blk.RecNum; ++i) EXPECT_EQ(store.LogItem[i].BlkIdx, b);
            first += blk.RecNum;
        }
        EXPECT_EQ(store.LastLogTm, times.back());
    }
    EXPECT_EQ(store.LogBlock[0].Title, "20230514_1100");
    EXPECT_TRUE(status.Lines().isEmpty());
}

TEST_F(LogStoreTest, AppendStoresSampleWithMotionAndClearsActive) {
    TLogItem s = Item(t0);
    s.Act = true;
    s.BlkIdx = 7;
    TMotionSens m;
    m.Yaw = 123;
    ASSERT_TRUE(store.AppendLogItem(s, status, m));
    ASSERT_TRUE(store.AppendLogItem(Item(t0 + 0.1 * Sec), status));
    EXPECT_FALSE(store.LogItem[0].Act);
    EXPECT_EQ(store.LogItem[0].BlkIdx, 0);
    EXPECT_EQ(store.MotionSens[0].Yaw, 123);
    EXPECT_EQ(store.MotionSens[1].Yaw, 0);
}

// Nothing is written past the last place, what is stored stays as it was,
// and the dropped samples count in no block.
TEST_F(LogStoreTest, FullStoreDropsFurtherSamplesWithOneReport) {
    for (int32_t i = 0; i < LogItemMax; ++i)
        ASSERT_TRUE(store.AppendLogItem(Item(t0 + i * 0.1 * Sec, 35.0 + i * 1e-7), status));
    const TLogItem last = store.LogItem[LogItemMax - 1];
    for (int i = 0; i < 3; ++i)   // the first would open a block
        EXPECT_FALSE(store.AppendLogItem(Item(t0 + (LogItemMax + 1200 + i) * Sec, 1.0), status));

    EXPECT_EQ(store.LogItemNum, LogItemMax);
    ASSERT_EQ(store.LogBlockNum(), 1);
    EXPECT_EQ(store.LogBlock[0].RecNum, LogItemMax);
    EXPECT_EQ(store.LogItem[LogItemMax - 1].Ido, last.Ido);
    EXPECT_EQ(store.LastLogTm, last.DtTm);
    EXPECT_EQ(status.Lines(), QStringList{"log full 630000 records, later records dropped"});

    store.Clear();
    EXPECT_TRUE(store.AppendLogItem(Item(t0), status));
    EXPECT_EQ(store.LogItemNum, 1);
}

TEST_F(LogStoreTest, SpeedSmoothingWeighsNeighboursWithin210ms) {
    struct Case {
        const char* name;
        int stepMs;                 // time between samples
        std::vector<float> spd;
        int i;                      // sample checked
        double expected;            // worked out by hand
        int gapAt = -1;             // sample from which one second is added
    };
    const Case cases[] = {
        // 1.8*40 + 0.5*(20+50) + 0.4*(10+60), over 1.8 + 1 + 0.8
        {"10 Hz rising: distance 2 at 0.4", 100, {10, 20, 40, 50, 60}, 2, 135.0 / 3.6},
        // 1.8*20 + 0.5*(30+50) + 0.35*(10+40), over 3.5
        {"10 Hz not monotonic: distance 2 at 0.35", 100, {10, 30, 20, 50, 40}, 2, 93.5 / 3.5},
        // 1.8*10 + 0.5*20 + 0.4*40, over 2.7
        {"first sample has neighbours on one side", 100, {10, 20, 40, 50, 60}, 0, 44.0 / 2.7},
        // 1.8*40 + 0.5*(20+50), over 2.8
        {"5 Hz: distance 1 only", 200, {10, 20, 40, 50, 60}, 2, 107.0 / 2.8},
        // 10 Hz with sample 3 a second later: 1.8*40 + 0.5*20 + 0.4*10, over 2.7
        {"a gap ends the window", 100, {10, 20, 40, 50, 60}, 2, 86.0 / 2.7, 3},
        // 28.8 + 0.5*(8+32) + 0.4*(4+64) + 0.3*(2+128) + 0.3*(1+256), over 4.8
        {"20 Hz rising: all eight", 50, {1, 2, 4, 8, 16, 32, 64, 128, 256}, 4, 192.1 / 4.8},
        // 18 + 0.5*2 + 0.35*10 + 0.2*2 + 0.1*10, over 4.1
        {"20 Hz zigzag: low weights", 50, {5, 1, 5, 1, 10, 1, 5, 1, 5}, 4, 23.9 / 4.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.Clear();
        for (size_t k = 0; k < c.spd.size(); ++k) {
            double t = t0 + k * c.stepMs / 86400000.0;
            if (c.gapAt >= 0 && static_cast<int>(k) >= c.gapAt) t += Sec;
            store.AppendLogItem(Item(t, 35.0, 137.0, c.spd[k]), status);
        }
        store.SmoothLogSpd();
        EXPECT_FLOAT_EQ(store.LogItem[c.i].Spd, static_cast<float>(c.expected));
        EXPECT_EQ(store.LogItemNum, static_cast<int32_t>(c.spd.size()));
    }
}

// The rule written out plainly over a copy of the unsmoothed speeds: each
// neighbour within 210 ms weighs by its distance and by whether the speeds
// from it to the sample rise or fall strictly all the way.
std::vector<float> SmoothedPlainly(const std::vector<double>& t, const std::vector<float>& s) {
    static const double W[5][2] = {{0, 0}, {0.5, 0.5}, {0.35, 0.4}, {0.2, 0.3}, {0.1, 0.3}};
    const int n = static_cast<int>(s.size());
    std::vector<float> out(s.size());
    for (int i = 0; i < n; ++i) {
        double sum = 1.8 * s[i], weight = 1.8;
        for (int side : {-1, 1}) {
            for (int k = 1; k <= 4; ++k) {
                const int d = side < 0 ? 5 - k : k;   // the left side from afar
                const int j = i + side * d;
                if (j < 0 || j >= n || !(std::fabs(t[j] - t[i]) < 210.0 / 86400000.0)) continue;
                bool rising = true, falling = true;
                for (int m = 1; m <= d; ++m) {
                    const float nearer = s[i + side * (m - 1)], farther = s[i + side * m];
                    rising = rising && farther < nearer;
                    falling = falling && farther > nearer;
                }
                const double w = W[d][rising || falling];
                sum += w * s[j];
                weight += w;
            }
        }
        out[i] = static_cast<float>(sum / weight);
    }
    return out;
}

// Random logs with equal neighbours, steps across the window's edge, gaps
// and odd speeds (-0, infinite, no number): the fast path gives the plain
// rule's floats.
TEST_F(LogStoreTest, SpeedSmoothingMatchesThePlainRuleBitForBit) {
    std::mt19937 rng(20261210);
    const float speeds[] = {0, 10, 10, 20, 35.5f, 80, 120.25f, 300, -0.0f, -5, std::nanf(""), INFINITY};
    const double stepsMs[] = {50, 50, 100, 100, 70, 105, 209.9, 210, 210.1, 1000, 61000};
    // Times that stand still or go back, in a quarter of the logs.
    const double backMs[] = {0, -50, -209.9, -300, -61000};
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        // Short logs, then some longer than the smoothing's chunks.
        const int n = round < 12 ? round + 1 : 5 + static_cast<int>(rng() % (round % 25 ? 400 : 2500));
        store.Clear();
        std::vector<double> t;
        std::vector<float> s;
        double at = t0;
        for (int k = 0; k < n; ++k) {
            s.push_back(round % 3 == 0 ? static_cast<float>(rng() % 4) : speeds[rng() % std::size(speeds)]);
            t.push_back(at);
            if (round % 4 == 3 && rng() % 8 == 0)
                at += backMs[rng() % std::size(backMs)] / 86400000.0;
            else
                at += stepsMs[rng() % (round % 2 ? std::size(stepsMs) : 3)] / 86400000.0;
        }
        for (int k = 0; k < n; ++k) ASSERT_TRUE(store.AppendLogItem(Item(t[k], 35.0, 137.0, s[k]), status));
        store.SmoothLogSpd();
        const std::vector<float> want = SmoothedPlainly(t, s);
        for (int k = 0; k < n; ++k, ++compared) {
            const float got = store.LogItem[k].Spd;
            if (std::isnan(want[k])) {
                EXPECT_TRUE(std::isnan(got)) << "round " << round << " sample " << k;
            } else {
                ASSERT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(want[k]))
                    << "round " << round << " sample " << k << ": " << got << " vs " << want[k];
            }
        }
    }
    EXPECT_GT(compared, 30000);
}

TEST_F(LogStoreTest, PreSelectionByDate) {
    const double now = EncodeDateTime(2024, 1, 1, 12, 0, 0, 0);
    const double y2000 = EncodeDateTime(2000, 1, 1, 0, 0, 0, 0);
    const double d1 = EncodeDateTime(2023, 5, 14, 11, 0, 0, 0);
    const double d2 = EncodeDateTime(2023, 5, 15, 11, 0, 0, 0);
    struct Case {
        const char* name;
        std::vector<double> dtTm;
        std::vector<bool> actBefore;
        std::vector<bool> actAfter;
    };
    const Case cases[] = {
        {"dated blocks in order", {d1, d2}, {false, false}, {true, true}},
        {"2000-01-01 00:00 itself is too early", {y2000, y2000 + 60 * Sec}, {false, false}, {false, true}},
        {"1999 is too early", {y2000 - 1, d1}, {false, false}, {false, true}},
        {"up to now, not after", {d1, now, now + 60 * Sec}, {false, false, false}, {true, true, false}},
        {"earlier than the block before", {d2, d1, d2}, {false, false, false}, {true, false, true}},
        {"a refused block keeps its selection", {d2, d1}, {false, true}, {true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.LogBlock.clear();
        for (size_t b = 0; b < c.dtTm.size(); ++b) {
            TLogBlock blk;
            blk.DtTm = c.dtTm[b];
            blk.Act = c.actBefore[b];
            store.LogBlock.append(blk);
        }
        store.PriSelectLog(now);
        for (size_t b = 0; b < c.dtTm.size(); ++b) EXPECT_EQ(store.LogBlock[b].Act, c.actAfter[b]) << b;
    }
}

TEST_F(LogStoreTest, ActivationFollowsBlocksAndBoundsActiveSamples) {
    // Block 0 near (35, 137), block 1 near (36, 138) two minutes later.
    store.AppendLogItem(Item(t0, 35.0, 137.0), status);
    store.AppendLogItem(Item(t0 + 0.1 * Sec, 35.1, 136.9), status);
    store.AppendLogItem(Item(t0 + 120 * Sec, 36.0, 138.0), status);
    store.AppendLogItem(Item(t0 + 120.1 * Sec, 36.2, 138.3), status);
    ASSERT_EQ(store.LogBlockNum(), 2);

    store.LogBlock[1].Act = true;
    store.SetMbActAndRect();
    EXPECT_FALSE(store.LogItem[0].Act);
    EXPECT_FALSE(store.LogItem[1].Act);
    EXPECT_TRUE(store.LogItem[2].Act);
    EXPECT_TRUE(store.LogItem[3].Act);
    EXPECT_EQ(store.LogRect.IdoMin, Wide(36.0));
    EXPECT_EQ(store.LogRect.IdoMax, Wide(36.2));
    EXPECT_EQ(store.LogRect.KdoMin, Wide(138.0));
    EXPECT_EQ(store.LogRect.KdoMax, Wide(138.3));

    // With nothing selected the bounds take in every sample.
    store.LogBlock[1].Act = false;
    store.SetMbActAndRect();
    EXPECT_FALSE(store.LogItem[2].Act);
    EXPECT_EQ(store.LogRect.IdoMin, Wide(35.0));
    EXPECT_EQ(store.LogRect.IdoMax, Wide(36.2));
    EXPECT_EQ(store.LogRect.KdoMin, Wide(136.9));
    EXPECT_EQ(store.LogRect.KdoMax, Wide(138.3));
}

// The image decoders select blocks and gather bounds while they append; the
// result must be what selecting afterwards gives, down to the sign of a zero
// bound and the fallback to all samples when no block is selected.
TEST_F(LogStoreTest, PreselectingWhileAppendingEqualsSelectingAfter) {
    LogStore after;
    ASSERT_TRUE(after.Allocate());
    const double now = EncodeDateTime(2024, 1, 1, 0, 0, 0, 0);
    const double y2000 = EncodeDateTime(2000, 1, 1, 0, 0, 0, 0);
    std::mt19937 rng(11);
    auto bits = [](long double v) { return std::bit_cast<uint64_t>(static_cast<double>(v)); };
    for (int log = 0; log < 200; ++log) {
        SCOPED_TRACE(log);
        store.Clear();
        after.Clear();
        store.StartPreselect(now);
        // Block starts: mostly in order, some before 2000, after now or
        // earlier than the block before; in some logs none is selectable.
        const bool noneSelectable = log % 10 == 0;
        double t = noneSelectable ? now + 1 : t0;
        const int n = 1 + static_cast<int>(rng() % 400);
        for (int i = 0; i < n; ++i) {
            if (rng() % 40 == 0) {
                const double jumps[] = {120 * Sec, -3600 * Sec, y2000 - t, now - t, 1.0, -2.0};
                t += noneSelectable ? 1.0 : jumps[rng() % std::size(jumps)];
            } else {
                t += 0.1 * Sec;
            }
            const double ids[] = {0.0, -0.0, 90.0, -90.0, 35.0 + (rng() % 1000) * 1e-4};
            const double kds[] = {0.0, -0.0, 180.0, -180.0, 137.0 - (rng() % 1000) * 1e-4};
            const TLogItem it = Item(t, ids[rng() % 5], kds[rng() % 5]);
            ASSERT_TRUE(store.AppendLogItem(it, status));
            ASSERT_TRUE(after.AppendLogItem(it, status));
        }
        store.FinishPreselect();
        after.PriSelectLog(now);
        after.SetMbActAndRect();
        ASSERT_EQ(store.LogBlockNum(), after.LogBlockNum());
        for (int32_t b = 0; b < store.LogBlockNum(); ++b) ASSERT_EQ(store.LogBlock[b].Act, after.LogBlock[b].Act) << b;
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(store.LogItem[i].Act, after.LogItem[i].Act) << i;
        EXPECT_EQ(bits(store.LogRect.IdoMin), bits(after.LogRect.IdoMin));
        EXPECT_EQ(bits(store.LogRect.IdoMax), bits(after.LogRect.IdoMax));
        EXPECT_EQ(bits(store.LogRect.KdoMin), bits(after.LogRect.KdoMin));
        EXPECT_EQ(bits(store.LogRect.KdoMax), bits(after.LogRect.KdoMax));
    }
    // Appending without preselection leaves every sample inactive.
    store.Clear();
    ASSERT_TRUE(store.AppendLogItem(Item(t0), status));
    EXPECT_FALSE(store.LogItem[0].Act);
    EXPECT_FALSE(store.LogBlock[0].Act);
}

TEST_F(LogStoreTest, ImageGoesOverErasedMemoryAndIsCutAtTheBuffer) {
    const QByteArray first(LogDumpSize / 2, '\x11');
    store.PutLogImage(reinterpret_cast<const uint8_t*>(first.constData()), first.size());
    const QByteArray small(100, '\x22');
    EXPECT_EQ(store.PutLogImage(reinterpret_cast<const uint8_t*>(small.constData()), small.size()), 100);
    EXPECT_EQ(store.LogDump[99], 0x22);
    EXPECT_EQ(store.LogDump[100], 0xFF);   // nothing of the earlier image is left
    EXPECT_EQ(store.LogDump[LogDumpSize - 1], 0xFF);

    const QByteArray big(LogDumpSize + 10, '\x33');
    EXPECT_EQ(store.PutLogImage(reinterpret_cast<const uint8_t*>(big.constData()), big.size()), LogDumpSize);
    EXPECT_EQ(store.LogDump[LogDumpSize - 1], 0x33);
}
