#include "support/motec_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vel::test {

namespace {

QString Quoted(const QStringList& fields) {
    QStringList q;
    for (const QString& f : fields) q.append(u'"' + f + u'"');
    return q.join(u',');
}

QString Unit(const QString& channel) {
    if (channel == u"Time") return QStringLiteral("s");
    if (channel == u"Distance") return QStringLiteral("m");
    if (channel.endsWith(u"Speed")) return QStringLiteral("km/h");
    if (channel.startsWith(u"GPS")) return QStringLiteral("deg");
    if (channel.startsWith(u"G Force")) return QStringLiteral("G");
    return QString();
}

QString Value(const QString& channel, const MotecSample& s) {
    auto num = [](double v) { return QString::number(v, 'g', 12); };
    if (channel == u"Time") return QString::number(s.time, 'f', 3);
    if (channel == u"Distance") return num(s.distM);
    if (channel == u"Ground Speed") return num(s.spd);
    if (channel == u"Vehicle Speed") return num(s.vehicleSpd);
    if (channel == u"GPS Latitude") return num(s.lat);
    if (channel == u"GPS Longitude") return num(s.lon);
    if (channel == u"G Force Lat") return num(s.gLat);
    if (channel == u"G Force Long") return num(s.gLong);
    return QStringLiteral("0");
}

} // namespace

QVector<QStringList> MotecData(const QStringList& channels, const QVector<MotecSample>& samples) {
    QVector<QStringList> data;
    for (const MotecSample& s : samples) {
        QStringList line;
        for (const QString& c : channels) line.append(Value(c, s));
        data.append(line);
    }
    return data;
}

QVector<MotecSample> MotecLap(int n, double hz, double spd, double lastDistM) {
    constexpr double MetresPerDegree = 111000.0;   // near enough for a test track
    QVector<MotecSample> lap(n);
    for (int i = 0; i < n; ++i) {
        MotecSample& s = lap[i];
        s.time = i / hz;
        s.distM = n > 1 ? lastDistM * i / (n - 1) : 0;
        s.spd = spd;
        s.vehicleSpd = spd;
        s.lat = 35.0 + s.distM / MetresPerDegree;
        s.lon = 139.0;
        s.gLat = i / 100.0;
        s.gLong = -i / 50.0;
    }
    return lap;
}

QStringList MotecLines(const MotecFile& file) {
    const double end = file.data.isEmpty() ? 0 : file.data.back().value(0).toDouble();
    const QString endText = QString::number(end, 'f', 3);
    QStringList units, blanks;
    for (const QString& c : file.channels) {
        units.append(Unit(c));
        blanks.append(QString());
    }
    QStringList lines{
        R"("Format","MoTeC CSV File",,,"Workbook","Velmaris.ldx")",
        R"("Venue","Test Circuit",,,"Worksheet","Lap")",
        R"("Vehicle","",,,"Vehicle Desc","")",
        R"("Driver","",,,"Engine ID","")",
        R"("Device","ADL3",,,)",
        R"("Comment","",,,"Session","1")",
        QStringLiteral(R"("Log Date","%1",,,"Origin Time","0.000","s")").arg(file.logDate),
        QStringLiteral(R"("Log Time","%1",,,"Start Time","0.000","s")").arg(file.logTime),
        R"("Sample Rate","10.000","Hz",,"End Time",")" + endText + R"(","s")",
        R"("Duration",")" + endText + R"(","s",,"Start Distance","0","m")",
        R"("Range","entire outing",,,"End Distance","0","m")",
        R"("Beacon Markers")",
        R"("")",
        R"("")",
        Quoted(file.channels),
        Quoted(units),
        Quoted(blanks),
        R"("")",
    };
    for (const QStringList& d : file.data) lines.append(Quoted(d));
    return lines;
}

bool WriteMotecLines(const QString& path, const QStringList& lines) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    return f.write(bytes) == bytes.size();
}

bool WriteMotecCsv(const QString& path, const MotecFile& file) {
    return WriteMotecLines(path, MotecLines(file));
}

} // namespace vel::test
