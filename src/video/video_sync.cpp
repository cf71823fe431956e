#include "video/video_sync.h"
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTime>
#include <cmath>
#include "common/datetime.h"
#include "common/textfile.h"

namespace vel {

namespace {

constexpr long double UsPerDay = 86400.0L * 1000000.0L;

// Microseconds between two date-times. Date-times in days carry about a
// microsecond of precision, so the nearest microsecond, not a cut that a
// last-bit error would move down by one.
int64_t UsBetween(double later, double earlier) {
    return static_cast<int64_t>(std::llround((static_cast<long double>(later) - earlier) * UsPerDay));
}

void SetEnd(VideoSyncState& s, const RefLap& lap) {
    s.VideoEndPts = s.VideoOfsPts + TruncUs(lap.EndSec);
    if (s.VideoEndPts > s.VideoDuration) s.VideoEndPts = s.VideoDuration;
}

// Files of this size are no video-sync file.
constexpr qint64 MaxVsyBytes = 64 * 1024;

} // namespace

int64_t TruncUs(long double seconds) {
    const long double us = std::trunc(seconds * 1000000.0L);
    if (!std::isfinite(us) || std::fabs(us) > 9.0e18L) return 0;
    return static_cast<int64_t>(us);
}

int64_t VideoPtsOf(const VideoSyncState& s, long double playTm) { return s.VideoOfsPts + TruncUs(playTm); }

void CalVideoRange(VideoSyncState& s, const RefLap& lap) {
    if (!lap.Active || s.VideoDuration == 0 || !s.VideoSynced) return;
    s.VideoOfsPts = s.VideoSyncPts - UsBetween(s.VideoSyncDtTm, lap.StartDtTm);
    SetEnd(s, lap);
}

bool SetVideoSync(VideoSyncState& s, const RefLap& lap, long double playTm, int64_t currentPts) {
    if (!lap.Active || s.VideoDuration == 0) return false;
    if (std::nearbyint(playTm * 1000.0L) > std::nearbyint(lap.EndSec * 1000.0L)) return false;
    s.VideoSyncPts = currentPts;
    s.VideoSyncDtTm = lap.StartDtTm + static_cast<double>(playTm / 86400.0L);
    s.VideoStaDtTm = s.VideoSyncDtTm - static_cast<double>(currentPts) / 1000000.0 / 86400.0;
    s.VideoEndDtTm = s.VideoStaDtTm + static_cast<double>(s.VideoDuration) / 1000000.0 / 86400.0;
    // Straight from the play time: the same value as going through the
    // date-time, without its rounding.
    s.VideoOfsPts = currentPts - TruncUs(playTm);
    SetEnd(s, lap);
    return true;
}

void TieFromStart(VideoSyncState& s, double start, const RefLap& lap) {
    s.VideoSyncPts = 0;
    s.VideoStaDtTm = start;
    s.VideoEndDtTm = start + static_cast<double>(s.VideoDuration) / 1000000.0 / 86400.0;
    s.VideoSyncDtTm = start;
    if (lap.Active) {
        s.VideoOfsPts = UsBetween(lap.StartDtTm, start);
        SetEnd(s, lap);
    } else {
        s.VideoOfsPts = -1;
        s.VideoEndPts = -1;
    }
}

bool PlayTmInVideo(const VideoSyncState& s, long double playTm) {
    if (s.VideoEndPts < 0 || s.VideoOfsPts > s.VideoDuration) return false;
    const int64_t target = VideoPtsOf(s, playTm);
    return target >= 0 && target <= s.VideoDuration;
}

QString VsyDateText(double dt) { return FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss.zzz"), dt); }

bool ParseVsyDate(const QString& text, double& dt) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{4})/(\\d{1,2})/(\\d{1,2})\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,3}))?)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return false;
    const int y = m.captured(1).toInt(), mo = m.captured(2).toInt(), d = m.captured(3).toInt();
    const int h = m.captured(4).toInt(), mi = m.captured(5).toInt();
    const int s = m.captured(6).isEmpty() ? 0 : m.captured(6).toInt();
    int ms = 0;
    if (!m.captured(7).isEmpty()) {
        QString z = m.captured(7);
        while (z.size() < 3) z += QLatin1Char('0');
        ms = z.toInt();
    }
    if (!QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, s, ms)) return false;
    dt = EncodeDateTime(y, mo, d, h, mi, s, ms);
    return true;
}

VsyRead ReadVsy(const QString& path, VsyFile& out, QString* error) {
    QFile f(path);
    if (f.size() > MaxVsyBytes) return VsyRead::Ignored;
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return VsyRead::ReadError;
    }
    const QByteArray bytes = f.read(MaxVsyBytes + 1);
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        return VsyRead::ReadError;
    }
    if (bytes.size() > MaxVsyBytes || bytes.contains('\0')) return VsyRead::Ignored;
    const QStringList lines = SplitLines(DecodeText(bytes));
    if (lines.size() != 2) return VsyRead::Ignored;
    double start = 0;
    if (!ParseVsyDate(lines[1], start)) return VsyRead::BadDate;
    out.VideoPath = lines[0];
    out.Start = start;
    return VsyRead::Ok;
}

bool WriteVsy(const QString& path, const VsyFile& f, QString* error) {
    return WriteTextLines(path, {f.VideoPath, VsyDateText(f.Start)}, error);
}

} // namespace vel
