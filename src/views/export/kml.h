#pragma once
// KML for a globe viewer: one folder per shown lap, in slot order, each a
// line string through all the lap's samples in the slot's colour.
#include <QString>
#include <QStringList>
#include "model/comparison.h"
#include "model/loaded_laps.h"

namespace vel {

// The namespace of the viewer's own KML 2.2 schema, which it reads.
inline const QString KmlNamespace = QStringLiteral("http://earth.google.com/kml/2.2");

// The viewer's aabbggrr colour of slot k: the slot colour under alpha AF.
QString KmlColor(int slot);

// The document's lines; name (the file's name without folder and
// extension) is written XML-escaped, without control characters.
QStringList KmlLines(const QString& name, const LoadedLaps& laps, const Comparison& cmp);

} // namespace vel
