#include "platform/timezone.h"

#include <algorithm>
#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace vel {

int TimeZoneBiasMinutes() {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    int offsetSeconds = 0;
    if (zone.isValid()) {
        offsetSeconds = zone.standardTimeOffset(QDateTime::currentDateTimeUtc());
    } else {
        // A zone Qt cannot read: the C library may still know local time.
        // Summer time moves clocks forward, so the smaller of a winter and a
        // summer offset is the standard one.
        const int year = QDate::currentDate().year();
        const int jan = QDateTime(QDate(year, 1, 1), QTime(12, 0)).offsetFromUtc();
        const int jul = QDateTime(QDate(year, 7, 1), QTime(12, 0)).offsetFromUtc();
        offsetSeconds = std::min(jan, jul);
    }
    return -(offsetSeconds / 60);
}

double LocalEpochFromBias(int biasMinutes) {
    return 25569.0 - biasMinutes / 1440.0;
}

} // namespace vel
