#pragma once
// The course map: polylines outlining a circuit, drawn under the laps, with
// its ".pth" file (blocks of "<path>", "lon,lat" lines, "</path>").
#include <cstdint>
#include <QString>
#include <QStringList>
#include <QVector>
#include "model/loaded_laps.h"

namespace vel {

struct TPathElmRec {
    long double Ido = 0;   // latitude, degrees
    long double Kdo = 0;   // longitude, degrees
};

// One polyline; ElmNum always equals Elm.size().
struct TPathRec {
    int32_t ElmNum = 0;
    QVector<TPathElmRec> Elm;
};

// The course map in memory; CoursePathNum always equals CoursePath.size().
struct CoursePaths {
    QVector<TPathRec> CoursePath;
    int32_t CoursePathNum = 0;
};

// A point line of a ".pth" block: longitude and latitude as the first two
// comma fields. False for a line with fewer fields or a field that is not a
// number (a blank line, a stray "<path>", a damaged line).
bool ParsePathPoint(const QString& line, TPathElmRec& point);

// The polylines of a ".pth" file's lines. Lines outside a block are
// ignored; a block that is never closed runs to the end.
CoursePaths ParseCoursePath(const QStringList& lines);
// The lines of a ".pth" file holding paths ("%.6f,%.6f", longitude first).
QStringList CoursePathLines(const CoursePaths& paths);

// Reads a ".pth" file into paths, replacing them whole. On a read error
// paths stay as they were and error says why.
bool ReadCoursePathFile(const QString& path, CoursePaths& paths, QString* error = nullptr);
// Writes paths as a ".pth" file, atomically.
bool WriteCoursePathFile(const QString& path, const CoursePaths& paths, QString* error = nullptr);

// The ".pth" text of a map made from loaded laps 0 and 1: one block per lap
// holding every sample and the first one again, closing the loop. A lap
// without samples is skipped; empty when neither has a sample.
QStringList MakeCoursePathLines(const LoadedLaps& laps);

enum class PathNudge { North, South, West, East };

// Moves every point 0.5 m; west and east by the degrees of 0.5 m at the
// cursor latitude curIdo. False, nothing moved, when there is no path or
// curIdo gives no usable east-west scale (at a pole, not finite).
bool NudgeCoursePath(CoursePaths& paths, PathNudge dir, long double curIdo);

// Empties the course map.
void ClearCoursePath(CoursePaths& paths);

} // namespace vel
