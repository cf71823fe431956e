#include <cmath>
#include <algorithm>
#include <array>
#include <vector>
#include <gtest/gtest.h>
#include "analysis/lap_derive.h"
#include "common/geodesy.h"
#include "support/lap_builder.h"

namespace vel {
namespace {

using test::Drive;
using test::Turn;

constexpr long double G = 9.80665L;

TLapDtRec LapOf(const QVector<TLapElmRec>& recs) {
    TLapDtRec lap;
    lap.Elm = recs;
    lap.ElmNum = static_cast<int32_t>(recs.size());
    lap.GElm.resize(recs.size());
    lap.DElm.resize(recs.size());
    return lap;
}

TLapDtRec Derived(const QVector<TLapElmRec>& recs) {
    TLapDtRec lap = LapOf(recs);
    SetDElm(lap);
    SetGElm(lap);
    return lap;
}

double HeadingGap(long double a, long double b) {
    const double d = std::fmod(std::fabs(static_cast<double>(a - b)), 360.0);
    return std::min(d, 360.0 - d);
}

// Samples every `interval` seconds along metre offsets (east, north) from
// 35.37 N 138.927 E at 50 km/h.
QVector<TLapElmRec> AlongPoints(long double interval, const QVector<std::pair<long double, long double>>& en) {
    const Drive d;
    const long double mPerDegIdo = EarthR * Pi / 180.0L;
    const long double mPerDegKdo = mPerDegIdo * std::cos(d.ido * Pi / 180.0L);
    QVector<TLapElmRec> recs(en.size());
    for (qsizetype k = 0; k < en.size(); ++k) {
        TLapElmRec& r = recs[k];
        r.Sec = k * interval;
        r.Tm = static_cast<double>(r.Sec / 86400.0L);
        r.DtTm = d.start + r.Tm;
        r.Kdo = d.kdo + en[k].first / mPerDegKdo;
        r.Ido = d.ido + en[k].second / mPerDegIdo;
        r.Spd = d.spd;
        r.Dir = 270;
    }
    return recs;
}

TEST(LapDerive, StraightRunsHaveNoTurnAndNoAcceleration) {
    const struct Case {
        const char* name;
        long double heading;
    } cases[] = {{"north", 180}, {"east", 270}, {"south", 0}, {"west", 90}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TLapDtRec lap = Derived(test::StraightRun(Drive{}, c.heading, 30));
        for (qsizetype k = 0; k < lap.ElmNum; ++k) {
            SCOPED_TRACE(k);
            EXPECT_LT(HeadingGap(lap.DElm[k].GpsDir, c.heading), 1e-9);
            if (k == 0 || k == lap.ElmNum - 1) continue;
            EXPECT_EQ(lap.GElm[k].r, MaxRadius);
            EXPECT_NEAR(static_cast<double>(lap.GElm[k].r2_3), 9999.9, 1e-9);
            EXPECT_EQ(lap.GElm[k].logiG, 0.0L);
            EXPECT_EQ(lap.GElm[k].logiG3, 0.0L);
        }
    }
}

// Lateral G v^2 / (r g) on a circle of 50 m at 36 km/h, whatever the fix
// rate and so whatever radius filter the interval chooses; positive
// counter-clockwise (a left-hand turn).
TEST(LapDerive, CircleGivesLateralGOfItsRadiusAndSpeed) {
    const long double want = 10.0L * 10.0L / (50 * G);   // 0.2039
    const struct Case {
        int hz;
        Turn turn;
        int sign;
        double tolerance;   // relative
    } cases[] = {
        {1, Turn::Left, 1, 1e-4},  {1, Turn::Right, -1, 1e-4},
        {5, Turn::Left, 1, 5e-3},  {5, Turn::Right, -1, 5e-3},
        {10, Turn::Left, 1, 5e-3}, {10, Turn::Right, -1, 5e-3},
        {20, Turn::Left, 1, 5e-3}, {20, Turn::Right, -1, 5e-3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hz << " Hz, sign " << c.sign);
        Drive d;
        d.hz = c.hz;
        d.spd = 36;
        const TLapDtRec lap = Derived(test::CircleLap(d, 50, c.turn));
        const qsizetype n = lap.ElmNum;
        ASSERT_GT(n, 20);
        if (c.hz == 1) {
            EXPECT_NEAR(static_cast<double>(lap.GElm[n / 2].lateG), c.sign * 0.2039, 5e-5);
        }
        // Away from the ends, where the smoothing and the filters see one side only.
        for (qsizetype k = 8; k < n - 8; ++k) {
            SCOPED_TRACE(k);
            const TGCalRec& g = lap.GElm[k];
            EXPECT_EQ(g.rl, c.sign);
            EXPECT_NEAR(static_cast<double>(g.r2_3), 50.0, 50.0 * c.tolerance);
            EXPECT_NEAR(static_cast<double>(g.lateG3), static_cast<double>(c.sign * want),
                        static_cast<double>(want) * c.tolerance);
            EXPECT_NEAR(static_cast<double>(g.logiG3), 0.0, 1e-9);
            EXPECT_NEAR(static_cast<double>(g.XYG), static_cast<double>(want), static_cast<double>(want) * c.tolerance);
        }
        // The end samples carry no turn and no G; sample 0 is the origin.
        for (const qsizetype k : {qsizetype(0), n - 1}) {
            const TGCalRec& g = lap.GElm[k];
            EXPECT_EQ(g.rl, 0);
            EXPECT_EQ(g.r, 0.0L);
            EXPECT_EQ(g.r2, 0.0L);
            EXPECT_EQ(g.lateG3, 0.0L);
            EXPECT_EQ(g.XYG, 0.0L);
            EXPECT_EQ(g.spd2, 36.0L);
        }
        EXPECT_EQ(lap.GElm[0].X, 0.0L);
        EXPECT_EQ(lap.GElm[0].Y, 0.0L);
    }
}

TEST(LapDerive, ConstantAccelerationGivesLongitudinalG) {
    QVector<TLapElmRec> recs = test::StraightRun(Drive{}, 270, 40);
    for (qsizetype k = 0; k < recs.size(); ++k) recs[k].Spd = 20 + 3.6L * k;   // 3.6 km/h per 0.1 s
    recs[20].Sec = recs[19].Sec;   // two fixes at one time: no change to divide by
    const TLapDtRec lap = Derived(recs);
    for (qsizetype k = 1; k < recs.size() - 1; ++k) {
        SCOPED_TRACE(k);
        if (k == 20) {
            EXPECT_EQ(lap.GElm[k].logiG, 0.0L);
            continue;
        }
        if (k == 21) continue;   // 0.2 s after the doubled fix
        EXPECT_NEAR(static_cast<double>(lap.GElm[k].logiG), 1.0 / 0.980665, 1e-9);
        if (k < 19 || k > 22) {
            EXPECT_NEAR(static_cast<double>(lap.GElm[k].logiG3), 1.02, 0.005);
        }
    }
}

TEST(LapDerive, RawRadiusIsTheCircumradius) {
    const long double a = 0.3L, b = 1.1L;   // angles on a circle of 50 m round the origin
    const struct Case {
        const char* name;
        long double px, py, qx, qy, sx, sy;
        long double want;
    } cases[] = {
        // Chords along the axes used to give no turn in the middle of a bend.
        {"north-south first chord", 50 * std::cos(a), -50 * std::sin(a), 50 * std::cos(a), 50 * std::sin(a),
         50 * std::cos(b), 50 * std::sin(b), 50},
        {"east-west second chord", 50 * std::cos(b), 50 * std::sin(b), 50 * std::cos(a), 50 * std::sin(a),
         -50 * std::cos(a), 50 * std::sin(a), 50},
        {"right angle", 0, 0, 10, 0, 10, 10, 5 * std::sqrt(2.0L)},
        {"three points on a line", 0, 0, 1, 1, 3, 3, MaxRadius},
        {"no first chord", 5, 5, 5, 5, 9, 1, MaxRadius},
        {"no second chord", 1, 9, 5, 5, 5, 5, MaxRadius},
        {"back where it came from", 0, 0, 4, 0, 0, 0, MaxRadius},
        {"nearly straight", 0, 0, 10, 0, 20, 1e-4L, MaxRadius},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(static_cast<double>(TurnRadius(c.px, c.py, c.qx, c.qy, c.sx, c.sy)),
                    static_cast<double>(c.want), 1e-9);
    }
}

TEST(LapDerive, SortsForTheRadiusMedian) {
    const struct Case {
        const char* name;
        std::array<double, 5> in;
        int n;
        bool keepDip;
        std::array<double, 5> want;
    } cases[] = {
        {"dip kept", {50, 40, 10, 40, 50}, 5, true, {50, 40, 10, 40, 50}},
        {"dip sorted away", {50, 40, 10, 40, 50}, 5, false, {10, 40, 40, 50, 50}},
        {"centre not strictly lowest", {50, 10, 10, 40, 50}, 5, true, {10, 10, 40, 50, 50}},
        {"three sorted, the rest untouched", {30, 20, 10, 5, 1}, 3, true, {10, 20, 30, 5, 1}},
        {"reversed five", {5, 4, 3, 2, 1}, 5, false, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<double, 5> a = c.in;
        if (c.keepDip) SortFloatsKeepDip(a, c.n);
        else SortFloatsAsc(a, c.n);
        EXPECT_EQ(a, c.want);
    }
}

// A straight that bends by 30 degrees at one sample: after the position
// smoothing the bend's radius is smallest at that sample. The shortest
// interval decides whether the median keeps that dip.
TEST(LapDerive, RadiusFilterChosenByTheShortestInterval) {
    const struct Case {
        long double interval;
        const char* filter;
    } cases[] = {{0.25L, "none"}, {0.15L, "dip-keeping median"}, {0.05L, "plain median"}};
    constexpr int bend = 12;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        QVector<std::pair<long double, long double>> en;
        for (int k = 0; k < 25; ++k) {
            const long double s = 2.0L * std::max(0, k - bend);
            en.append({2.0L * std::min(k, bend) + s * std::cos(Pi / 6), s * std::sin(Pi / 6)});
        }
        const TLapDtRec lap = Derived(AlongPoints(c.interval, en));
        const TGCalRec& g = lap.GElm[bend];
        for (int j = bend - 2; j <= bend + 2; ++j)
            if (j != bend) {
                ASSERT_LT(g.r, lap.GElm[j].r) << "no dip at " << j;
            }
        if (c.interval > 0.2L) {
            EXPECT_EQ(g.r1, g.r);
            EXPECT_EQ(g.r2, g.r);
        } else if (c.interval > 0.1L) {
            EXPECT_EQ(g.r1, g.r);
            EXPECT_LT(g.r2, g.r1 * 1.5L);
        } else {
            EXPECT_GT(g.r1, g.r);
        }
        EXPECT_GT(g.lateG, 0);   // a left-hand bend
    }
}

// r1 and r2 of samples 1 to n - 2 from raw radii, written out as the filter
// rules read, to check the lap's own filtering against.
void FilteredRadii(const std::vector<long double>& r, bool keepDip, std::vector<long double>& r1,
                   std::vector<long double>& r2) {
    const size_t n = r.size();
    r1.assign(n, 0);
    r2.assign(n, 0);
    auto median = [](std::vector<long double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    r1[1] = (r[1] + r[2]) / 2;
    r1[2] = median({r[1], r[2], r[3]});
    for (size_t k = 3; k + 4 <= n; ++k) {
        const bool dip = r[k] < r[k - 2] && r[k] < r[k - 1] && r[k] < r[k + 1] && r[k] < r[k + 2];
        r1[k] = keepDip && dip ? r[k] : median({r[k - 2], r[k - 1], r[k], r[k + 1], r[k + 2]});
    }
    r1[n - 3] = median({r[n - 4], r[n - 3], r[n - 2]});
    r1[n - 2] = (r[n - 3] + r[n - 2]) / 2;
    r2[1] = (r1[1] + r1[2]) / 2;
    if (keepDip) {
        for (size_t k = 2; k + 3 <= n; ++k) {
            const bool dip = r1[k] < r1[k - 1] && r1[k] < r1[k + 1];
            r2[k] = dip ? (r1[k - 1] + 2 * r1[k] + r1[k + 1]) / 4 : (r1[k - 1] + r1[k] + r1[k + 1]) / 3;
        }
    } else {
        r2[2] = (r1[1] + r1[2] + r1[3]) / 3;
        for (size_t k = 3; k + 4 <= n; ++k)
            r2[k] = (0.5L * r1[k - 2] + r1[k - 1] + r1[k] + r1[k + 1] + 0.5L * r1[k + 2]) / 4;
        r2[n - 3] = (r1[n - 4] + r1[n - 3] + r1[n - 2]) / 3;
    }
    r2[n - 2] = (r1[n - 3] + r1[n - 2]) / 2;
}

// A track of 2 m steps turning left so that three samples lie on circles of
// these radii, dips at samples 4 and 7. Without filtering r1 and r2 are the
// radii themselves; with either filter they follow the rules from the
// lap's raw radii (its positions are smoothed first), ends included.
TEST(LapDerive, RadiusFilterValuesOfEachBranch) {
    const long double radius[11] = {0, 50, 40, 60, 20, 70, 80, 30, 90, 45, 0};
    QVector<std::pair<long double, long double>> en;
    long double x = 0, y = 0, h = 0;
    const long double step = 2;
    en.append({x, y});
    for (int k = 0; k < 10; ++k) {
        if (k >= 1) h += 2 * std::asin(step / (2 * radius[k]));
        x += step * std::cos(h);
        y += step * std::sin(h);
        en.append({x, y});
    }
    {
        const TLapDtRec lap = Derived(AlongPoints(0.25L, en));
        for (int k = 1; k <= 9; ++k) {
            EXPECT_NEAR(static_cast<double>(lap.GElm[k].r), static_cast<double>(radius[k]), 0.001) << k;
            EXPECT_EQ(lap.GElm[k].r1, lap.GElm[k].r) << k;
            EXPECT_EQ(lap.GElm[k].r2, lap.GElm[k].r) << k;
        }
    }
    for (const auto& [interval, keepDip] : {std::pair{0.15L, true}, std::pair{0.05L, false}}) {
        SCOPED_TRACE(keepDip ? "dip-keeping" : "plain");
        const TLapDtRec lap = Derived(AlongPoints(interval, en));
        std::vector<long double> r(11), r1, r2;
        for (int k = 1; k <= 9; ++k) r[k] = lap.GElm[k].r;
        ASSERT_TRUE(r[4] < r[2] && r[4] < r[3] && r[4] < r[5] && r[4] < r[6]) << "the dip survives smoothing";
        FilteredRadii(r, keepDip, r1, r2);
        EXPECT_EQ(keepDip, r1[4] == r[4]);
        for (int k = 1; k <= 9; ++k) {
            EXPECT_NEAR(static_cast<double>(lap.GElm[k].r1), static_cast<double>(r1[k]), 1e-9) << k;
            EXPECT_NEAR(static_cast<double>(lap.GElm[k].r2), static_cast<double>(r2[k]), 1e-9) << k;
        }
        EXPECT_EQ(lap.GElm[0].r1, 0);
        EXPECT_EQ(lap.GElm[10].r2, 0);
    }
}

TEST(LapDerive, DriftAngleAndDriftFlag) {
    const struct Case {
        const char* name;
        long double spd;
        long double offset;   // Dir - course, degrees
        int from, count;
        bool drift;
    } cases[] = {
        {"six samples over 10 degrees", 50, 20, 5, 6, true},
        {"five samples", 50, 20, 5, 5, false},
        {"six to the other side", 50, -20, 5, 6, true},
        {"six at exactly 15 km/h", 15, 20, 5, 6, false},
        {"six at exactly 10 degrees", 50, 10, 5, 6, false},
        {"six ending on the last sample", 50, 20, 14, 6, false},
        {"six starting on the first sample", 50, 20, 0, 6, false},
        {"no drift angle at 7 km/h", 7, 20, 5, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drive d;
        d.hz = 1;   // one fix a second: the angles are not smoothed
        d.spd = c.spd;
        QVector<TLapElmRec> recs = test::StraightRun(d, 270, 20);
        for (int k = c.from; k < c.from + c.count; ++k) recs[k].Dir = 270 + c.offset;
        const TLapDtRec lap = Derived(recs);
        EXPECT_EQ(lap.driftAct, c.drift);
        const long double want = c.spd > 7 ? c.offset : 0;
        EXPECT_NEAR(static_cast<double>(lap.DElm[c.from + 1].DAngle), static_cast<double>(want), 1e-9);
        if (c.from + c.count < lap.ElmNum) {
            EXPECT_NEAR(static_cast<double>(lap.DElm[c.from + c.count].DAngle), 0.0, 1e-9);
        }
    }
}

TEST(LapDerive, SteadyDriftOnACircleAtTenHertz) {
    Drive d;
    d.spd = 40;
    QVector<TLapElmRec> recs = test::CircleLap(d, 60, Turn::Right);
    for (TLapElmRec& r : recs) r.Dir = std::fmod(r.Dir + 20, 360.0L);
    TLapDtRec lap = LapOf(recs);
    SetDElm(lap);
    EXPECT_TRUE(lap.driftAct);
    // The end samples take a chord's course, not the tangent's.
    for (qsizetype k = 3; k < lap.ElmNum - 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(static_cast<double>(lap.DElm[k].DAngle), 20.0, 0.01);
    }
    // A lap that drifted once stays marked when derived again.
    for (TLapElmRec& r : lap.Elm) r.Dir = std::fmod(r.Dir + 340, 360.0L);
    SetDElm(lap);
    EXPECT_TRUE(lap.driftAct);
}

TEST(LapDerive, ShortLapsStayInsideTheirSamples) {
    for (int n = 0; n <= 6; ++n) {
        for (const int hz : {1, 20}) {
            SCOPED_TRACE(testing::Message() << n << " samples at " << hz << " Hz");
            Drive d;
            d.hz = hz;
            QVector<TLapElmRec> recs = test::CircleLap(d, 30, Turn::Left);
            recs.resize(n);
            // The loader sizes the arrays; a lap whose arrays do not match is resized.
            TLapDtRec lap;
            lap.Elm = recs;
            lap.ElmNum = n;
            SetDElm(lap);
            SetGElm(lap);
            ASSERT_EQ(lap.GElm.size(), n);
            ASSERT_EQ(lap.DElm.size(), n);
            for (const TGCalRec& g : lap.GElm) {
                EXPECT_TRUE(std::isfinite(g.r2_3) && std::isfinite(g.lateG3) && std::isfinite(g.XYG));
            }
            if (n > 0) {
                EXPECT_EQ(lap.GElm[0].lateG3, 0.0L);
                EXPECT_EQ(lap.GElm[n - 1].lateG3, 0.0L);
            }
            if (n == 1) {
                EXPECT_EQ(lap.DElm[0].DAngle, 0.0L);
            }
        }
    }
}

} // namespace
} // namespace vel
