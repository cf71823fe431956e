#include "views/export/nmea.h"

#include <cmath>
#include <string>
#include "common/datetime.h"
#include "views/export/fixed_text.h"

namespace vel {

namespace {

constexpr double KmhPerKnot = 1.852;

void AppendAngle(std::string& out, double v) {
    double a = std::isfinite(v) ? std::fabs(v) : 0.0;
    double d = std::floor(a);
    double m = (a - d) * 60.0;
    // Written with six decimals, 59.9999996 minutes would read 60.000000.
    if (std::round(m * 1e6) >= 60e6) {
        d += 1;
        m = 0;
    }
    AppendFixed(out, d * 100.0 + m, 6);
}

} // namespace

QString NmeaChecksum(const QByteArray& body) {
    unsigned char x = 0;
    for (char c : body) x ^= static_cast<unsigned char>(c);
    return QStringLiteral("%1").arg(unsigned(x), 2, 16, QLatin1Char('0')).toUpper();
}

QString NmeaAngle(double degrees) {
    std::string s;
    AppendAngle(s, degrees);
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString RmcSentence(const TLapElmRec& e, int biasMinutes) {
    int y, mo, d, h, mi, sec, ms;
    DecodeDateTime(e.DtTm + biasMinutes / 1440.0, y, mo, d, h, mi, sec, ms);
    std::string b = "GPRMC,";
    Append2(b, h);
    Append2(b, mi);
    Append2(b, sec);
    b += '.';
    Append3(b, ms);
    b += ",A,";
    const double ido = double(e.Ido), kdo = double(e.Kdo);
    AppendAngle(b, ido);
    b += ido >= 0 || std::isnan(ido) ? ",N," : ",S,";
    AppendAngle(b, kdo);
    b += kdo >= 0 || std::isnan(kdo) ? ",E," : ",W,";
    AppendFixed(b, double(e.Spd) / KmhPerKnot, 1);
    b += ",,";
    Append2(b, d);
    Append2(b, mo);
    Append2(b, y % 100);
    b += ",,,A";
    const QByteArray body(b.data(), qsizetype(b.size()));
    return QLatin1Char('$') + QString::fromLatin1(body) + QLatin1Char('*') + NmeaChecksum(body);
}

QStringList NmeaLines(const QVector<TLapElmRec>& recs, int biasMinutes) {
    QStringList lines;
    lines.reserve(recs.size());
    for (const TLapElmRec& e : recs) lines << RmcSentence(e, biasMinutes);
    return lines;
}

} // namespace vel
