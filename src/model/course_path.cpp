#include "model/course_path.h"

#include <algorithm>
#include <cmath>
#include "common/geodesy.h"
#include "common/parsing.h"
#include "common/textfile.h"

namespace vel {

namespace {

const QString BlockBegin = QStringLiteral("<path>");
const QString BlockEnd = QStringLiteral("</path>");

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The number grammar StrToFloatDef0 takes, so a real 0 can be told from a
// field that is not a number.
bool IsNumberText(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    qsizetype i = b;
    if (i < e && (s[i] == u'+' || s[i] == u'-')) ++i;
    int digits = 0;
    while (i < e && IsDigit(s[i])) { ++i; ++digits; }
    if (i < e && s[i] == u'.') {
        ++i;
        while (i < e && IsDigit(s[i])) { ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < e && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < e && (s[i] == u'+' || s[i] == u'-')) ++i;
        int expDigits = 0;
        while (i < e && IsDigit(s[i])) { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == e;
}

// Half a metre in degrees of latitude.
constexpr long double NudgeM = 0.5L;
long double NorthStepDeg() { return NudgeM / (EarthR * Pi) * 180.0L; }

void AppendLapBlock(QStringList& lines, const TLapDtRec& lap) {
    const int n = std::min<qsizetype>(std::max(lap.ElmNum, 0), lap.Elm.size());
    if (n <= 0) return;
    lines << BlockBegin;
    for (int i = 0; i < n; ++i)
        lines << FormatFixed(lap.Elm[i].Kdo, 6) + ',' + FormatFixed(lap.Elm[i].Ido, 6);
    lines << FormatFixed(lap.Elm[0].Kdo, 6) + ',' + FormatFixed(lap.Elm[0].Ido, 6);
    lines << BlockEnd;
}

} // namespace

bool ParsePathPoint(const QString& line, TPathElmRec& point) {
    QStringList fields;
    SplitToList(fields, line, u',');
    if (fields.size() < 2) return false;
    if (!IsNumberText(fields[0]) || !IsNumberText(fields[1])) return false;
    const long double kdo = StrToFloatDef0(fields[0]);
    const long double ido = StrToFloatDef0(fields[1]);
    // Out of range means a damaged line; drawing it would stretch the map
    // round the globe. Longitudes get slack for maps nudged past 180.
    if (std::fabs(ido) > 90.0L || std::fabs(kdo) > 360.0L) return false;
    point.Kdo = kdo;
    point.Ido = ido;
    return true;
}

CoursePaths ParseCoursePath(const QStringList& lines) {
    CoursePaths paths;
    bool inBlock = false;
    for (const QString& line : lines) {
        if (!inBlock) {
            if (line == BlockBegin) {
                paths.CoursePath.append(TPathRec());
                inBlock = true;
            }
            continue;
        }
        if (line == BlockEnd) {
            inBlock = false;
            continue;
        }
        TPathElmRec pt;
        if (!ParsePathPoint(line, pt)) continue;
        TPathRec& rec = paths.CoursePath.last();
        rec.Elm.append(pt);
        rec.ElmNum = static_cast<int32_t>(rec.Elm.size());
    }
    paths.CoursePathNum = static_cast<int32_t>(paths.CoursePath.size());
    return paths;
}

QStringList CoursePathLines(const CoursePaths& paths) {
    QStringList lines;
    for (const TPathRec& rec : paths.CoursePath) {
        lines << BlockBegin;
        for (const TPathElmRec& pt : rec.Elm)
            lines << FormatFixed(pt.Kdo, 6) + ',' + FormatFixed(pt.Ido, 6);
        lines << BlockEnd;
    }
    return lines;
}

bool ReadCoursePathFile(const QString& path, CoursePaths& paths, QString* error) {
    QStringList lines;
    if (!ReadTextLines(path, lines, error)) return false;
    paths = ParseCoursePath(lines);
    return true;
}

bool WriteCoursePathFile(const QString& path, const CoursePaths& paths, QString* error) {
    return WriteTextLines(path, CoursePathLines(paths), error);
}

QStringList MakeCoursePathLines(const LoadedLaps& laps) {
    QStringList lines;
    const int shown = std::min<qsizetype>(std::max(laps.LapDtNum, 0), laps.LapDt.size());
    for (int k = 0; k < 2 && k < shown; ++k) AppendLapBlock(lines, laps.LapDt[k]);
    return lines;
}

bool NudgeCoursePath(CoursePaths& paths, PathNudge dir, long double curIdo) {
    if (paths.CoursePathNum <= 0) return false;
    long double dIdo = 0, dKdo = 0;
    switch (dir) {
    case PathNudge::North: dIdo = NorthStepDeg(); break;
    case PathNudge::South: dIdo = -NorthStepDeg(); break;
    case PathNudge::West:
    case PathNudge::East: {
        if (!std::isfinite(curIdo)) return false;
        const long double c = std::cos(curIdo * Pi / 180.0L);
        // At a pole half a metre spans no finite longitude.
        if (!(c > 1e-9L)) return false;
        const long double step = NudgeM / (c * EarthR * Pi) * 180.0L;
        dKdo = dir == PathNudge::East ? step : -step;
        break;
    }
    }
    for (TPathRec& rec : paths.CoursePath)
        for (TPathElmRec& pt : rec.Elm) {
            pt.Ido += dIdo;
            pt.Kdo += dKdo;
        }
    return true;
}

void ClearCoursePath(CoursePaths& paths) {
    paths.CoursePath.clear();
    paths.CoursePathNum = 0;
}

} // namespace vel
