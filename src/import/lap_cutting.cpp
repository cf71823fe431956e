#include "import/lap_cutting.h"

#include <algorithm>
#include <cmath>
#include <QVector>
#include "common/datetime.h"
#include "common/geodesy.h"
#include "common/geometry.h"
#include "common/parsing.h"
#include "common/records.h"
#include "model/lap_file.h"
#include "model/lap_rows.h"
#include "model/session.h"

namespace vel {

namespace {

constexpr long double DegToRad = Pi / 180.0L;
constexpr long double KmPerMile = 1.609344L;
// Acceptance of a circuit lap, km/h.
constexpr long double MinTopSpd = 4.0L;
constexpr long double MinMeanSpd = 2.0L;

// Equirectangular step in km; cosIdo from the latitude the rule names.
long double StepKm(long double cosIdo, long double dIdo, long double dKdo) {
    const long double x = cosIdo * dKdo * DegToRad;
    const long double y = dIdo * DegToRad;
    return EarthR * std::sqrt(x * x + y * y) / 1000.0L;
}

// cos in double: its error lies far below that of the stored positions,
// and it is the dearest part of the walk in extended precision.
long double CosDeg(double deg) { return std::cos(deg * static_cast<double>(DegToRad)); }

// Step from a to b, the cos factor from b's latitude.
long double StepKm(const TLogItem& a, const TLogItem& b) {
    return StepKm(CosDeg(b.Ido), static_cast<long double>(b.Ido) - a.Ido, static_cast<long double>(b.Kdo) - a.Kdo);
}


// A line crossed on the step between two active samples.
struct Crossing {
    long double ido = 0, kdo = 0;   // the point
    double dtTm = 0;                // interpolated date-time
    long double spd = 0;            // interpolated speed, km/h
    long double kmBefore = 0;       // from the earlier sample to the point
    long double kmAfter = 0;        // from the point to the later sample
    long double secAfter = 0;       // from the point to the later sample
};

// The line's box, for the quick test that most steps lie clear of it.
SegmentBox LineBox(const LineEnds& l) { return SegmentBox(l.Kdo1, l.Ido1, l.Kdo2, l.Ido2); }

// The crossing of line on the step a -> b, interpolated between a and b: a
// is the previous active sample, whatever inactive samples lie between.
bool CrossLine(const LineEnds& line, const SegmentBox& box, const TLogItem& a, const TLogItem& b, Crossing& c) {
    if (box.Clear(a.Kdo, a.Ido, b.Kdo, b.Ido)) return false;
    long double x = 0, y = 0;
    if (!SegCross(x, y, line.Kdo1, line.Ido1, line.Kdo2, line.Ido2, a.Kdo, a.Ido, b.Kdo, b.Ido)) return false;

    const long double d1 = PtDist(x, y, a.Kdo, a.Ido);
    const long double d2 = PtDist(x, y, b.Kdo, b.Ido);
    const long double sum = d1 + d2;
    const long double r1 = sum > 0 ? d1 / sum : 0;
    const long double r2 = sum > 0 ? d2 / sum : 1;
    const long double days = static_cast<long double>(b.DtTm) - a.DtTm;
    const long double km = StepKm(CosDeg(a.Ido), static_cast<long double>(b.Ido) - a.Ido,
                                  static_cast<long double>(b.Kdo) - a.Kdo);
    c.ido = y;
    c.kdo = x;
    c.dtTm = static_cast<double>(a.DtTm + days * r1);
    c.spd = a.Spd + (static_cast<long double>(b.Spd) - a.Spd) * r1;
    c.kmBefore = km * r1;
    c.kmAfter = km * r2;
    c.secAfter = days * 86400.0L * r2;
    return true;
}

// The rows hold the working files numbered below their count; files from
// rows cleared before go ahead of the cut, as writing the new laps over them
// makes ext4 flush each new file at once (up to 320 ms a file).
void ClearUnusedWorkingFiles(const Session& session) {
    DeleteWorkingFiles(session.folders.TempDir, session.lapList.LapStrLstNum());
}

// Whole minute of a date-time, as its clock shows it.
double WholeMinute(double dt) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDateTime(dt, y, mo, d, h, mi, s, ms);
    return EncodeDateTime(y, mo, d, h, mi, 0, 0);
}

// Builds the laps of one cut and adds the kept ones to the lap list.
class LapBuilder {
public:
    LapBuilder(Session& session, RankingService* ranking)
        : session_(session), ranking_(ranking), store_(session.logStore), set_(session.settings),
          grpNo_(session.lapList.GrpNo) {
        const int32_t n = std::min(store_.LogItemNum, store_.Capacity());
        first_ = n - 1;
        for (int32_t i = 0; i < n; ++i)
            if (store_.LogItem[i].Act) {
                first_ = i;
                break;
            }
        last_ = first_;
        for (int32_t i = n - 1; i > first_; --i)
            if (store_.LogItem[i].Act) {
                last_ = i;
                break;
            }
    }

    int32_t First() const { return first_; }
    int32_t Last() const { return last_; }
    const TLogItem& Item(int32_t i) const { return store_.LogItem[i]; }

    // A lap from the sample first, which has no crossing before it.
    void StartAtSample(int32_t first) {
        Begin(first, Item(first).DtTm, 0);
        AddSample(first);
    }

    // A lap from the crossing c, its first sample first. startRecord: write
    // the crossing as the lap's first record.
    void StartAtCrossing(const Crossing& c, int32_t first, double t0, bool startRecord) {
        Begin(first, t0, c.kmAfter);
        top_ = c.spd;
        if (startRecord) {
            TLapElmRec& r = recs_.emplace_back();
            Fill(r, c, Item(first));
            r.DtTm = c.dtTm;
        }
        AddSample(first);
    }

    // The next active sample of the lap, prev the one before it.
    void Step(int32_t prev, int32_t i) {
        dist_ += StepKm(Item(prev), Item(i));
        AddSample(i);
    }

    // Ends the lap at the crossing c, last its last sample.
    void EndAtCrossing(const Crossing& c, int32_t last) {
        dist_ += c.kmBefore;
        top_ = std::max(top_, c.spd);
        TLapElmRec& r = recs_.emplace_back();
        Fill(r, c, Item(last));
        r.DtTm = c.dtTm;
        r.Tm = c.dtTm - t0_;
        r.Sec = (static_cast<long double>(c.dtTm) - t0_) * 86400.0L;
        r.Dist = dist_;
        end_ = c.dtTm;
    }

    // Ends the lap at its last sample, with no crossing.
    void EndAtSample(int32_t last) { end_ = Item(last).DtTm; }

    int32_t LapFirst() const { return lapFirst_; }

    // The acceptance test of circuit laps. Written so that a figure that is
    // no number fails it.
    bool Acceptable() const {
        const long double days = static_cast<long double>(end_) - t0_;
        const long double sec = days * 86400.0L;
        if (!(top_ >= MinTopSpd && dist_ >= set_.MinLapDist && sec >= set_.MinLapTime)) return false;
        // A lap of no time has no mean speed to test.
        return !(days > 0) || dist_ / (days * 24.0L) >= MinMeanSpd;
    }

    // Writes the lap's working file and adds its row; false with error text
    // when the file can't be written.
    bool Write(QString* error) {
        const int32_t blk = Item(lapFirst_).BlkIdx;
        const QString title = blk >= 0 && blk < store_.LogBlockNum() ? store_.LogBlock[blk].Title : QString();
        if (!AddLapRow(session_, recs_, title, store_.LogName, grpNo_, error, nullptr, ranking_)) return false;
        // The row's figures are the cut's own: from T0 (the whole minute of a
        // rally start), and the top speed of the counted samples only.
        const long double sec = (static_cast<long double>(end_) - t0_) * 86400.0L;
        LapRow& row = session_.lapList.Rows.last();
        row.Cells[2] = DateText(t0_);
        row.Cells[3] = ClockText(t0_);
        row.Cells[4] = LapTimeText(sec);
        row.Cells[5] = FormatFixed(set_.SpdKmh ? top_ : top_ / KmPerMile, 2);
        TLapStrLstRec& figures = session_.lapList.LapStrLst.last();
        figures.Sec = sec;
        figures.MaxSpd = top_;
        return true;
    }

private:
    void Begin(int32_t first, double t0, long double dist) {
        recs_.clear();
        lapFirst_ = first;
        t0_ = t0;
        dist_ = dist;
        top_ = 0;
    }

    // A crossing record with the fields of sample s.
    void Fill(TLapElmRec& r, const Crossing& c, const TLogItem& s) const {
        r.Ido = c.ido;
        r.Kdo = c.kdo;
        r.Spd = c.spd;
        r.Elv = s.Elv;
        r.Dir = s.Dir;
        r.UseSat = s.sat_used;
    }

    void AddSample(int32_t i) {
        const TLogItem& s = Item(i);
        TLapElmRec& r = recs_.emplace_back();
        r.DtTm = s.DtTm;
        r.Tm = s.DtTm - t0_;
        r.Sec = (static_cast<long double>(s.DtTm) - t0_) * 86400.0L;
        r.Ido = s.Ido;
        r.Kdo = s.Kdo;
        r.Elv = s.Elv;
        r.Spd = s.Spd;
        r.Dir = s.Dir;
        r.Dist = dist_;
        r.UseSat = s.sat_used;
        // Speeds of poor fixes are not trusted for the top speed.
        if (s.sat_used >= set_.MinUseSat) top_ = std::max(top_, static_cast<long double>(s.Spd));
    }

    Session& session_;
    RankingService* ranking_;
    const LogStore& store_;
    const Settings& set_;
    const int32_t grpNo_;
    int32_t first_ = -1, last_ = -1;

    QVector<TLapElmRec> recs_;
    int32_t lapFirst_ = 0;
    double t0_ = 0;
    double end_ = 0;
    long double dist_ = 0;   // km after the last record
    long double top_ = 0;    // km/h
};

} // namespace

bool CutLapCircuit(Session& session, const LineChoice& lines, QString* error, RankingService* ranking) {
    ClearUnusedWorkingFiles(session);
    LapBuilder lap(session, ranking);
    const int32_t first = lap.First(), last = lap.Last();
    if (first < 0 || !lap.Item(first).Act) return true;

    const SegmentBox box = LineBox(lines.CtrlLine);
    lap.StartAtSample(first);
    int32_t prev = first;
    for (int32_t i = first + 1; i <= last; ++i) {
        if (!lap.Item(i).Act) continue;
        Crossing c;
        if (CrossLine(lines.CtrlLine, box, lap.Item(prev), lap.Item(i), c)) {
            lap.EndAtCrossing(c, prev);
            if (lap.Acceptable() && !lap.Write(error)) return false;
            lap.StartAtCrossing(c, i, c.dtTm, c.secAfter > 0);
        } else {
            lap.Step(prev, i);
        }
        prev = i;
    }
    if (lap.LapFirst() < last) {
        lap.EndAtSample(last);
        if (lap.Acceptable() && !lap.Write(error)) return false;
    }
    return true;
}

bool CutLapStaGoal(Session& session, const LineChoice& lines, QString* error, RankingService* ranking) {
    ClearUnusedWorkingFiles(session);
    LapBuilder lap(session, ranking);
    const int32_t first = lap.First(), last = lap.Last();
    if (first < 0 || !lap.Item(first).Act) return true;

    const SegmentBox start = LineBox(lines.CtrlLine), goal = LineBox(lines.FinLine);
    bool running = false;
    int32_t prev = first;
    for (int32_t i = first + 1; i <= last; ++i) {
        if (!lap.Item(i).Act) continue;
        Crossing c;
        if (CrossLine(lines.CtrlLine, start, lap.Item(prev), lap.Item(i), c)) {
            // A start, or a restart of the run under way.
            const double t0 = lines.RallySta ? WholeMinute(lap.Item(i).DtTm) : c.dtTm;
            lap.StartAtCrossing(c, i, t0, true);
            running = true;
        } else if (running && CrossLine(lines.FinLine, goal, lap.Item(prev), lap.Item(i), c)) {
            lap.EndAtCrossing(c, prev);
            if (!lap.Write(error)) return false;
            running = false;
        } else if (running) {
            lap.Step(prev, i);
        }
        prev = i;
    }
    return true;
}

} // namespace vel
