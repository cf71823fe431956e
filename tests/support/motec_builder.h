#pragma once
// MoTeC CSV exports for tests and benchmarks: the preamble of an i2 export
// (log date on line 6, log time on line 7, channel names on line 14, units
// on line 15, data from line 18) and data lines from per-sample values.
// No GoogleTest here: the benchmarks link this too.
#include <QString>
#include <QStringList>
#include <QVector>

namespace vel::test {

// Values of one sample; each channel takes the value its name asks for.
struct MotecSample {
    double time = 0;     // "Time", s
    double distM = 0;    // "Distance", m
    double spd = 0;      // "Ground Speed", km/h
    double vehicleSpd = 0;   // "Vehicle Speed", km/h
    double lat = 0;      // "GPS Latitude"
    double lon = 0;      // "GPS Longitude"
    double gLat = 0;     // "G Force Lat"
    double gLong = 0;    // "G Force Long"
};

struct MotecFile {
    QString logDate = QStringLiteral("14/04/2024");
    QString logTime = QStringLiteral("10:00:00");
    QStringList channels{QStringLiteral("Time"), QStringLiteral("Distance"), QStringLiteral("Ground Speed"),
                         QStringLiteral("G Force Lat"), QStringLiteral("G Force Long")};
    // Data lines as fields (quoted when written); the first one of a lap is
    // "0.000","0".
    QVector<QStringList> data;
};

// Line 18 onwards of a file: one data line per sample, time with three
// decimals, other values as short as they print ("0" for distance 0), a
// channel of no known name 0.
QVector<QStringList> MotecData(const QStringList& channels, const QVector<MotecSample>& samples);
// n samples at hz, both speeds spd, the distance rising evenly to lastDistM, the
// place running north from (35.0, 139.0) with the distance, G lateral i /
// 100 and longitudinal -i / 50 at sample i.
QVector<MotecSample> MotecLap(int n, double hz, double spd, double lastDistM);

// Every line of the file, each field in double quotes as the export writes it.
QStringList MotecLines(const MotecFile& file);
// Writes lines with CR LF, making the folder; false when the write fails.
bool WriteMotecLines(const QString& path, const QStringList& lines);
bool WriteMotecCsv(const QString& path, const MotecFile& file);

} // namespace vel::test
