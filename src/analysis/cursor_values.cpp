#include "analysis/cursor_values.h"

#include "common/geometry.h"

namespace vel {

namespace {

// The six radius and G values a cursor record takes from a sample.
struct GVals {
    long double r2 = 0, lateG = 0, logiG = 0, r2_3 = 0, lateG3 = 0, logiG3 = 0;
};

// Sample i's G values; 0 for a sample the lap does not have.
GVals GAt(const TLapDtRec& lap, qsizetype i) {
    if (i < 0 || i >= lap.GElm.size() || i >= lap.Elm.size()) return {};
    const TGCalRec& g = lap.GElm[i];
    return {g.r2, g.lateG, g.logiG, g.r2_3, g.lateG3, g.logiG3};
}

GVals GBetween(long double v, long double va, long double vb, const GVals& a, const GVals& b) {
    return {InterpVal(v, va, vb, a.r2, b.r2),         InterpVal(v, va, vb, a.lateG, b.lateG),
            InterpVal(v, va, vb, a.logiG, b.logiG),   InterpVal(v, va, vb, a.r2_3, b.r2_3),
            InterpVal(v, va, vb, a.lateG3, b.lateG3), InterpVal(v, va, vb, a.logiG3, b.logiG3)};
}

TDriftRec DriftAt(const TLapDtRec& lap, qsizetype i) {
    return i >= 0 && i < lap.DElm.size() ? lap.DElm[i] : TDriftRec{};
}

// First i in [lo, hi) whose key is v or more, hi when none; bisects when the
// keys rise, which gives the same sample as the scan.
template <class Key>
qsizetype FirstReaching(qsizetype lo, qsizetype hi, long double v, bool rises, Key key) {
    if (!rises) {
        for (qsizetype i = lo; i < hi; ++i)
            if (key(i) >= v) return i;
        return hi;
    }
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (!(key(mid) >= v)) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

template <class Field>
bool Rises(const TLapDtRec& lap, Field field) {
    const qsizetype n = lap.Elm.size();
    const TLapElmRec* e = lap.Elm.constData();
    if (n > 0 && !(field(e[0]) == field(e[0]))) return false;
    for (qsizetype i = 1; i < n; ++i)
        if (!(field(e[i]) >= field(e[i - 1]))) return false;
    return true;
}

void PutG(TCurValRec& c, const GVals& g) {
    c.r2 = g.r2;
    c.lateG = g.lateG;
    c.logiG = g.logiG;
    c.r2_3 = g.r2_3;
    c.lateG3 = g.lateG3;
    c.logiG3 = g.logiG3;
}

void PutDistG(TCurValRec& c, const GVals& g) {
    c.DistR2 = g.r2;
    c.DistLateG = g.lateG;
    c.DistLogiG = g.logiG;
    c.DistR2_3 = g.r2_3;
    c.DistLateG3 = g.lateG3;
    c.DistLogiG3 = g.logiG3;
}

} // namespace

bool SecRises(const TLapDtRec& lap) {
    return Rises(lap, [](const TLapElmRec& r) { return r.Sec; });
}

bool DistRises(const TLapDtRec& lap) {
    return Rises(lap, [](const TLapElmRec& r) { return r.Dist; });
}

void CalCurValLap(const LoadedLaps& laps, Comparison& cmp, int k) {
    if (k < 0 || k >= DispSlotNum || k >= laps.LapDt.size()) return;
    const TLapDtRec& lap = laps.LapDt[k];
    const qsizetype n = lap.Elm.size();
    if (n == 0) return;
    const TLapElmRec* e = lap.Elm.constData();
    TCurValRec& cur = cmp.CurVal[k];
    const long double t = cmp.PlayTm + cmp.TmOfs[k];

    // The curve is indexed by the samples of lap 0, so only lap 0 reads it.
    const QVector<long double>& delta = cmp.DeltaTm;
    const bool curve = k == 0 && cmp.DeltaTmMin < cmp.DeltaTmMax;
    const auto deltaAt = [&](qsizetype i) -> const long double* {
        return curve && i >= 0 && i < delta.size() ? &delta[i] : nullptr;
    };
    const auto take = [&](qsizetype i) {
        cur.Ido = e[i].Ido;
        cur.Kdo = e[i].Kdo;
        cur.Spd = e[i].Spd;
        cur.Dist = e[i].Dist;
        cur.Dir = e[i].Dir;
        const TDriftRec d = DriftAt(lap, i);
        cur.GpsDir = d.GpsDir;
        cur.DAngle = d.DAngle;
        if (const long double* v = deltaAt(i)) cmp.CurDeltaTm = *v;
    };

    if (t > e[n - 1].Sec) {
        take(n - 1);
        cur.Sec = e[n - 1].Sec;
        PutG(cur, GAt(lap, n - 2));
        return;
    }
    if (!(t >= e[0].Sec)) {
        take(0);
        cur.Sec = e[0].Sec;
        PutG(cur, GAt(lap, 1));
        return;
    }
    const qsizetype i = FirstReaching(0, n, t, cmp.SecRises[k],
                                      [e](qsizetype j) { return e[j].Sec; });
    if (i >= n) {   // only when a Sec is not a number
        take(n - 1);
        cur.Sec = e[n - 1].Sec;
        PutG(cur, GAt(lap, n - 2));
        return;
    }
    cur.Sec = cmp.PlayTm;
    if (e[i].Sec == t || i == 0) {
        take(i);
        PutG(cur, GAt(lap, i == 0 ? 1 : (i < n - 2 ? i : n - 2)));
        return;
    }

    const TLapElmRec& a = e[i - 1];
    const TLapElmRec& b = e[i];
    long double x = 0, y = 0;
    InterpPt(t, a.Sec, b.Sec, a.Kdo, a.Ido, b.Kdo, b.Ido, x, y);
    cur.Kdo = x;
    cur.Ido = y;
    cur.Spd = InterpVal(t, a.Sec, b.Sec, a.Spd, b.Spd);
    cur.Dist = InterpVal(t, a.Sec, b.Sec, a.Dist, b.Dist);
    cur.Dir = InterpDir(t, a.Sec, b.Sec, a.Dir, b.Dir);
    const TDriftRec da = DriftAt(lap, i - 1), db = DriftAt(lap, i);
    cur.GpsDir = InterpDir(t, a.Sec, b.Sec, da.GpsDir, db.GpsDir);
    cur.DAngle = InterpVal(t, a.Sec, b.Sec, da.DAngle, db.DAngle);
    const long double* va = deltaAt(i - 1);
    const long double* vb = deltaAt(i);
    if (va && vb) cmp.CurDeltaTm = InterpVal(t, a.Sec, b.Sec, *va, *vb);

    if (n < 2 || t <= e[1].Sec) PutG(cur, GAt(lap, 1));
    else if (t >= e[n - 2].Sec) PutG(cur, GAt(lap, n - 2));
    else PutG(cur, GBetween(t, a.Sec, b.Sec, GAt(lap, i - 1), GAt(lap, i)));
}

void TakeCurPosFromSlot0(Comparison& cmp) {
    cmp.CurIdo = cmp.CurVal[0].Ido;
    cmp.CurKdo = cmp.CurVal[0].Kdo;
}

void CalCurValLaps(const LoadedLaps& laps, Comparison& cmp) {
    if (!cmp.DispSlot[0].Active) return;
    for (int k = 0; k < DispSlotNum; ++k) {
        if (!cmp.DispSlot[k].Active) continue;
        CalCurValLap(laps, cmp, k);
        if (k == 0) TakeCurPosFromSlot0(cmp);
    }
}

void CalCurValAll(const LoadedLaps& laps, Comparison& cmp) {
    if (!cmp.DispSlot[0].Active) return;
    TCurValRec& ref = cmp.CurVal[0];
    ref.DistSpd = ref.Spd;
    ref.DistR2 = ref.r2;
    ref.DistLateG = ref.lateG;
    ref.DistLogiG = ref.logiG;
    ref.DistR2_3 = ref.r2_3;
    ref.DistLateG3 = ref.lateG3;
    ref.DistLogiG3 = ref.logiG3;
    ref.DistDir = ref.Dir;
    ref.DistGpsDir = ref.GpsDir;
    ref.DistDAngle = ref.DAngle;
    const long double d = ref.Dist;

    for (int k = 1; k < DispSlotNum; ++k) {
        const TDispSlotRec& slot = cmp.DispSlot[k];
        if (!slot.Active || slot.LapIdx < 0 || slot.LapIdx >= laps.LapDt.size()) continue;
        const TLapDtRec& lap = laps.LapDt[slot.LapIdx];
        const qsizetype n = lap.Elm.size();
        if (n == 0) continue;
        const TLapElmRec* e = lap.Elm.constData();
        const long double ofs = cmp.DistOfs[k];
        const bool rises = cmp.DistRises[k];
        const auto D = [e, ofs](qsizetype i) { return e[i].Dist - ofs; };
        TCurValRec& cur = cmp.CurVal[k];

        const auto take = [&](qsizetype i) {
            cur.DistSpd = e[i].Spd;
            cur.DistDir = e[i].Dir;
            const TDriftRec dr = DriftAt(lap, i);
            cur.DistGpsDir = dr.GpsDir;
            cur.DistDAngle = dr.DAngle;
        };
        if (d >= D(n - 1)) {
            take(n - 1);
        } else if (!(d >= D(0))) {
            take(0);
        } else {
            const qsizetype i = FirstReaching(0, n, d, rises, D);
            if (i >= n) {
                take(n - 1);
            } else if (i == 0 || D(i) == d) {
                take(i);
            } else {
                const long double da = D(i - 1), db = D(i);
                cur.DistSpd = InterpVal(d, da, db, e[i - 1].Spd, e[i].Spd);
                cur.DistDir = InterpDir(d, da, db, e[i - 1].Dir, e[i].Dir);
                const TDriftRec ra = DriftAt(lap, i - 1), rb = DriftAt(lap, i);
                cur.DistGpsDir = InterpDir(d, da, db, ra.GpsDir, rb.GpsDir);
                cur.DistDAngle = InterpVal(d, da, db, ra.DAngle, rb.DAngle);
            }
        }

        // The G values exist for samples 1 to n - 2 only.
        if (n >= 2 && d >= D(n - 2)) {
            PutDistG(cur, GAt(lap, n - 2));
        } else if (n < 3 || !(d >= D(1))) {
            PutDistG(cur, GAt(lap, 1));
        } else {
            const qsizetype i = FirstReaching(1, n - 1, d, rises, D);
            if (i >= n - 1) PutDistG(cur, GAt(lap, n - 2));
            else if (i == 1 || D(i) == d) PutDistG(cur, GAt(lap, i));
            else PutDistG(cur, GBetween(d, D(i - 1), D(i), GAt(lap, i - 1), GAt(lap, i)));
        }
    }
}

} // namespace vel
