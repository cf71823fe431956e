#pragma once
// Date-times are days since 1899-12-30 in a double.
#include <QDateTime>
#include <QString>

namespace vel {

constexpr double UnixEpochDays = 25569.0;   // 1970-01-01 as a day count

// Builds a date-time from calendar fields (no range check beyond QDate's;
// an invalid date gives 0).
double EncodeDateTime(int y, int mo, int d, int h, int mi, int s, int ms);
// Splits a date-time into calendar fields, rounded to the millisecond. Values
// that are not finite or lie outside the years 1 to 9999 read as day 0; the
// texts below follow the same rule, and durations that are not finite show 0.
void DecodeDateTime(double dt, int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms);

// "n:ss.zzz" below one hour, else "h:nn:ss.zzz"; rounded to the millisecond first.
QString LapTimeText(long double seconds);
// Sector-time column of the lap list: "ss.zzz" below one minute, else as LapTimeText.
QString SectTimeText(long double seconds);
QString DateText(double dt);        // "yyyy/mm/dd"
QString ClockText(double dt);       // "hh:nn:ss"
// General formatter with Delphi-like tokens: yyyy mm dd hh nn ss zzz.
QString FormatDateTime(const QString& fmt, double dt);

} // namespace vel
