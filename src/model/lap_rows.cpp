#include "model/lap_rows.h"

#include <QFile>
#include <QFileInfo>
#include "common/datetime.h"
#include "common/parsing.h"
#include "model/lap_file.h"

namespace vel {

namespace {

constexpr long double KmPerMile = 1.609344L;
constexpr long double KmPerFoot = 0.0003048L;

} // namespace

QString RunNameOf(const QString& path) {
    const QString file = QFileInfo(path).fileName();
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot < 0 ? file : file.left(dot);
}

bool AddLapRow(Session& session, const QVector<TLapElmRec>& samples, const QString& name,
               const std::optional<QString>& column7, int32_t grpNo, QString* error, const LapRawTable* raw,
               RankingService* ranking) {
    if (samples.isEmpty()) {
        if (error) *error = QStringLiteral("データが1件もないため、ラップ一覧に追加できません。");
        return false;
    }
    LapList& list = session.lapList;
    const int32_t number = list.LapStrLstNum();
    const QString file = WorkingFileName(session.folders.TempDir, number);
    // The rows hold the numbers below this one, so a file of this name is
    // left from rows cleared before: deleted first, as renaming the new file
    // over it makes ext4 flush the new file at once (up to 320 ms).
    QFile::remove(file);
    if (!WriteLapFile(file, samples, error, true, raw)) return false;

    const TLapElmRec& first = samples.front();
    const TLapElmRec& last = samples.back();
    TLapStrLstRec figures;
    figures.Sec = (static_cast<long double>(last.DtTm) - first.DtTm) * 86400.0L;
    for (const TLapElmRec& r : samples)
        if (r.Spd > figures.MaxSpd) figures.MaxSpd = r.Spd;

    const Settings& set = session.settings;
    LapRow row;
    auto& c = row.Cells;
    c[0] = name;
    c[1] = QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
    c[2] = DateText(first.DtTm);
    c[3] = ClockText(first.DtTm);
    c[4] = LapTimeText(figures.Sec);
    c[5] = FormatFixed(set.SpdKmh ? figures.MaxSpd : figures.MaxSpd / KmPerMile, 2);
    c[6] = set.DistKm ? FormatFixed(last.Dist, 3) : FormatFixed(last.Dist / KmPerFoot, 0);
    if (column7) c[7] = *column7;
    c[19] = QString::number(grpNo);
    list.Rows.append(row);
    list.LapStrLst.append(figures);
    if (ranking) ranking->RowWritten(file, samples);
    return true;
}

} // namespace vel
