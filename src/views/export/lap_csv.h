#pragma once
// The per-lap CSV: every sample of a lap working file with its turning
// radius, G values and, for a drifting lap, its drift angle, computed afresh
// from the records.
#include <QString>
#include <QStringList>
#include <QVector>
#include "common/records.h"

namespace vel {

// Exports read only working files of five whole records or more.
constexpr int ExportMinRecords = 5;

enum class ExportRead {
    Ok,
    Skip,     // missing, not whole records or fewer than five: nothing to say
    Failed,   // could not be read (error says why)
};

// Reads the records of a lap working file for an export.
ExportRead ReadExportRecords(const QString& path, QVector<TLapElmRec>& recs, QString* error = nullptr);

struct LapCsvUnits {
    bool SpdKmh = true;    // else MPH
    bool DistKm = true;    // else feet for distance, elevation and radius
    bool DriftOn = true;   // PanelDrift is on: a drifting lap gets the angle column
};

// The file's bytes: the header and one line per record, each ending with
// CR LF. Headings are taken from positions when the first heading is
// exactly 0, 180 or 360.
QByteArray LapCsvBytes(QVector<TLapElmRec> recs, const LapCsvUnits& units);
// The same as lines.
QStringList LapCsvLines(QVector<TLapElmRec> recs, const LapCsvUnits& units);

} // namespace vel
