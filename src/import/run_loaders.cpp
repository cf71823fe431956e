#include "import/run_loaders.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QVector>
#include "common/datetime.h"
#include "common/geodesy.h"
#include "common/huge_pages.h"
#include "common/parsing.h"
#include "common/records.h"
#include "common/textfile.h"
#include "import/bluetooth_records.h"
#include "model/lap_file.h"
#include "model/lap_rows.h"
#include "platform/timezone.h"

namespace vel {

namespace {

constexpr int CsvFields = 8;
constexpr int32_t CsvBadUseSat = 7;
constexpr int32_t BtUseSat = 8;
constexpr double BonDir = 180.0;

QString DisplayName(const QString& fn) {
    return QFileInfo(fn).fileName();
}

QString NoRecordText(const QString& fn) {
    return QStringLiteral("「%1」にはデータがありません。").arg(DisplayName(fn));
}

QString TooLargeText(const QString& fn) {
    return QStringLiteral("「%1」は大きすぎるため読み込めません。").arg(DisplayName(fn));
}

// A run file whose records are numbers a logger could have written: every
// real finite and the date-time within 1980 to 2100. Erased memory saved as
// a run (all 0xFF) is not.
bool HoldsLogData(const QVector<TLapElmRec>& samples) {
    static const double first = EncodeDateTime(1980, 1, 1, 0, 0, 0, 0);
    static const double after = EncodeDateTime(2101, 1, 1, 0, 0, 0, 0);
    for (const TLapElmRec& r : samples) {
        if (!(r.DtTm >= first && r.DtTm < after)) return false;
        for (const double v : {r.Tm, r.Sec, r.Ido, r.Kdo, r.Elv, r.Spd, r.Dir, r.Dist})
            if (!std::isfinite(v)) return false;
    }
    return true;
}

// Adds the row, then advances the group number as every run loader does.
LoadResult AddRun(Session& session, RankingService* ranking, const QVector<TLapElmRec>& samples, const QString& fn,
                  bool nameInColumn7, const LapRawTable* raw = nullptr) {
    LoadResult result;
    const QString name = RunNameOf(fn);
    const std::optional<QString> column7 = nameInColumn7 ? std::optional<QString>(name) : std::nullopt;
    if (!AddLapRow(session, samples, name, column7, session.lapList.GrpNo, &result.Error, raw, ranking))
        return result;
    ++session.lapList.GrpNo;
    result.RowAdded = true;
    return result;
}

// An integer field taken by character position (1-based, as in the layout).
bool FieldInt(QStringView text, int pos, int len, int& value) {
    long long v = 0;
    if (!StrToIntStrict(text.mid(pos - 1, len).toString(), v)) return false;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

bool ValidTime(int h, int mi, int s, int ms) {
    return h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 60 && ms >= 0 && ms < 1000;
}

// "yyyy/mm/dd hh:nn:ss.zzz"
bool CsvDateTime(QStringView text, double& dtTm) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!FieldInt(text, 1, 4, y) || !FieldInt(text, 6, 2, mo) || !FieldInt(text, 9, 2, d) ||
        !FieldInt(text, 12, 2, h) || !FieldInt(text, 15, 2, mi) || !FieldInt(text, 18, 2, s) ||
        !FieldInt(text, 21, 3, ms))
        return false;
    if (y < 1 || y > 9999 || !QDate::isValid(y, mo, d) || !ValidTime(h, mi, s, ms)) return false;
    dtTm = EncodeDateTime(y, mo, d, h, mi, s, ms);
    return true;
}

// "hh:nn:ss.zzz"
bool CsvElapsed(QStringView text, double& tm, double& sec) {
    int h = 0, mi = 0, s = 0, ms = 0;
    if (!FieldInt(text, 1, 2, h) || !FieldInt(text, 4, 2, mi) || !FieldInt(text, 7, 2, s) ||
        !FieldInt(text, 10, 3, ms) || !ValidTime(h, mi, s, ms))
        return false;
    const long long totalMs = ((static_cast<long long>(h) * 60 + mi) * 60 + s) * 1000 + ms;
    tm = static_cast<double>(totalMs) / 86400000.0;
    sec = static_cast<double>(h * 3600.0L + mi * 60.0L + s + ms / 1000.0L);
    return true;
}

// Step length in km by the equirectangular rule, the newer sample's
// latitude setting the cos factor.
double StepKm(double ido, double kdo, double prevIdo, double prevKdo) {
    constexpr double DegToRad = static_cast<double>(Pi) / 180.0;
    constexpr double R = static_cast<double>(EarthR);
    const double c = std::cos(ido * DegToRad);
    const double x = c * R * ((kdo - prevKdo) * DegToRad);
    const double y = R * ((ido - prevIdo) * DegToRad);
    return std::sqrt(x * x + y * y) / 1000.0;
}

// Reads a Bluetooth log as one run: the accepted records become samples,
// Dir 180 for the plain kinds and the compass heading for the motion kinds,
// and headings (when given) gets what the heading correction needs. false
// with error text on a read error; false with no text for a file the
// acceptance rule passes over (missing, size not fitting).
bool ReadBtRun(const QString& fn, BtKind kind, QVector<TLapElmRec>& samples,
               QVector<HeadingSample>* headings, QString& error) {
    const QFileInfo info(fn);
    if (!info.isFile()) return false;
    const int64_t size = info.size();
    const int64_t count = BtRecordCount(size, kind);
    if (count < 0) return false;
    if (size > MaxRunFileSize || count > MaxRunRecords) {
        error = TooLargeText(fn);
        return false;
    }
    QFile f(fn);
    if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
        return false;
    }
    const bool motion = BtHasMotion(kind);
    const int bias = TimeZoneBiasMinutes();
    samples.reserve(count);
    PreferHugePages(samples.constData(), static_cast<size_t>(count) * sizeof(TLapElmRec));
    if (headings) {
        headings->reserve(count);
        PreferHugePages(headings->constData(), static_cast<size_t>(count) * sizeof(HeadingSample));
    }

    double firstDtTm = 0;
    const bool ok = ReadBtRecords(f, kind, count, bias, [&](BtSkip skip, const BtRecord& rec) {
        if (skip != BtSkip::None) return true;
        TLapElmRec& s = samples.emplace_back();
        s.DtTm = rec.DtTm;
        if (samples.size() == 1) {
            firstDtTm = rec.DtTm;
        } else {
            const TLapElmRec& prev = samples[samples.size() - 2];
            s.Tm = rec.DtTm - firstDtTm;
            s.Sec = s.Tm * 86400.0;
            s.Dist = prev.Dist + StepKm(rec.Ido, rec.Kdo, prev.Ido, prev.Kdo);
        }
        s.Ido = rec.Ido;
        s.Kdo = rec.Kdo;
        s.Elv = rec.Elv;
        s.Spd = rec.Spd;
        s.Dir = motion ? CompassHeading(rec.Motion.Yaw) : BonDir;
        s.UseSat = BtUseSat;
        if (headings)
            headings->append(HeadingSample{rec.DtTm, rec.Ido, rec.Kdo, rec.Spd, rec.Motion.gX,
                                           static_cast<double>(s.Dir)});
        return true;
    });
    if (!ok) {
        error = f.error() != QFileDevice::NoError
                    ? f.errorString()
                    : QStringLiteral("「%1」の読み込み中にファイルのサイズが変わりました。").arg(DisplayName(fn));
        samples.clear();
        return false;
    }
    return true;
}

LoadResult LoadBtRun(const QString& fn, Session& session, RankingService* ranking, BtKind kind) {
    LoadResult result;
    QVector<TLapElmRec> samples;
    QVector<HeadingSample> headings;
    const bool motion = BtHasMotion(kind);
    if (!ReadBtRun(fn, kind, samples, motion ? &headings : nullptr, result.Error)) return result;
    // No accepted record: passed over without a word.
    if (samples.isEmpty()) return result;
    if (motion) {
        CorrectHeadings(headings);
        for (qsizetype i = 0; i < samples.size(); ++i) samples[i].Dir = headings[i].Dir;
    }
    return AddRun(session, ranking, samples, fn, true);
}

} // namespace

LoadResult LoadLapFileToGrig(const QString& fn, Session& session, RankingService* ranking) {
    LoadResult result;
    if (!QFileInfo(fn).isFile()) return result;
    QStringList lines;
    if (!ReadTextLines(fn, lines, &result.Error)) return result;

    QVector<TLapElmRec> samples;
    QStringList fields;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        fields.clear();
        SplitToList(fields, lines[n], u',');
        if (fields.size() < CsvFields) continue;   // headers, empty lines
        TLapElmRec s;
        if (!CsvDateTime(fields[0], s.DtTm) || !CsvElapsed(fields[1], s.Tm, s.Sec)) {
            result.Error = QStringLiteral("「%1」の %2 行目の日付・時刻を変換できません: %3")
                               .arg(DisplayName(fn)).arg(n + 1).arg(fields[0] + u',' + fields[1]);
            return result;
        }
        s.Ido = StrToFloatDef0(fields[2]);
        s.Kdo = StrToFloatDef0(fields[3]);
        s.Elv = StrToFloatDef0(fields[4]);
        s.Spd = StrToFloatDef0(fields[5]);
        s.Dir = StrToFloatDef0(fields[6]);
        s.Dist = StrToFloatDef0(fields[7]);
        if (fields.size() > CsvFields) {
            long long sat = 0;
            const bool ok = StrToIntStrict(fields[8], sat) && sat >= std::numeric_limits<int32_t>::min() &&
                            sat <= std::numeric_limits<int32_t>::max();
            s.UseSat = ok ? static_cast<int32_t>(sat) : CsvBadUseSat;
        } else {
            s.UseSat = session.settings.MinUseSat;
        }
        samples.append(s);
    }
    if (samples.isEmpty()) {
        result.Error = NoRecordText(fn);
        return result;
    }
    return AddRun(session, ranking, samples, fn, false);
}

LoadResult LoadLapFileToGrigBin(const QString& fn, Session& session, RankingService* ranking) {
    LoadResult result;
    const QFileInfo info(fn);
    if (!info.isFile()) return result;
    const int64_t size = info.size();
    if (size % TLapElmRec::Size != 0) return result;
    if (size > MaxRunFileSize) {
        result.Error = TooLargeText(fn);
        return result;
    }
    QVector<TLapElmRec> samples;
    LapRawTable raw;
    switch (ReadLapFile(fn, samples, &result.Error, &raw)) {
    case LapFileStatus::Ok:
        break;
    case LapFileStatus::Missing:
    case LapFileStatus::NotRecords:
        result.Error.clear();   // changed since the check: passed over as well
        return result;
    case LapFileStatus::ReadError:
        return result;
    }
    if (samples.isEmpty()) {
        result.Error = NoRecordText(fn);
        return result;
    }
    if (!HoldsLogData(samples)) {
        result.Error = RunNoLogData;
        return result;
    }
    return AddRun(session, ranking, samples, fn, true, &raw);
}

LoadResult LoadLapFileToGrigBon(const QString& fn, Session& session, RankingService* ranking) {
    return LoadBtRun(fn, session, ranking, BtKind::Bon);
}

LoadResult LoadLapFileToGrigBonZ(const QString& fn, Session& session, RankingService* ranking) {
    return LoadBtRun(fn, session, ranking, BtKind::BonZ);
}

LoadResult LoadLapFileToGrigBonD(const QString&, Session&, RankingService*) {
    return {};
}

} // namespace vel
