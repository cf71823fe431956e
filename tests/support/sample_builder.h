#pragma once
// The sample files shipped in data/ so that a new user can open a log and
// cut laps at once: a short QK4 session on a small oval at 10 Hz, the
// control line across its main straight and an outline of the track.
// No GoogleTest here: the benchmarks and tools link this too.
#include <vector>
#include <QString>
#include "model/course_path.h"
#include "model/line_choice.h"
#include "model/sector_lines.h"
#include "support/image_builder.h"

namespace vel::test {

// Paths of the sample files below a data folder.
inline const QString SampleRawFile = QStringLiteral("Raw/sample.bnx4");
inline const QString SampleClnFile = QStringLiteral("ControlLine/sample.cln");
inline const QString SamplePthFile = QStringLiteral("Circuit/sample.pth");
inline const QString SampleSciFile = QStringLiteral("Sector/sample.sci");

// Whole laps between the out-lap and the in-lap, both too short to count.
constexpr int SampleLaps = 4;
// Length of one lap on the centre line, metres.
double SampleLapLength();

// The session: a stop on the main straight, an out-lap, SampleLaps laps
// slowing into the bends, an in-lap that ends in a stop.
std::vector<ImageSample> SampleSession();
// The control line across the main straight.
LineEnds SampleControlLine();
// Two sector lines on the track.
SectorLines SampleSectorLines();
// The track's outer and inner edges, each a closed polyline.
CoursePaths SampleCoursePaths();
// The ".cln" lines of a control line (kind 1).
QStringList ControlLineFileLines(const LineEnds& line);

// Writes the four files below root (folders made); false with error text.
bool WriteSampleData(const QString& root, QString* error = nullptr);

} // namespace vel::test
