#include "analysis/sector_timing.h"

#include <algorithm>
#include <cmath>
#include "common/geometry.h"

namespace vel {

namespace {

// Samples usable by a walk: both counts agree only for a well-formed lap.
int SampleCount(const TLapDtRec& lap) {
    return static_cast<int>(std::max<qsizetype>(0, std::min<qsizetype>(lap.ElmNum, lap.Elm.size())));
}

// The sector walk: steps k = 1.. of the lap; every line crossed by a step
// raises its counter, and the current line is passed when its counter, this
// step included, equals its pass number. onPass(j, k, f) gets the line, the
// step and the interpolation factor at the crossing; onFinal(k) runs once
// the last line is passed, at that step. A step passes at most one line.
template <class OnPass, class OnFinal>
void SectorWalk(const TLapElmRec* e, int m, const SectorLines& lines, OnPass onPass, OnFinal onFinal) {
    const int n = lines.Count();
    if (n == 0) return;
    int count[MaxSectLines] = {};
    int j = 0;
    for (int k = 1; k < m; ++k) {
        const TLapElmRec& p = e[k - 1];
        const TLapElmRec& q = e[k];
        bool crossesCurrent = false;
        long double xj = 0, yj = 0;
        for (int L = 0; L < n; ++L) {
            const TSectRec& s = lines.Sect[L];
            long double x = 0, y = 0;
            if (!SegCross(x, y, s.Kdo1, s.Ido1, s.Kdo2, s.Ido2, p.Kdo, p.Ido, q.Kdo, q.Ido)) continue;
            ++count[L];
            if (L == j) {
                crossesCurrent = true;
                xj = x;
                yj = y;
            }
        }
        if (!crossesCurrent || count[j] != lines.Sect[j].PassNo) continue;
        const long double d1 = PtDist(p.Kdo, p.Ido, xj, yj);
        const long double d2 = PtDist(q.Kdo, q.Ido, xj, yj);
        const long double f = d1 + d2 == 0 ? 0.0L : d1 / (d1 + d2);
        onPass(j, k, f);
        if (++j == n) {
            onFinal(k);
            return;
        }
    }
}

long double Lerp(long double a, long double b, long double f) { return a + (b - a) * f; }

long double AveSpdOf(long double len, long double tm) { return tm > 0 ? len / tm * 3600.0L : 0.0L; }

// Highest and lowest speed, a value replacing the held one only beyond it.
struct SpeedRange {
    long double hi, lo;
    explicit SpeedRange(long double v) : hi(v), lo(v) {}
    void Take(long double v) {
        if (v > hi) hi = v;
        if (v < lo) lo = v;
    }
};

// The angle at a sector's start line (a0, with its sample index), the angle
// at its end line when it has one, and the samples from..to-1 between.
struct AngleSpan {
    long double a0 = 0;
    int a0Idx = 0;
    bool hasEnd = false;
    long double ax = 0;
    int axIdx = 0;
    int from = 0, to = 0;
};

void AngleFigures(const long double* da, const AngleSpan& sp, TDispSlotRec& o, int j) {
    long double peak = sp.a0;
    if (sp.hasEnd && std::fabs(sp.ax) > std::fabs(peak)) peak = sp.ax;
    for (int i = sp.from; i < sp.to; ++i)
        if (std::fabs(da[i]) > std::fabs(peak)) peak = da[i];
    o.SectPeakAng[j] = peak;

    long double mx = 0, mn = 0;
    int mxIdx = -1, mnIdx = -1;
    if (sp.a0 > mx) { mx = sp.a0; mxIdx = sp.a0Idx; }
    if (sp.a0 < mn) { mn = sp.a0; mnIdx = sp.a0Idx; }
    if (sp.hasEnd) {
        if (sp.ax > mx) { mx = sp.ax; mxIdx = sp.axIdx; }
        if (sp.ax < mn) { mn = sp.ax; mnIdx = sp.axIdx; }
    }
    for (int i = sp.from; i < sp.to; ++i) {
        if (da[i] > mx) { mx = da[i]; mxIdx = i; }
        if (da[i] < mn) { mn = da[i]; mnIdx = i; }
    }
    o.SectMaxAng[j] = mx;
    o.SectMaxAngIdx[j] = mxIdx;
    o.SectMinAng[j] = mn;
    o.SectMinAngIdx[j] = mnIdx;

    // At least the start angle is counted, so the mean never divides by 0.
    long double sum = sp.a0 + (sp.hasEnd ? sp.ax : 0.0L);
    for (int i = sp.from; i < sp.to; ++i) sum += da[i];
    const long double cnt = 1 + (sp.hasEnd ? 1 : 0) + (sp.to - sp.from);
    const long double mean = sum / cnt;
    long double q = (sp.a0 - mean) * (sp.a0 - mean);
    if (sp.hasEnd) q += (sp.ax - mean) * (sp.ax - mean);
    for (int i = sp.from; i < sp.to; ++i) q += (da[i] - mean) * (da[i] - mean);
    o.SectAveAng[j] = mean;
    o.SectDevAng[j] = std::sqrt(q / cnt);
}

// Mean angle rate over the steps ending at samples first..last.
long double AngleRate(const TLapElmRec* e, const long double* da, int first, int last) {
    long double sum = 0;
    int cnt = 0;
    for (int i = std::max(first, 1); i <= last; ++i) {
        const long double dt = e[i].Sec - e[i - 1].Sec;
        if (!(dt > DrRateStepMin)) continue;
        const long double r = std::fabs(da[i] - da[i - 1]) / dt;
        if (r >= DrRateMin) {
            sum += r;
            ++cnt;
        }
    }
    return cnt > 0 ? sum / cnt : 0.0L;
}

// Judgement, rate (steps ending at samples rateFirst..rateLast), score and
// the running total of sector j.
void JudgeSector(const TLapElmRec* e, const long double* da, int rateFirst, int rateLast,
                 TDispSlotRec& o, int j) {
    const int32_t judge = SectJudgeOf(j, o.SectMaxAng[j], o.SectMinAng[j], o.SectAveAng[j], o.SectMinSpd[j]);
    o.SectJudge[j] = judge;
    if (judge == JudgeSwingOut || judge == JudgeSwingBack)
        o.SectAngRate[j] = AngleRate(e, da, rateFirst, rateLast);
    o.SectScore[j] = judge == JudgeNone ? 0.0L : TruncTenth(SectScoreRaw(judge, o, j));
    long double total = 0;
    for (int t = 0; t <= j; ++t) total += o.SectScore[t];
    o.TotalScore = total;
}

} // namespace

void ResetSectFields(TDispSlotRec& s) {
    for (auto* a : {&s.SectTm, &s.SectStaDist, &s.SectLen, &s.SectStaSec, &s.SectStaSpd, &s.SectAveSpd,
                    &s.SectMaxSpd, &s.SectMinSpd, &s.SectPeakAng, &s.SectAveAng, &s.SectDevAng,
                    &s.SectMaxAng, &s.SectMinAng, &s.SectAngRate, &s.SectScore})
        a->fill(0);
    s.SectJudge.fill(JudgeNone);
    s.SectMaxAngIdx.fill(-1);
    s.SectMinAngIdx.fill(-1);
    s.TotalScore = 0;
}

int32_t SectJudgeOf(int sector, long double maxAng, long double minAng, long double aveAng,
                    long double minSpd) {
    const long double lo = std::fabs(minAng);
    if (sector == 0) return lo >= DrInitAng || maxAng >= DrInitAng ? JudgeSwingOut : JudgeNone;
    const bool holdOk = std::fabs(aveAng) <= DrAngLim && minSpd >= DrSpdMin;
    if (maxAng >= DrHoldAng && minAng == 0) return holdOk ? JudgeHold : JudgeNone;
    if (lo >= DrHoldAng && maxAng == 0) return holdOk ? JudgeHold : JudgeNone;
    if (lo >= DrSwingAng && maxAng >= DrSwingAng && lo <= DrAngLim && maxAng <= DrAngLim && minSpd >= DrSpdMin)
        return JudgeSwingBack;
    return JudgeNone;
}

long double SectScoreRaw(int32_t judge, const TDispSlotRec& s, int j) {
    switch (judge) {
    case JudgeSwingOut:
        return s.SectAngRate[j] / 3 + s.SectMaxSpd[j] / 3 +
               std::min<long double>(std::fabs(s.SectPeakAng[j]), DrAngLim) / 3;
    case JudgeHold:
        return (s.SectAveSpd[j] + s.SectMinSpd[j]) / 4 + std::fabs(s.SectAveAng[j]) - s.SectDevAng[j];
    case JudgeSwingBack: {
        const long double lo = std::fabs(s.SectMinAng[j]);
        const long double hi = s.SectMaxAng[j];
        const long double m = (lo + hi) / 2;
        const long double smaller = hi < lo ? hi : lo;
        const long double d = (m - smaller) / 3;
        return (m - d) / 3 + s.SectAngRate[j] / 2 + s.SectAveSpd[j] / 2;
    }
    default:
        return 0;
    }
}

long double TruncTenth(long double s) {
    if (!std::isfinite(s)) return 0;
    // Scores of exact tenths come out of the sums a hair below them.
    constexpr long double Slack = 1e-9L;
    const long double t = std::trunc(s * 10 + (s > 0 ? Slack : -Slack));
    return t / 10;
}

void CalLapSects(const TLapDtRec& lap, const SectorLines& lines, TDispSlotRec& o, bool drift) {
    ResetSectFields(o);
    const int n = lines.Count();
    const int m = SampleCount(lap);
    if (n == 0 || m < 2) return;
    const TLapElmRec* e = lap.Elm.constData();
    drift = drift && lap.DElm.size() >= m;
    const long double* da = nullptr;
    QVector<long double> angles;
    if (drift) {
        angles.resize(m);
        for (int i = 0; i < m; ++i) angles[i] = lap.DElm[i].DAngle;
        da = angles.constData();
    }

    long double prevT = 0, prevD = 0, prevV = e[0].Spd;
    long double a0 = drift ? da[0] : 0.0L;
    int b = 1;
    const auto onPass = [&](int j, int k, long double f) {
        const long double sx = Lerp(e[k - 1].Sec, e[k].Sec, f);
        const long double dx = Lerp(e[k - 1].Dist, e[k].Dist, f);
        const long double vx = Lerp(e[k - 1].Spd, e[k].Spd, f);
        o.SectStaSec[j] = sx;
        o.SectTm[j] = sx - prevT;
        o.SectStaDist[j] = dx;
        o.SectLen[j] = dx - prevD;
        o.SectAveSpd[j] = AveSpdOf(o.SectLen[j], o.SectTm[j]);
        o.SectStaSpd[j] = vx;
        SpeedRange r(prevV);
        r.Take(vx);
        for (int i = b; i < k; ++i) r.Take(e[i].Spd);
        o.SectMaxSpd[j] = r.hi;
        o.SectMinSpd[j] = r.lo;
        prevV = vx;
        prevT = sx;
        prevD = dx;
        if (drift) {
            AngleSpan sp;
            sp.a0 = a0;
            sp.a0Idx = b - 1;
            sp.hasEnd = true;
            sp.ax = Lerp(da[k - 1], da[k], f);
            sp.axIdx = k;
            sp.from = b;
            sp.to = k;
            AngleFigures(da, sp, o, j);
            JudgeSector(e, da, b + 1, k - 1, o, j);
            a0 = sp.ax;
        }
        b = k;
    };
    const auto onFinal = [&](int k) {
        const int last = n;
        o.SectTm[last] = e[m - 1].Sec - o.SectStaSec[last - 1];
        o.SectLen[last] = e[m - 1].Dist - o.SectStaDist[last - 1];
        o.SectAveSpd[last] = AveSpdOf(o.SectLen[last], o.SectTm[last]);
        SpeedRange r(prevV);
        for (int i = k; i < m; ++i) r.Take(e[i].Spd);
        o.SectMaxSpd[last] = r.hi;
        o.SectMinSpd[last] = r.lo;
        if (drift) {
            AngleSpan sp;
            sp.a0 = a0;
            sp.a0Idx = k - 1;
            sp.from = k;
            sp.to = m;
            AngleFigures(da, sp, o, last);
            // The step into the last sample is not counted.
            JudgeSector(e, da, k + 1, m - 2, o, last);
        }
    };
    SectorWalk(e, m, lines, onPass, onFinal);
}

void CalLapSectTimes(const TLapDtRec& lap, const SectorLines& lines, TDispSlotRec& o) {
    o.SectTm.fill(0);
    o.SectStaSec.fill(0);
    const int n = lines.Count();
    const int m = SampleCount(lap);
    if (n == 0 || m < 2) return;
    const TLapElmRec* e = lap.Elm.constData();
    long double prevT = 0;
    const auto onPass = [&](int j, int k, long double f) {
        const long double sx = Lerp(e[k - 1].Sec, e[k].Sec, f);
        o.SectStaSec[j] = sx;
        o.SectTm[j] = sx - prevT;
        prevT = sx;
    };
    const auto onFinal = [&](int) { o.SectTm[n] = e[m - 1].Sec - o.SectStaSec[n - 1]; };
    SectorWalk(e, m, lines, onPass, onFinal);
}

void CalSectTm(const SectorLines& lines, const LoadedLaps& laps, Comparison& cmp) {
    if (lines.Count() == 0) return;
    for (TDispSlotRec& slot : cmp.DispSlot) {
        if (!slot.Active) continue;
        if (slot.LapIdx < 0 || slot.LapIdx >= laps.LapDt.size()) {
            ResetSectFields(slot);
            continue;
        }
        const TLapDtRec& lap = laps.LapDt[slot.LapIdx];
        CalLapSects(lap, lines, slot, lap.driftAct);
    }
}

} // namespace vel
