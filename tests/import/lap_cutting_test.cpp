#include <cmath>
#include <vector>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "common/geodesy.h"
#include "common/records.h"
#include "import/lap_cutting.h"
#include "model/lap_file.h"
#include "model/lap_rows.h"
#include "model/line_choice.h"
#include "model/session.h"
#include "support/image_builder.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double Jst = 25569.0 + 9.0 / 24.0;   // LocalEpoch at UTC+9
constexpr double SecDay = 86400.0;
constexpr int32_t Grp = 7;

double Local(const ImageSample& s) { return s.utcSec / SecDay + Jst + s.ms / 86400000.0; }

// Positions as the image builder makes them: x east, y north of the
// circuit's centre, metres.
double LatAt(const ImageCircuit& c, double y) {
    return c.centreLat + y / static_cast<double>(EarthR) * (180.0 / static_cast<double>(Pi));
}
double LonAt(const ImageCircuit& c, double x) {
    const double degPerRad = 180.0 / static_cast<double>(Pi);
    return c.centreLon + x / (static_cast<double>(EarthR) * std::cos(c.centreLat / degPerRad)) * degPerRad;
}

// A north-south line at x, from y - half to y + half.
LineEnds LineAcross(const ImageCircuit& c, double x, double y, double half = 20) {
    return LineEnds{LatAt(c, y - half), LonAt(c, x), LatAt(c, y + half), LonAt(c, x)};
}

LineChoice ControlLine(const LineEnds& line) {
    LineChoice l;
    l.CtrlLine = line;
    l.CtrlLineSet = true;
    return l;
}

LineChoice StartGoal(const LineEnds& start, const LineEnds& goal, bool rally = false) {
    LineChoice l;
    l.CtrlLine = start;
    l.FinLine = goal;
    l.StaLineSet = l.FinLineSet = true;
    l.RallySta = rally;
    return l;
}

// Samples every 1/hz s driving east and west along y = 0 through the
// waypoints xs (m), at c.kmh.
std::vector<ImageSample> Shuttle(const ImageCircuit& c, const std::vector<double>& xs) {
    const double v = c.kmh / 3.6;
    const int64_t stepMs = 1000 / c.hz;
    double total = 0;
    for (size_t k = 1; k < xs.size(); ++k) total += std::fabs(xs[k] - xs[k - 1]);
    const int count = static_cast<int>(total / (v * stepMs / 1000.0)) + 1;
    std::vector<ImageSample> out;
    for (int i = 0; i < count; ++i) {
        const int64_t tMs = i * stepMs;
        double s = v * static_cast<double>(tMs) / 1000.0, x = xs.back();
        for (size_t k = 1; k < xs.size(); ++k) {
            const double len = std::fabs(xs[k] - xs[k - 1]);
            if (s <= len) {
                x = xs[k - 1] + (xs[k] > xs[k - 1] ? s : -s);
                break;
            }
            s -= len;
        }
        ImageSample p;
        p.utcSec = c.startUtc + static_cast<int32_t>(tMs / 1000);
        p.ms = static_cast<uint16_t>(tMs % 1000);
        p.lat = LatAt(c, 0);
        p.lon = LonAt(c, x);
        p.elv = c.elv;
        p.spd = static_cast<float>(c.kmh);
        out.push_back(p);
    }
    return out;
}

struct LapCuttingTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    QString error;

    void SetUp() override {
        session.folders = FoldersUnder(tmp.path());
        ASSERT_TRUE(QDir().mkpath(session.folders.TempDir));
        ASSERT_TRUE(session.logStore.Allocate());
        session.logStore.LogName = "QK4_202305141100";
        NewList();
    }

    void NewList() {
        session.lapList = LapList{};
        session.lapList.GrpNo = Grp;
    }

    // The samples as one import with every block selected.
    void Fill(const std::vector<ImageSample>& samples) {
        LogStore& st = session.logStore;
        st.Clear();
        for (const ImageSample& s : samples) {
            TLogItem it;
            it.DtTm = Local(s);
            it.Ido = s.lat;
            it.Kdo = s.lon;
            it.Elv = s.elv;
            it.Spd = s.spd;
            it.sat_used = s.satUsed;
            it.sat_view = s.satView;
            it.ms = s.ms;
            it.valid = s.valid;
            ASSERT_TRUE(st.AppendLogItem(it, session.statusList));
        }
        for (TLogBlock& b : st.LogBlock) b.Act = true;
        st.SetMbActAndRect();
    }

    const QVector<LapRow>& Rows() const { return session.lapList.Rows; }
    long double LapSec(int row) const { return session.lapList.LapStrLst[row].Sec; }
    double Km(int row) const { return Rows()[row].Cells[6].toDouble(); }

    QVector<TLapElmRec> Records(int row) const {
        QVector<TLapElmRec> recs;
        const int number = Rows()[row].Cells[1].toInt();
        EXPECT_EQ(ReadLapFile(WorkingFileName(session.folders.TempDir, number), recs), LapFileStatus::Ok);
        return recs;
    }

    // Records in time order with the distance never going back.
    static void ExpectOrdered(const QVector<TLapElmRec>& recs) {
        for (qsizetype i = 1; i < recs.size(); ++i) {
            ASSERT_GE(recs[i].Sec, recs[i - 1].Sec) << i;
            ASSERT_GE(recs[i].Dist, recs[i - 1].Dist) << i;
            ASSERT_NEAR(static_cast<double>(recs[i].Sec), recs[i].Tm * SecDay, 1e-6) << i;
        }
    }
};

} // namespace

TEST_F(LapCuttingTest, CircuitLapsEndAtTheInterpolatedCrossings) {
    for (const CircuitShape shape : {CircuitShape::Square, CircuitShape::Oval}) {
        for (const int hz : {5, 10, 20}) {
            SCOPED_TRACE(testing::Message() << (shape == CircuitShape::Square ? "square " : "oval ") << hz << " Hz");
            NewList();
            // A row already in the list: the cut's rows number on from it.
            ASSERT_TRUE(AddLapRow(session, QVector<TLapElmRec>(1), "run", std::nullopt, 3));

            ImageCircuit c;
            c.shape = shape;
            c.hz = hz;
            c.kmh = 97;   // laps of no whole number of sample intervals
            const double len = ImageCircuitLength(c), v = c.kmh / 3.6;
            const double lineX = 10.3, lineY = shape == CircuitShape::Square ? -c.sizeM / 2 : -c.sizeM / 4;
            const int count = static_cast<int>(3.5 * len / v * hz);
            const auto samples = ImageCircuitSamples(c, count);
            Fill(samples);

            ASSERT_TRUE(CutLapCircuit(session, ControlLine(LineAcross(c, lineX, lineY)), &error));
            // The out-lap of 10 m is dropped: three laps and the in-lap.
            ASSERT_EQ(Rows().size(), 1 + 4);
            EXPECT_EQ(session.lapList.GrpNo, Grp);
            const double t0 = Local(samples.front());
            const double tEnd = (count - 1) / static_cast<double>(hz);
            for (int k = 0; k < 4; ++k) {
                SCOPED_TRACE(k);
                const int row = 1 + k;
                const auto& cells = Rows()[row].Cells;
                const double from = (lineX + k * len) / v;            // crossing, s
                const double to = k < 3 ? (lineX + (k + 1) * len) / v : tEnd;
                EXPECT_NEAR(static_cast<double>(LapSec(row)), to - from, 1e-5);
                EXPECT_EQ(cells[4], LapTimeText(to - from));
                // Steps across a corner of the square are chords: up to 0.3 step short each.
                EXPECT_NEAR(Km(row), (to - from) * v / 1000, (1.2 * v / hz + 0.5) / 1000);
                EXPECT_EQ(cells[0], "20230514_1100");
                EXPECT_EQ(cells[1], QString("%1").arg(row, 4, 10, QChar('0')));
                EXPECT_EQ(cells[2], "2023/05/14");
                EXPECT_EQ(cells[3], ClockText(t0 + from / SecDay));
                EXPECT_EQ(cells[5], "97.00");
                EXPECT_EQ(cells[7], "QK4_202305141100");
                EXPECT_EQ(cells[19], QString::number(Grp));

                const auto recs = Records(row);
                ASSERT_FALSE(recs.isEmpty());
                ExpectOrdered(recs);
                // Start record at the crossing, one record per sample, end record.
                const TLapElmRec& a = recs.front();
                EXPECT_EQ(a.Sec, 0);
                EXPECT_EQ(a.Dist, 0);
                EXPECT_NEAR(a.DtTm, t0 + from / SecDay, 1e-9);
                EXPECT_NEAR(static_cast<double>(a.Kdo), LonAt(c, lineX), 1e-10);
                EXPECT_NEAR(static_cast<double>(a.Spd), 97, 1e-4);
                const int inside = static_cast<int>(std::floor(to * hz)) - static_cast<int>(std::floor(from * hz));
                const TLapElmRec& z = recs.back();
                EXPECT_NEAR(static_cast<double>(z.Dist), Km(row), 0.0005);
                if (k < 3) {
                    EXPECT_EQ(recs.size(), inside + 2);
                    EXPECT_NEAR(static_cast<double>(z.Sec), to - from, 1e-5);
                    EXPECT_NEAR(static_cast<double>(z.Kdo), LonAt(c, lineX), 1e-10);
                } else {
                    EXPECT_EQ(recs.size(), inside + 1);   // ends at the last sample
                    EXPECT_EQ(z.DtTm, Local(samples.back()));
                }
            }
        }
    }
}

TEST_F(LapCuttingTest, LapAcceptance) {
    struct Case {
        const char* what;
        double sideM, kmh;
        float spd;   // every sample's speed
        bool kept;
    };
    // Laps of a square of four sides at kmh; a side of 60 m makes 0.24 km.
    const Case cases[] = {
        {"0.21 km", 52.5, 40, 40, true},
        {"0.19 km", 47.5, 40, 40, false},
        {"8.1 s", 60, 240.0 / 8.1 * 3.6, 100, true},
        {"7.9 s", 60, 240.0 / 7.9 * 3.6, 100, false},
        {"top speed 4.0", 60, 36, 4.0f, true},
        {"top speed 3.9", 60, 36, 3.9f, false},
        {"mean 2.1 km/h", 60, 2.1, 50, true},
        {"mean 1.9 km/h", 60, 1.9, 50, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NewList();
        ImageCircuit c;
        c.sizeM = k.sideM;
        c.kmh = k.kmh;
        const double v = c.kmh / 3.6, lineX = 0.5;
        // From just before the line to just after its second crossing: no
        // lap but the full one can pass.
        const int count = static_cast<int>((lineX + ImageCircuitLength(c)) / v * c.hz) + 2;
        auto samples = ImageCircuitSamples(c, count);
        for (ImageSample& s : samples) s.spd = k.spd;
        Fill(samples);
        ASSERT_TRUE(CutLapCircuit(session, ControlLine(LineAcross(c, lineX, -c.sizeM / 2)), &error));
        EXPECT_EQ(Rows().size(), k.kept ? 1 : 0);
    }
}

TEST_F(LapCuttingTest, TopSpeedCountsGoodFixesAndTheCrossings) {
    struct Case {
        const char* what;
        uint8_t allSats;       // satellites of every sample
        uint8_t fastSats;      // of the one fast sample mid-lap
        const char* topSpeed;  // column 5
    };
    const Case cases[] = {
        {"fast sample with 4 satellites", 10, 4, "150.00"},
        {"fast sample with 3 satellites", 10, 3, "90.00"},
        {"every fix poor: the crossings count", 3, 3, "90.00"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NewList();
        ImageCircuit c;   // square of 400 m at 90 km/h
        const double lineX = 10.3;
        const int count = static_cast<int>((lineX + ImageCircuitLength(c)) / (c.kmh / 3.6) * c.hz) + 2;
        auto samples = ImageCircuitSamples(c, count);
        for (ImageSample& s : samples) s.satUsed = k.allSats;
        samples[300].spd = 150;
        samples[300].satUsed = k.fastSats;
        Fill(samples);
        ASSERT_TRUE(CutLapCircuit(session, ControlLine(LineAcross(c, lineX, -200)), &error));
        ASSERT_EQ(Rows().size(), 1);
        EXPECT_EQ(Rows()[0].Cells[5], k.topSpeed);
        EXPECT_EQ(QString("%1").arg(static_cast<double>(session.lapList.LapStrLst[0].MaxSpd), 0, 'f', 2), k.topSpeed);
    }
}

TEST_F(LapCuttingTest, SamplesOnTheLineAndOnItsExtension) {
    // Square of 400 m at 25 m/s and 10 Hz: every 640th sample lies exactly on
    // a line through the middle of the south side, and the samples in the
    // middle of the north side lie exactly on its extension.
    ImageCircuit c;
    c.kmh = 90;
    const int count = 3 * 640 + 1;
    const auto samples = ImageCircuitSamples(c, count);
    ASSERT_EQ(samples[320].lon, c.centreLon);
    ASSERT_EQ(samples[640].lon, c.centreLon);
    Fill(samples);
    ASSERT_TRUE(CutLapCircuit(session, ControlLine(LineAcross(c, 0, -200)), &error));
    ASSERT_EQ(Rows().size(), 3);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(Rows()[k].Cells[4], "1:04.000");
        EXPECT_EQ(Rows()[k].Cells[6], "1.600");
        EXPECT_EQ(Rows()[k].Cells[3], ClockText(Local(samples[640 * k])));
        const auto recs = Records(k);
        ExpectOrdered(recs);
        EXPECT_EQ(recs.front().Sec, 0);
        EXPECT_EQ(recs.front().Kdo, c.centreLon);
        EXPECT_NEAR(static_cast<double>(recs.back().Sec), 64, 1e-6);
    }
}

TEST_F(LapCuttingTest, ADeselectedBlockTakesNoPartInTheCrossing) {
    // Block A: samples 0 to 50; block B: 30 samples of elsewhere 100 s
    // later, deselected; block C: samples 51 on, 300 s later than they were
    // driven. The line lies on the step from A's last sample to C's first.
    ImageCircuit c;
    c.kmh = 90;
    const auto base = ImageCircuitSamples(c, 1000);
    std::vector<ImageSample> samples(base.begin(), base.begin() + 51);
    for (int i = 600; i < 630; ++i) {
        ImageSample s = base[static_cast<size_t>(i)];
        s.utcSec += 100;
        samples.push_back(s);
    }
    for (size_t i = 51; i < base.size(); ++i) {
        ImageSample s = base[i];
        s.utcSec += 300;
        samples.push_back(s);
    }
    Fill(samples);
    LogStore& st = session.logStore;
    ASSERT_EQ(st.LogBlockNum(), 3);
    st.LogBlock[1].Act = false;
    st.SetMbActAndRect();

    const double lineX = 126.3;   // between x = 125 (A's last) and 127.5
    ASSERT_TRUE(CutLapCircuit(session, ControlLine(LineAcross(c, lineX, -200)), &error));
    // The out-lap of 126 m is dropped; the lap from the crossing and the in-lap.
    ASSERT_EQ(Rows().size(), 2);
    const double t0 = Local(samples.front());
    const double cross1 = 5.0 + (305.1 - 5.0) * (1.3 / 2.5);   // s after the first sample
    const double cross2 = (lineX + 1600) / 25 + 300;
    EXPECT_NEAR(static_cast<double>(LapSec(0)), cross2 - cross1, 1e-5);
    EXPECT_EQ(Rows()[0].Cells[4], "3:28.000");
    EXPECT_EQ(Rows()[0].Cells[6], "1.600");
    EXPECT_EQ(Rows()[0].Cells[0], st.LogBlock[2].Title);
    const auto recs = Records(0);
    EXPECT_NEAR(recs.front().DtTm, t0 + cross1 / SecDay, 1e-9);
    EXPECT_NEAR(static_cast<double>(recs[1].Dist), 0.0012, 1e-6);   // 1.2 m from the crossing to C's first
    ExpectOrdered(recs);
}

TEST_F(LapCuttingTest, NoLineMakesTheSelectionOneLap) {
    // The line no log crosses.
    const LineChoice never = ControlLine(LineEnds{0, 0, 1e-6L, 1e-6L});
    ImageCircuit c;
    c.kmh = 90;
    struct Case {
        const char* what;
        int count;
        int active;   // samples left active from the first, -1 all
        int rows;
    };
    const Case cases[] = {
        {"a lap and a bit", 700, -1, 1},
        {"4.9 s is too short", 50, -1, 0},
        {"no active sample", 700, 0, 0},
        {"one active sample", 700, 1, 0},
        {"empty store", 0, -1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NewList();
        Fill(ImageCircuitSamples(c, k.count));
        LogStore& st = session.logStore;
        if (k.active >= 0)
            for (int32_t i = k.active; i < st.LogItemNum; ++i) st.LogItem[i].Act = false;
        ASSERT_TRUE(CutLapCircuit(session, never, &error));
        ASSERT_EQ(Rows().size(), k.rows);
        if (k.rows == 1) {
            EXPECT_EQ(Rows()[0].Cells[4], "1:09.900");
            EXPECT_EQ(Records(0).size(), k.count);
        }
        ASSERT_TRUE(CutLapStaGoal(session, StartGoal(never.CtrlLine, never.CtrlLine), &error));
        EXPECT_EQ(Rows().size(), k.rows);
    }
}

TEST_F(LapCuttingTest, StartAndGoalRuns) {
    struct Case {
        const char* what;
        std::vector<double> path;   // waypoints east-west, m
        double startX, goalX;
        int runs;
        double from, to;   // the run's start and goal crossings, m along the path
    };
    const Case cases[] = {
        {"start then goal", {0, 400}, 10.3, 300.7, 1, 10.3, 300.7},
        {"start, start, start, goal: the last start counts", {0, 50, -10, 400}, 10.3, 300.7, 1, 130.3, 420.7},
        {"start without goal", {0, 200}, 10.3, 300.7, 0, 0, 0},
        {"goal before start", {0, 400}, 300.3, 100.7, 0, 0, 0},
        {"goal crossings while idle are ignored", {0, 400, 0}, 10.3, 300.7, 1, 10.3, 300.7},
    };
    ImageCircuit c;
    c.kmh = 90;
    const double v = 25;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NewList();
        const auto samples = Shuttle(c, k.path);
        Fill(samples);
        ASSERT_TRUE(CutLapStaGoal(session, StartGoal(LineAcross(c, k.startX, 0), LineAcross(c, k.goalX, 0)), &error));
        ASSERT_EQ(Rows().size(), k.runs);
        EXPECT_EQ(session.lapList.GrpNo, Grp);
        if (k.runs == 0) continue;
        EXPECT_NEAR(static_cast<double>(LapSec(0)), (k.to - k.from) / v, 1e-5);
        EXPECT_NEAR(Km(0), (k.to - k.from) / 1000, 0.0005);
        EXPECT_EQ(Rows()[0].Cells[19], QString::number(Grp));
        const auto recs = Records(0);
        ExpectOrdered(recs);
        EXPECT_NEAR(recs.front().DtTm, Local(samples.front()) + k.from / v / SecDay, 1e-9);
        EXPECT_NEAR(static_cast<double>(recs.front().Kdo), LonAt(c, k.startX), 1e-10);
        EXPECT_NEAR(static_cast<double>(recs.back().Kdo), LonAt(c, k.goalX), 1e-10);
    }
}

// The crossing records take elevation, heading and satellites from a sample:
// the start record from the lap's first sample, the end record from the last
// sample before the crossing. Every sample here has its own values.
TEST_F(LapCuttingTest, CrossingRecordsTakeTheirSamplesElevationHeadingAndSatellites) {
    ImageCircuit c;
    c.kmh = 90;   // 2.5 m a sample at 10 Hz
    struct Case { const char* what; std::vector<double> path; bool circuit; double lineA, lineB; int first, last; };
    const Case cases[] = {
        // Start at 10.3 m (between samples 4 and 5), goal at 300.7 m (120 and 121).
        {"start and goal", {0, 400}, false, 10.3, 300.7, 5, 120},
        // Control line at 100.3 m, out east (40 | 41) and back west (279 | 280).
        {"control line", {0, 400, 0}, true, 100.3, 0, 41, 279},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NewList();
        Fill(Shuttle(c, k.path));
        LogStore& st = session.logStore;
        for (int32_t i = 0; i < st.LogItemNum; ++i) {
            st.LogItem[i].Elv = 100.0f + i;
            st.LogItem[i].Dir = static_cast<float>(i % 360);
            st.LogItem[i].sat_used = static_cast<uint8_t>(4 + i % 7);
        }
        if (k.circuit)
            ASSERT_TRUE(CutLapCircuit(session, ControlLine(LineAcross(c, k.lineA, 0)), &error));
        else
            ASSERT_TRUE(CutLapStaGoal(session, StartGoal(LineAcross(c, k.lineA, 0), LineAcross(c, k.lineB, 0)), &error));
        ASSERT_EQ(Rows().size(), 1);
        const auto recs = Records(0);
        ASSERT_EQ(recs.size(), k.last - k.first + 3);
        const TLapElmRec& a = recs.front();
        EXPECT_EQ(a.Elv, 100.0L + k.first);
        EXPECT_EQ(a.Dir, k.first);
        EXPECT_EQ(a.UseSat, 4 + k.first % 7);
        const TLapElmRec& z = recs.back();
        EXPECT_EQ(z.Elv, 100.0L + k.last);
        EXPECT_EQ(z.Dir, k.last % 360);
        EXPECT_EQ(z.UseSat, 4 + k.last % 7);
        // The sample records between keep their own.
        EXPECT_EQ(recs[1].Elv, a.Elv);
        EXPECT_EQ(recs[recs.size() - 2].UseSat, z.UseSat);
    }
}

TEST_F(LapCuttingTest, RallyStartCountsFromTheWholeMinute) {
    // First sample at 11:00:59.000 local, 25 m/s at 10 Hz: the start line is
    // crossed at 11:01:00.250, the first sample after it is at .300, the goal
    // is crossed at 11:01:10.250.
    ImageCircuit c;
    c.kmh = 90;
    c.startUtc += 59;
    const auto samples = Shuttle(c, {0, 400});
    Fill(samples);
    struct Case {
        bool rally;
        const char* lapTime;
        double firstSampleSec;
    };
    for (const Case& k : {Case{false, "0:10.000", 0.05}, Case{true, "0:10.250", 0.3}}) {
        SCOPED_TRACE(k.rally);
        NewList();
        ASSERT_TRUE(CutLapStaGoal(session, StartGoal(LineAcross(c, 31.25, 0), LineAcross(c, 281.25, 0), k.rally),
                                  &error));
        ASSERT_EQ(Rows().size(), 1);
        EXPECT_EQ(Rows()[0].Cells[4], k.lapTime);
        EXPECT_EQ(Rows()[0].Cells[3], "11:01:00");
        const auto recs = Records(0);
        ASSERT_GE(recs.size(), 3);
        EXPECT_EQ(recs[0].Sec, 0);   // the start record
        EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", recs[0].DtTm), "11:01:00.250");
        EXPECT_NEAR(static_cast<double>(recs[1].Sec), k.firstSampleSec, 1e-6);
        EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", recs[1].DtTm), "11:01:00.300");
        EXPECT_EQ(LapTimeText(recs.back().Sec), k.lapTime);
    }
}

TEST_F(LapCuttingTest, AFailedWriteEndsTheCutAndKeepsTheRowsBefore) {
    ImageCircuit c;
    c.kmh = 90;
    Fill(ImageCircuitSamples(c, 3 * 640 + 100));
    // The second lap's working file can't be made: a folder has its name.
    ASSERT_TRUE(QDir().mkpath(WorkingFileName(session.folders.TempDir, 1)));
    EXPECT_FALSE(CutLapCircuit(session, ControlLine(LineAcross(c, 10.3, -200)), &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_EQ(Rows().size(), 1);
    EXPECT_TRUE(QFile::exists(WorkingFileName(session.folders.TempDir, 0)));

    NewList();
    error.clear();
    session.folders.TempDir = WorkingFileName(session.folders.TempDir, 0) + "/";   // below a file
    const auto samples = Shuttle(c, {0, 400});
    Fill(samples);
    EXPECT_FALSE(CutLapStaGoal(session, StartGoal(LineAcross(c, 10.3, 0), LineAcross(c, 300.7, 0)), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(Rows().isEmpty());
}

// A cut after the list was cleared finds the old rows' working files: those
// no row holds go first (renaming over them is slow on ext4); the files of
// rows still listed stay and load, and other files are left alone.
TEST_F(LapCuttingTest, ACutClearsOnlyTheWorkingFilesNoRowHolds) {
    ImageCircuit c;
    c.kmh = 90;
    Fill(ImageCircuitSamples(c, 3 * 640 + 100));
    const LineChoice line = ControlLine(LineAcross(c, 10.3, -200));
    ASSERT_TRUE(CutLapCircuit(session, line, &error)) << error.toStdString();
    const int laps = Rows().size();
    ASSERT_GE(laps, 2);
    const QString tempDir = session.folders.TempDir;
    const auto workingFiles = [&] {
        return QDir(tempDir).entryList({"temp*.dtb"}, QDir::Files, QDir::Name);
    };
    QFile other(tempDir + "notes.txt");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    QFile stray(WorkingFileName(tempDir, laps + 5));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();

    // A second cut beside the first rows: theirs stay and still load.
    ASSERT_TRUE(CutLapCircuit(session, line, &error));
    ASSERT_EQ(Rows().size(), 2 * laps);
    EXPECT_EQ(workingFiles().size(), 2 * laps);
    EXPECT_EQ(Records(0).size(), Records(laps).size());

    // Cleared, then cut again: only the new rows' files are left.
    NewList();
    ASSERT_TRUE(CutLapCircuit(session, line, &error));
    QStringList expected;
    for (int k = 0; k < laps; ++k) expected << QFileInfo(WorkingFileName(tempDir, k)).fileName();
    EXPECT_EQ(workingFiles(), expected);
    EXPECT_TRUE(QFile::exists(tempDir + "notes.txt"));
    for (int k = 0; k < laps; ++k) ExpectOrdered(Records(k));
}
