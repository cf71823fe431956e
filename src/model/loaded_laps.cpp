#include "model/loaded_laps.h"

#include <cmath>
#include <QFileInfo>
#include "model/heading_drift.h"
#include "model/lap_file.h"

namespace vel {

namespace {

// "temp0003.dtb" -> "0003", "temp10000.dtb" -> "10000"; any other name
// gives no data number.
QString DataNumberOf(const QString& fn) { return WorkingFileNumber(fn); }

enum class Read { Ok, Skip, Empty, Failed };

// Reads the records of fn. A missing file or one that is not a whole number
// of records is skipped; a read error fails with the reason in error.
Read ReadRecords(const QString& fn, QVector<TLapElmRec>& recs, QString* error, LapRawTable* raw = nullptr) {
    if (error) error->clear();
    QString why;
    switch (ReadLapFile(fn, recs, &why, raw)) {
    case LapFileStatus::Ok:
        return recs.isEmpty() ? Read::Empty : Read::Ok;
    case LapFileStatus::Missing:
    case LapFileStatus::NotRecords:
        return Read::Skip;
    case LapFileStatus::ReadError:
        break;
    }
    if (error) {
        *error = QStringLiteral("ファイルを読み込めませんでした。\n%1").arg(QFileInfo(fn).fileName());
        if (!why.isEmpty()) *error += QLatin1Char('\n') + why;
    }
    return Read::Failed;
}

} // namespace

void ResetLapStats(TLapDtRec& lap) {
    const TLapDtRec fresh;
    lap.LapTim = fresh.LapTim;
    lap.LapDist = fresh.LapDist;
    lap.MaxSpd = fresh.MaxSpd;
    lap.MinSpd = fresh.MinSpd;
    lap.AveSpd = fresh.AveSpd;
    lap.IdoMin = fresh.IdoMin;
    lap.IdoMax = fresh.IdoMax;
    lap.KdoMin = fresh.KdoMin;
    lap.KdoMax = fresh.KdoMax;
    lap.ElvLo = fresh.ElvLo;
    lap.ElvHi = fresh.ElvHi;
}

bool ReadLapFileBin(const QString& fn, TLapDtRec& out, QString* error) {
    QVector<TLapElmRec> recs;
    LapRawTable raw;
    const Read read = ReadRecords(fn, recs, error, &raw);
    if (read == Read::Empty && error) *error = QStringLiteral("データがありません。");
    if (read != Read::Ok) return false;

    TLapDtRec lap;
    lap.DtName = DataNumberOf(fn);
    ResetLapStats(lap);
    lap.driftAct = false;
    for (const TLapElmRec& r : recs) {
        // Strict: an extreme moves only for a value beyond it.
        if (r.Spd > lap.MaxSpd) lap.MaxSpd = r.Spd;
        if (r.Spd < lap.MinSpd) lap.MinSpd = r.Spd;
        if (r.Ido < lap.IdoMin) lap.IdoMin = r.Ido;
        if (r.Ido > lap.IdoMax) lap.IdoMax = r.Ido;
        if (r.Kdo < lap.KdoMin) lap.KdoMin = r.Kdo;
        if (r.Kdo > lap.KdoMax) lap.KdoMax = r.Kdo;
        if (r.Elv < lap.ElvLo) lap.ElvLo = r.Elv;
        if (r.Elv > lap.ElvHi) lap.ElvHi = r.Elv;
    }
    // Headings recomputed here live in memory only; the file keeps its own.
    if (LacksRealHeading(recs)) {
        const QVector<double> course = CourseFromPositions(recs);
        for (qsizetype i = 0; i < recs.size(); ++i) recs[i].Dir = course[i];
    }
    lap.LapTim = recs.back().Tm;
    lap.LapDist = recs.back().Dist;
    // A lap of one sample has no time to divide by.
    lap.AveSpd = lap.LapTim > 0 ? lap.LapDist / (lap.LapTim * 24.0) : 0.0;
    lap.ElmNum = static_cast<int32_t>(recs.size());
    lap.GElm.resize(recs.size());
    lap.DElm.resize(recs.size());
    lap.Elm = std::move(recs);
    lap.Raw = std::move(raw);
    out = std::move(lap);
    return true;
}

bool LoadLapFileBinForDAngle(const QString& fn, TLapDtRec& workLap, bool& drift,
                             long double& topAngle, QString* error) {
    drift = false;
    topAngle = 0;
    QVector<TLapElmRec> recs;
    if (ReadRecords(fn, recs, error) != Read::Ok) return false;
    JudgeDriftInto(std::move(recs), workLap, drift, topAngle);
    return true;
}

void JudgeDriftInto(QVector<TLapElmRec> recs, TLapDtRec& workLap, bool& drift, long double& topAngle) {
    drift = false;
    topAngle = 0;
    const qsizetype n = recs.size();
    workLap.ElmNum = static_cast<int32_t>(n);
    workLap.Raw.clear();
    workLap.DElm = QVector<TDriftRec>(n);
    // Without a real heading there is nothing to measure a drift against.
    if (LacksRealHeading(recs)) {
        workLap.Elm = std::move(recs);
        return;
    }

    const QVector<double> course = CourseFromPositions(recs);
    QVector<double> angle(n);
    for (qsizetype j = 0; j < n; ++j) angle[j] = DriftAngle(recs[j].Dir, course[j], recs[j].Spd);
    drift = HasDriftRun(recs, angle);
    const QVector<double> smooth = SmoothDriftAngles(recs, angle);
    for (qsizetype j = 0; j < n; ++j) {
        workLap.DElm[j].GpsDir = course[j];
        workLap.DElm[j].DAngle = smooth[j];
        if (std::fabs(smooth[j]) > std::fabs(topAngle)) topAngle = smooth[j];
    }
    workLap.Elm = std::move(recs);
}

bool LoadLapFileBinForSects(const QString& fn, TLapDtRec& workLap, QString* error) {
    QVector<TLapElmRec> recs;
    if (ReadRecords(fn, recs, error) != Read::Ok) return false;
    workLap.DtName = DataNumberOf(fn);
    workLap.ElmNum = static_cast<int32_t>(recs.size());
    workLap.Raw.clear();
    workLap.Elm = std::move(recs);
    ResetLapStats(workLap);
    return true;
}

} // namespace vel
