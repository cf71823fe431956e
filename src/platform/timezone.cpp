#include "platform/timezone.h"

#include <algorithm>
#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace vel {

int TimeZoneBiasMinutes() {
    // Summer time moves clocks forward, so the smaller of this year's winter
    // and summer offsets is the standard one. The zone's own "standard"
    // offset is not used: some zones (Europe/Dublin) call their summer time
    // standard and their winter time a negative daylight saving.
    const int year = QDate::currentDate().year();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    int jan = 0, jul = 0;
    if (zone.isValid()) {
        jan = zone.offsetFromUtc(QDateTime(QDate(year, 1, 1), QTime(12, 0), Qt::UTC));
        jul = zone.offsetFromUtc(QDateTime(QDate(year, 7, 1), QTime(12, 0), Qt::UTC));
    } else {
        // A zone Qt cannot read: the C library may still know local time.
        jan = QDateTime(QDate(year, 1, 1), QTime(12, 0)).offsetFromUtc();
        jul = QDateTime(QDate(year, 7, 1), QTime(12, 0)).offsetFromUtc();
    }
    return -(std::min(jan, jul) / 60);
}

double LocalEpochFromBias(int biasMinutes) {
    return 25569.0 - biasMinutes / 1440.0;
}

} // namespace vel
