#include "views/export/lap_csv.h"

#include <string>
#include <QFileInfo>
#include "analysis/lap_derive.h"
#include "model/heading_drift.h"
#include "model/lap_file.h"
#include "views/export/fixed_text.h"

namespace vel {

namespace {

constexpr double KmPerFoot = 0.0003048;
constexpr double MPerFoot = 0.3048;
constexpr double KmhPerMph = 1.609344;

// "hh:nn:ss.zzz" of a time of day in days, rounded to the millisecond.
void AppendClock(std::string& out, double days) {
    if (!std::isfinite(days) || std::fabs(days) > 1e6) days = 0;
    long long ms = std::llround(days * 86400000.0) % 86400000LL;
    if (ms < 0) ms += 86400000LL;
    Append2(out, int(ms / 3600000));
    out += ':';
    Append2(out, int(ms / 60000 % 60));
    out += ':';
    Append2(out, int(ms / 1000 % 60));
    out += '.';
    Append3(out, int(ms % 1000));
}

} // namespace

ExportRead ReadExportRecords(const QString& path, QVector<TLapElmRec>& recs, QString* error) {
    if (error) error->clear();
    QString why;
    switch (ReadLapFile(path, recs, &why)) {
    case LapFileStatus::Ok:
        return recs.size() >= ExportMinRecords ? ExportRead::Ok : ExportRead::Skip;
    case LapFileStatus::Missing:
    case LapFileStatus::NotRecords:
        return ExportRead::Skip;
    case LapFileStatus::ReadError:
        break;
    }
    if (error) {
        *error = QStringLiteral("ファイルを読み込めませんでした。\n%1").arg(QFileInfo(path).fileName());
        if (!why.isEmpty()) *error += QLatin1Char('\n') + why;
    }
    return ExportRead::Failed;
}

QByteArray LapCsvBytes(QVector<TLapElmRec> recs, const LapCsvUnits& units) {
    const qsizetype n = recs.size();
    if (LacksRealHeading(recs)) {
        const QVector<double> course = CourseFromPositions(recs);
        for (qsizetype i = 0; i < n; ++i) recs[i].Dir = course[i];
    }
    TLapDtRec lap;
    lap.Elm = std::move(recs);
    lap.ElmNum = static_cast<int32_t>(n);
    SetGElm(lap);

    // The drift angle unsmoothed, against the course on the final headings.
    const QVector<TLapElmRec>& elm = lap.Elm;
    const QVector<double> course = CourseFromPositions(elm);
    QVector<double> angle(n);
    for (qsizetype i = 0; i < n; ++i) angle[i] = DriftAngle(elm[i].Dir, course[i], elm[i].Spd);
    const bool drift = units.DriftOn && HasDriftRun(elm, angle);

    // Built as bytes in one buffer: a long lap has tens of thousands of lines.
    std::string s = drift ? "秒,時間,緯度,経度,距離(km),標高(m),速度(km/h),旋回半径(m),コーナリングG,加減速G,合算G,ドリフト角(度)\r\n"
                          : "秒,時間,緯度,経度,距離(km),標高(m),速度(km/h),旋回半径(m),コーナリングG,加減速G,合算G\r\n";
    s.reserve(s.size() + size_t(n) * 110);
    for (qsizetype i = 0; i < n; ++i) {
        const TLapElmRec& e = elm[i];
        AppendFixed(s, double(e.Sec), 3);
        s += ',';
        AppendClock(s, e.Tm);
        s += ',';
        AppendFixed(s, double(e.Ido), 6);
        s += ',';
        AppendFixed(s, double(e.Kdo), 6);
        s += ',';
        if (units.DistKm) {
            AppendFixed(s, double(e.Dist), 3);
            s += ',';
            AppendFixed(s, double(e.Elv), 2);
        } else {
            AppendFixed(s, double(e.Dist) / KmPerFoot, 0);
            s += ',';
            AppendFixed(s, double(e.Elv) / MPerFoot, 0);
        }
        s += ',';
        AppendFixed(s, units.SpdKmh ? double(e.Spd) : double(e.Spd) / KmhPerMph, 2);
        s += ',';
        const bool end = i == 0 || i == n - 1;
        if (end) {
            s += ",,";
        } else {
            const auto& g = lap.GElm[i];
            AppendFixed(s, units.DistKm ? double(g.r2_3) : double(g.r2_3) / MPerFoot, units.DistKm ? 2 : 1);
            s += ',';
            AppendFixed(s, double(g.lateG3), 3);
            s += ',';
            AppendFixed(s, double(g.logiG3), 3);
            s += ',';
            AppendFixed(s, double(g.XYG), 3);
        }
        if (drift) {
            s += end ? ",," : ",";
            AppendFixed(s, double(angle[i]), 1);
        }
        s += "\r\n";
    }
    return QByteArray(s.data(), qsizetype(s.size()));
}

QStringList LapCsvLines(QVector<TLapElmRec> recs, const LapCsvUnits& units) {
    QStringList lines = QString::fromUtf8(LapCsvBytes(std::move(recs), units)).split(QStringLiteral("\r\n"));
    lines.removeLast();   // after the last line end
    return lines;
}

} // namespace vel
