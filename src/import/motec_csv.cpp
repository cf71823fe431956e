#include "import/motec_csv.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <QTime>
#include <QVector>
#include "common/datetime.h"
#include "common/parsing.h"
#include "common/records.h"
#include "common/textfile.h"
#include "model/lap_rows.h"

namespace vel {

namespace {

// The export's preamble: the header and the first data line lie within the
// first 20 lines, the log date and time on lines 6 and 7.
constexpr qsizetype MinLines = 20;
constexpr qsizetype LayoutLines = 20;
constexpr qsizetype LogDateLine = 6;
constexpr qsizetype LogTimeLine = 7;

// Where a lap without GPS columns stands when no lap is loaded.
constexpr long double DefaultIdo = 36;
constexpr long double DefaultKdo = 135;
constexpr long double DefaultElv = 100;

// Distances this close to the reference lap's are fitted to it.
constexpr long double RefitLow = 0.9L;
constexpr long double RefitHigh = 1.1L;

// Sample times beyond some 30 000 years are no times at all.
constexpr long double MaxSampleSec = 1e12L;

// Year first, then day first; a date none fits is refused, not guessed.
const char* const DateFormats[] = {"yyyy/M/d", "yyyy-M-d", "yyyy.M.d",
                                   "d/M/yyyy", "d-M-yyyy", "d.M.yyyy"};
const char* const TimeFormats[] = {"H:mm:ss", "H:mm:ss.zzz"};

QString DisplayName(const QString& fn) {
    return QFileInfo(fn).fileName();
}

// The fields of a line: double quotes dropped, split at ",".
QStringList FieldsOf(const QString& line) {
    QString text = line;
    text.remove(u'"');
    QStringList fields;
    SplitToList(fields, text, u',');
    return fields;
}

struct Columns {
    int time = 0;
    int dist = -1;
    int spd = -1;
    int lat = -1;
    int lon = -1;
    int gLat = -1;
    int gLong = -1;
    // "Ground Speed" counts forward G as negative.
    long double longSign = 1;

    bool HasGps() const { return lat > 0 && lon > 0; }
    // Fields a data line needs to be a sample.
    int Needed() const {
        int last = std::max({time, dist, spd});
        if (HasGps()) last = std::max({last, lat, lon});
        return last + 1;
    }
};

// The last occurrence of each name counts; the speed column is whichever
// of the two speeds stands later.
Columns FindColumns(const QStringList& names) {
    Columns c;
    for (int i = 0; i < names.size(); ++i) {
        const QString& n = names[i];
        if (n == u"Time") {
            c.time = i;
        } else if (n == u"Distance") {
            c.dist = i;
        } else if (n == u"Ground Speed") {
            c.spd = i;
            c.longSign = -1;
        } else if (n == u"Vehicle Speed") {
            c.spd = i;
            c.longSign = 1;
        } else if (n == u"GPS Latitude") {
            c.lat = i;
        } else if (n == u"GPS Longitude") {
            c.lon = i;
        } else if (n == u"G Force Lat") {
            c.gLat = i;
        } else if (n == u"G Force Long") {
            c.gLong = i;
        }
    }
    return c;
}

struct Layout {
    qsizetype header = -1;
    qsizetype firstData = -1;
    Columns cols;
};

// Header line ("Time","Distance") and first data line ("0.000","0") within
// the first lines, the last of each counting. A data line before the header
// would read the header as samples, so it does not count.
bool FindLayout(const QStringList& lines, Layout& layout) {
    if (lines.size() < MinLines) return false;
    QStringList headerFields;
    for (qsizetype i = 0; i < LayoutLines; ++i) {
        const QStringList f = FieldsOf(lines[i]);
        if (f.size() < 2) continue;
        if (f[0] == u"Time" && f[1] == u"Distance") {
            layout.header = i;
            headerFields = f;
        } else if (f[0] == u"0.000" && f[1] == u"0") {
            layout.firstData = i;
        }
    }
    if (layout.header <= 0 || layout.firstData <= layout.header) return false;
    layout.cols = FindColumns(headerFields);
    return true;
}

// A run needs its distance and its speed.
bool HasRunColumns(const Columns& c) {
    return c.dist > 0 && c.spd > 0;
}

// Whether a data line is a sample: it holds every column in use and a time.
bool IsSampleLine(const QStringList& f, const Columns& c, long double& sec) {
    if (f.size() < c.Needed()) return false;
    sec = StrToFloatDef0(f[c.time]);
    return std::fabs(sec) <= MaxSampleSec;
}

// The file's lines; false, with error text only for a read error, when
// there are none to take.
bool ReadLines(const QString& fn, QStringList& lines, QString* error) {
    if (!QFileInfo(fn).isFile()) return false;
    return ReadTextLines(fn, lines, error);
}

bool ParseStart(const QString& date, const QString& time, double& dtTm) {
    const QString d = date.trimmed();
    const QString t = time.trimmed();
    QDate day;
    for (const char* fmt : DateFormats) {
        day = QDate::fromString(d, QLatin1String(fmt));
        if (day.isValid()) break;
    }
    QTime clock;
    for (const char* fmt : TimeFormats) {
        clock = QTime::fromString(t, QLatin1String(fmt));
        if (clock.isValid()) break;
    }
    if (!day.isValid() || !clock.isValid() || day.year() < 1 || day.year() > 9999) return false;
    dtTm = EncodeDateTime(day.year(), day.month(), day.day(), clock.hour(), clock.minute(),
                          clock.second(), clock.msec());
    return true;
}

// The field after a label on a preamble line, or nothing when the line
// does not start with that label.
std::optional<QString> LabelledValue(const QString& line, QStringView label) {
    const QStringList f = FieldsOf(line);
    if (f[0] != label) return std::nullopt;
    return f.size() > 1 ? f[1] : QString();
}

} // namespace

LoadResult LoadLapFileToGrigMotecCsv(const QString& fn, Session& session, RankingService* ranking) {
    LoadResult result;
    QStringList lines;
    if (!ReadLines(fn, lines, &result.Error)) return result;
    Layout layout;
    if (!FindLayout(lines, layout)) return result;
    const std::optional<QString> logDate = LabelledValue(lines[LogDateLine], u"Log Date");
    const std::optional<QString> logTime = LabelledValue(lines[LogTimeLine], u"Log Time");
    if (!logDate || !logTime) return result;
    double start = 0;
    if (!ParseStart(*logDate, *logTime, start)) {
        result.Error = QStringLiteral("「%1」の記録日時を変換できません: %2 %3")
                           .arg(DisplayName(fn), *logDate, *logTime);
        return result;
    }

    const Columns& c = layout.cols;
    if (!HasRunColumns(c)) return result;
    const LoadedLaps& loaded = session.loadedLaps;
    const TLapDtRec* ref = nullptr;
    if (loaded.LapDtNum > 0 && !loaded.LapDt.isEmpty() && !loaded.LapDt[0].Elm.isEmpty())
        ref = &loaded.LapDt[0];
    const long double placeIdo = ref ? ref->Elm[0].Ido : DefaultIdo;
    const long double placeKdo = ref ? ref->Elm[0].Kdo : DefaultKdo;
    const long double placeElv = ref ? ref->Elm[0].Elv : DefaultElv;

    QVector<TLapElmRec> samples;
    for (qsizetype i = layout.firstData; i < lines.size(); ++i) {
        const QStringList f = FieldsOf(lines[i]);
        long double sec = 0;
        if (!IsSampleLine(f, c, sec)) continue;
        if (samples.size() >= MaxRunRecords) {
            result.Error = QStringLiteral("「%1」は大きすぎるため読み込めません。").arg(DisplayName(fn));
            return result;
        }
        TLapElmRec& s = samples.emplace_back();
        s.Sec = sec;
        s.Tm = static_cast<double>(sec / 86400.0L);
        s.DtTm = start + s.Tm;
        s.Ido = c.HasGps() ? StrToFloatDef0(f[c.lat]) : placeIdo;
        s.Kdo = c.HasGps() ? StrToFloatDef0(f[c.lon]) : placeKdo;
        s.Elv = placeElv;
        s.Spd = StrToFloatDef0(f[c.spd]);
        s.Dir = 0;   // no heading in the file: the loaded lap takes it from positions
        s.Dist = StrToFloatDef0(f[c.dist]) / 1000.0L;
        s.UseSat = session.settings.MinUseSat;
    }
    if (samples.isEmpty()) {
        result.Error = QStringLiteral("「%1」にはデータがありません。").arg(DisplayName(fn));
        return result;
    }

    if (!c.HasGps() && ref) {
        // A second place gives the lap a direction of travel.
        const qsizetype refCount = std::min<qsizetype>(ref->ElmNum, ref->Elm.size());
        if (samples.size() >= 2 && refCount >= 2) {
            samples[1].Ido = ref->Elm[1].Ido;
            samples[1].Kdo = ref->Elm[1].Kdo;
        }
        if (ref->LapDist > 0) {
            const long double q = samples.back().Dist / ref->LapDist;
            if (q > RefitLow && q < RefitHigh)
                for (TLapElmRec& s : samples) s.Dist /= q;
        }
    }

    if (!AddLapRow(session, samples, RunNameOf(fn), fn, session.lapList.GrpNo, &result.Error, nullptr, ranking))
        return result;
    ++session.lapList.GrpNo;
    result.RowAdded = true;
    return result;
}

bool LoadMotecGCsv(TLapDtRec& lap, const QString& fn, QString* error) {
    if (error) error->clear();
    QStringList lines;
    if (!ReadLines(fn, lines, error)) return false;
    Layout layout;
    if (!FindLayout(lines, layout)) return false;
    const Columns& c = layout.cols;
    if (!HasRunColumns(c) || c.gLat <= 0 || c.gLong <= 0) return false;

    // Sample j came from the j-th sample line: lines the import passed over
    // are passed over here too.
    const qsizetype count = std::min({static_cast<qsizetype>(lap.ElmNum), lap.Elm.size(), lap.GElm.size()});
    qsizetype j = 0;
    for (qsizetype i = layout.firstData; i < lines.size() && j < count; ++i) {
        const QStringList f = FieldsOf(lines[i]);
        long double sec = 0;
        if (!IsSampleLine(f, c, sec)) continue;
        TGCalRec& g = lap.GElm[j++];
        if (f.size() <= std::max(c.gLat, c.gLong)) continue;   // keeps the computed G
        g.lateG3 = StrToFloatDef0(f[c.gLat]);
        g.logiG3 = c.longSign * StrToFloatDef0(f[c.gLong]);
        g.XYG = std::fabs(g.lateG3) + std::fabs(g.logiG3);
    }
    return true;
}

} // namespace vel
