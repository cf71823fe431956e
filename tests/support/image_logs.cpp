#include "support/image_logs.h"
#include <QVector>
#include "common/datetime.h"
#include "common/records.h"
#include "support/bluetooth_builder.h"

namespace vel::test {

double UtcDays(const ImageSample& s) { return UnixEpochDays + s.utcSec / 86400.0 + s.ms / 86400000.0; }

QByteArray BtBytes(BtKind kind, const std::vector<ImageSample>& samples) {
    QVector<BtSampleSpec> specs;
    for (const ImageSample& s : samples) {
        BtSampleSpec b;
        SetBtUtc(b, UtcDays(s), kind);
        SetBtPosition(b, s.lat, s.lon);
        SetBtSpeed(b, s.spd);
        specs << b;
    }
    return BuildBtLog(kind, specs);
}

QByteArray DtbBytes(const std::vector<ImageSample>& samples, double localEpoch) {
    QByteArray out;
    const double t0 = localEpoch + UtcDays(samples.front()) - UnixEpochDays;
    for (const ImageSample& s : samples) {
        TLapElmRec r;
        r.DtTm = localEpoch + UtcDays(s) - UnixEpochDays;
        r.Tm = r.DtTm - t0;
        r.Sec = r.Tm * 86400.0L;
        r.Ido = s.lat;
        r.Kdo = s.lon;
        r.Elv = s.elv;
        r.Spd = s.spd;
        r.UseSat = s.satUsed;
        QByteArray rec(TLapElmRec::Size, '\0');
        EncodeLapElm(r, reinterpret_cast<uint8_t*>(rec.data()));
        out += rec;
    }
    return out;
}

} // namespace vel::test
