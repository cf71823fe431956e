#include "common/datetime.h"

#include <cmath>
#include <QDate>

namespace vel {

namespace {

constexpr long long MsPerDay = 86400000;
// 0001-01-01 and 9999-12-31 as day counts: outside, a value is garbage.
constexpr double MinDays = -693593.0;
constexpr double MaxDays = 2958466.0;
// Durations beyond this many seconds (some 30 000 years) are garbage too.
constexpr long double MaxSeconds = 1e12L;

const QDate& BaseDate() {
    static const QDate d(1899, 12, 30);
    return d;
}

long long FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

struct Fields {
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, s = 0, ms = 0;
};

Fields Split(double dt) {
    Fields f;
    if (!std::isfinite(dt) || dt < MinDays || dt > MaxDays) return f;   // as day 0
    const long long total = std::llround(dt * static_cast<double>(MsPerDay));
    const long long day = FloorDiv(total, MsPerDay);
    long long rest = total - day * MsPerDay;
    const QDate date = BaseDate().addDays(day);
    f.y = date.year();
    f.mo = date.month();
    f.d = date.day();
    f.ms = static_cast<int>(rest % 1000);
    rest /= 1000;
    f.s = static_cast<int>(rest % 60);
    rest /= 60;
    f.mi = static_cast<int>(rest % 60);
    f.h = static_cast<int>(rest / 60);
    return f;
}

// Whole milliseconds of a duration; false when it is not a usable number.
bool DurationMs(long double seconds, long long& ms) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > MaxSeconds) return false;
    ms = std::llround(seconds * 1000.0L);
    return true;
}

QString Pad(long long v, int width) {
    return QString::number(v).rightJustified(width, QLatin1Char('0'));
}

QString HoursMinutesText(long long ms) {
    const long long h = ms / 3600000;
    const long long m = ms / 60000 % 60;
    const long long s = ms / 1000 % 60;
    const long long z = ms % 1000;
    if (h == 0) return QString::number(m) + ':' + Pad(s, 2) + '.' + Pad(z, 3);
    return QString::number(h) + ':' + Pad(m, 2) + ':' + Pad(s, 2) + '.' + Pad(z, 3);
}

} // namespace

double EncodeDateTime(int y, int mo, int d, int h, int mi, int s, int ms) {
    const QDate date(y, mo, d);
    if (!date.isValid()) return 0;
    const long long days = BaseDate().daysTo(date);
    const long long timeMs = ((static_cast<long long>(h) * 60 + mi) * 60 + s) * 1000 + ms;
    return static_cast<double>(days) + static_cast<double>(timeMs) / static_cast<double>(MsPerDay);
}

void DecodeDateTime(double dt, int& y, int& mo, int& d, int& h, int& mi, int& s, int& ms) {
    const Fields f = Split(dt);
    y = f.y;
    mo = f.mo;
    d = f.d;
    h = f.h;
    mi = f.mi;
    s = f.s;
    ms = f.ms;
}

QString LapTimeText(long double seconds) {
    long long ms = 0;
    if (!DurationMs(seconds, ms)) return QStringLiteral("0:00.000");
    if (ms < 0) return '-' + HoursMinutesText(-ms);
    return HoursMinutesText(ms);
}

QString SectTimeText(long double seconds) {
    long long ms = 0;
    if (!DurationMs(seconds, ms)) return QStringLiteral("00.000");
    const QString sign = ms < 0 ? QStringLiteral("-") : QString();
    if (ms < 0) ms = -ms;
    if (ms < 60000) return sign + Pad(ms / 1000, 2) + '.' + Pad(ms % 1000, 3);
    return sign + HoursMinutesText(ms);
}

QString DateText(double dt) {
    return FormatDateTime(QStringLiteral("yyyy/mm/dd"), dt);
}

QString ClockText(double dt) {
    return FormatDateTime(QStringLiteral("hh:nn:ss"), dt);
}

QString FormatDateTime(const QString& fmt, double dt) {
    const Fields f = Split(dt);
    struct Token {
        QLatin1StringView text;
        int value;
    };
    const Token tokens[] = {
        {QLatin1StringView("yyyy"), f.y}, {QLatin1StringView("zzz"), f.ms},
        {QLatin1StringView("mm"), f.mo},  {QLatin1StringView("dd"), f.d},
        {QLatin1StringView("hh"), f.h},   {QLatin1StringView("nn"), f.mi},
        {QLatin1StringView("ss"), f.s},
    };
    QString out;
    out.reserve(fmt.size() + 8);
    qsizetype i = 0;
    while (i < fmt.size()) {
        bool matched = false;
        for (const Token& t : tokens) {
            if (QStringView(fmt).mid(i).startsWith(t.text)) {
                out += Pad(t.value, static_cast<int>(t.text.size()));
                i += t.text.size();
                matched = true;
                break;
            }
        }
        if (!matched) out += fmt[i++];
    }
    return out;
}

} // namespace vel
