// The derive runs in double; its figures must stay those of the 80-bit
// derive it replaced (kept as tests/support/derive_reference) on laps of
// every shape: turn signs and the drift flag exactly, the rest within a
// millionth.
#include <algorithm>
#include <cmath>
#include <random>
#include <gtest/gtest.h>
#include "analysis/lap_derive.h"
#include "support/derive_reference.h"
#include "support/lap_builder.h"

namespace vel {
namespace {

using test::Drive;
using test::Turn;

// A circle or square at 5, 10 or 20 Hz somewhere on earth.
QVector<TLapElmRec> RandomShape(std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0, 1);
    Drive d;
    const int rates[] = {5, 10, 20};
    d.hz = rates[rng() % 3];
    d.spd = 20 + 120 * u(rng);
    d.ido = -60 + 120 * u(rng);
    d.kdo = -179 + 358 * u(rng);
    const Turn turn = rng() % 2 ? Turn::Left : Turn::Right;
    return rng() % 2 ? test::CircleLap(d, 30 + 300 * u(rng), turn) : test::SquareLap(d, 40 + 300 * u(rng), turn);
}

// Up to 157 samples of one of the shapes with noisy positions, a swinging
// speed (stops included), a heading that drifts out now and then and the
// odd late fix, so that every filter choice and window edge is met.
QVector<TLapElmRec> RandomLap(std::mt19937& rng) {
    static const std::vector<QVector<TLapElmRec>> shapes = [] {
        std::mt19937 r(1);
        std::vector<QVector<TLapElmRec>> v;
        for (int k = 0; k < 40; ++k) v.push_back(RandomShape(r));
        return v;
    }();
    std::uniform_real_distribution<double> u(0, 1);
    const QVector<TLapElmRec>& shape = shapes[rng() % shapes.size()];
    const qsizetype keep = std::min<qsizetype>(shape.size(), 8 + static_cast<qsizetype>(rng() % 150));
    const qsizetype from = static_cast<qsizetype>(rng() % (shape.size() - keep + 1));
    QVector<TLapElmRec> recs = shape.mid(from, keep);
    const double noise = 2e-6 * u(rng);   // degrees, up to about 20 cm
    const double driftFrom = u(rng) * recs.size(), driftLen = 30 * u(rng);
    for (qsizetype i = 0; i < recs.size(); ++i) {
        TLapElmRec& r = recs[i];
        r.Ido += noise * (u(rng) - 0.5);
        r.Kdo += noise * (u(rng) - 0.5);
        r.Spd = std::max(0.0, r.Spd + 25 * std::sin(i / (5 + 40 * u(rng))) + 3 * (u(rng) - 0.5));
        if (u(rng) < 0.02) r.Spd = 0;
        if (i >= driftFrom && i < driftFrom + driftLen) r.Dir = std::fmod(r.Dir + 15 + 20 * u(rng), 360.0);
        if (u(rng) < 0.03) {   // a late fix: times and window edges move
            const double late = 0.15 * u(rng);
            r.Sec += late;
            r.DtTm += late / 86400;
        }
    }
    return recs;
}

bool Near(double got, long double want) {
    const long double w = want;
    return std::fabs(got - w) <= 1e-6L * std::max(1.0L, std::fabs(w));
}

TEST(DeriveReference, DoubleDeriveMatchesTheExtendedOneOnRandomLaps) {
    std::mt19937 rng(16);
    int drifting = 0, filtered = 0;
    for (int lap = 0; lap < 2000; ++lap) {
        const QVector<TLapElmRec> recs = RandomLap(rng);
        TLapDtRec l;
        l.Elm = recs;
        l.ElmNum = static_cast<int32_t>(recs.size());
        SetDElm(l);
        SetGElm(l);
        const test::RefDerived ref = test::ReferenceDerive(test::RefSamplesOf(recs));
        ASSERT_EQ(l.driftAct, ref.driftAct) << "lap " << lap;
        drifting += ref.driftAct;
        ASSERT_EQ(l.DElm.size(), recs.size());
        ASSERT_EQ(l.GElm.size(), recs.size());
        for (qsizetype i = 0; i < recs.size(); ++i) {
            const TDriftRec& d = l.DElm[i];
            const TGCalRec& g = l.GElm[i];
            const test::RefG& rg = ref.G[i];
            ASSERT_EQ(g.rl, rg.rl) << "turn sign, lap " << lap << " sample " << i;
            const std::pair<double, long double> pairs[] = {
                {d.GpsDir, ref.GpsDir[i]}, {d.DAngle, ref.DAngle[i]},
                {g.spd2, rg.spd2}, {g.X, rg.X}, {g.Y, rg.Y}, {g.r, rg.r}, {g.r1, rg.r1}, {g.r2, rg.r2},
                {g.lateG, rg.lateG}, {g.logiG, rg.logiG}, {g.r2_3, rg.r2_3}, {g.lateG3, rg.lateG3},
                {g.logiG3, rg.logiG3}, {g.XYG, rg.XYG}};
            for (size_t f = 0; f < std::size(pairs); ++f)
                if (!Near(pairs[f].first, pairs[f].second))
                    FAIL() << "field " << f << ", lap " << lap << " sample " << i << ": " << pairs[f].first
                           << " vs " << double(pairs[f].second);
            if (i > 0 && g.r1 != g.r) filtered = 1;
        }
    }
    // The laps must have met what they are there for.
    EXPECT_GT(drifting, 100);
    EXPECT_EQ(filtered, 1);
}

// Laps one after another of different lengths: nothing of a longer lap's
// work may reach a shorter one's figures.
TEST(DeriveReference, ShorterLapAfterALongerOneIsDerivedAfresh) {
    std::mt19937 rng(7);
    const QVector<TLapElmRec> longLap = RandomLap(rng);
    QVector<TLapElmRec> shortLap = RandomLap(rng);
    shortLap.resize(std::min<qsizetype>(shortLap.size(), 5));
    TLapDtRec a;
    a.Elm = longLap;
    SetDElm(a);
    SetGElm(a);
    TLapDtRec b;
    b.Elm = shortLap;
    SetDElm(b);
    SetGElm(b);
    TLapDtRec fresh;
    fresh.Elm = shortLap;
    const test::RefDerived ref = test::ReferenceDerive(test::RefSamplesOf(shortLap));
    for (qsizetype i = 0; i < shortLap.size(); ++i) {
        EXPECT_TRUE(Near(b.GElm[i].r, ref.G[i].r));
        EXPECT_TRUE(Near(b.GElm[i].lateG3, ref.G[i].lateG3));
        EXPECT_EQ(b.GElm[i].rl, ref.G[i].rl);
    }
}

} // namespace
} // namespace vel
