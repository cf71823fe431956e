#pragma once
// NMEA 0183 RMC sentences, one per sample, so other tools can replay a lap.
#include <QString>
#include <QStringList>
#include <QVector>
#include "common/records.h"

namespace vel {

// Two upper-case hexadecimal digits of the XOR of the body's characters.
QString NmeaChecksum(const QByteArray& body);

// An angle as ddmm.mmmmmm (degrees unpadded, "%.6f" of degrees x 100 +
// minutes) of its absolute value; minutes that round to 60 carry into the
// degrees.
QString NmeaAngle(double degrees);

// "$GPRMC,...*CS" of one sample; biasMinutes (UTC = local + bias) turns its
// local date-time into UTC.
QString RmcSentence(const TLapElmRec& e, int biasMinutes);
QStringList NmeaLines(const QVector<TLapElmRec>& recs, int biasMinutes);

} // namespace vel
