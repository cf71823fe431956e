#include "support/image_builder.h"

#include <cmath>
#include <cstring>
#include "common/geodesy.h"

namespace vel::test {

namespace {

template <typename T>
void Put(QByteArray& out, T v) {
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    out.append(b, sizeof v);
}

bool Bit(uint32_t word, int n) { return (word >> n) & 1u; }

void Close(QByteArray& rec) {
    uint8_t sum = 0;
    for (char c : rec) sum ^= static_cast<uint8_t>(c);
    rec.append('*');
    rec.append(static_cast<char>(sum));
}

// Point at s metres along the lap, x east and y north of the centre.
void CircuitPoint(const ImageCircuit& c, double s, double& x, double& y) {
    const double len = ImageCircuitLength(c);
    s = std::fmod(s, len);
    if (s < 0) s += len;
    const double l = c.sizeM;
    if (c.shape == CircuitShape::Square) {
        const double half = l / 2;
        if (s < half) { x = s; y = -half; return; }
        s -= half;
        if (s < l) { x = half; y = -half + s; return; }
        s -= l;
        if (s < l) { x = half - s; y = half; return; }
        s -= l;
        if (s < l) { x = -half; y = half - s; return; }
        s -= l;
        x = -half + s;
        y = -half;
        return;
    }
    const double r = l / 4, half = l / 2, bend = static_cast<double>(Pi) * r;
    if (s < half) { x = s; y = -r; return; }
    s -= half;
    if (s < bend) {
        const double a = -static_cast<double>(Pi) / 2 + s / r;
        x = half + r * std::cos(a);
        y = r * std::sin(a);
        return;
    }
    s -= bend;
    if (s < l) { x = half - s; y = r; return; }
    s -= l;
    if (s < bend) {
        const double a = static_cast<double>(Pi) / 2 + s / r;
        x = -half + r * std::cos(a);
        y = r * std::sin(a);
        return;
    }
    s -= bend;
    x = -half + s;
    y = -r;
}

} // namespace

double ImageCircuitLength(const ImageCircuit& c) {
    if (c.shape == CircuitShape::Square) return 4 * c.sizeM;
    return 2 * c.sizeM + 2 * static_cast<double>(Pi) * (c.sizeM / 4);
}

std::vector<ImageSample> ImageCircuitSamples(const ImageCircuit& c, int count) {
    std::vector<ImageSample> out;
    out.reserve(static_cast<size_t>(std::max(count, 0)));
    const double r = static_cast<double>(EarthR);
    const double degPerRad = 180.0 / static_cast<double>(Pi);
    const double cosLat = std::cos(c.centreLat / degPerRad);
    const int64_t stepMs = 1000 / std::max(c.hz, 1);
    for (int i = 0; i < count; ++i) {
        const int64_t tMs = i * stepMs;
        double x = 0, y = 0;
        CircuitPoint(c, c.kmh / 3.6 * static_cast<double>(tMs) / 1000.0, x, y);
        ImageSample s;
        s.utcSec = c.startUtc + static_cast<int32_t>(tMs / 1000);
        s.ms = static_cast<uint16_t>(tMs % 1000);
        s.lat = c.centreLat + y / r * degPerRad;
        s.lon = c.centreLon + x / (r * cosLat) * degPerRad;
        s.elv = c.elv;
        s.spd = static_cast<float>(c.kmh);
        out.push_back(s);
    }
    return out;
}

void ShiftImageSamples(std::vector<ImageSample>& samples, size_t from, int32_t seconds) {
    for (size_t i = from; i < samples.size(); ++i) samples[i].utcSec += seconds;
}

namespace {

// The fields both record formats start with: time, fix, position, height
// and speed.
void PutFix(QByteArray& r, const ImageSample& s, uint32_t word) {
    if (Bit(word, 0)) Put<int32_t>(r, s.utcSec);
    if (Bit(word, 1)) Put<uint16_t>(r, s.valid);
    if (Bit(word, 2)) Put<double>(r, s.lat);
    if (Bit(word, 3)) Put<double>(r, s.lon);
    if (Bit(word, 4)) Put<float>(r, s.elv);
    if (Bit(word, 5)) Put<float>(r, s.spd);
}

} // namespace

QByteArray EncodeSectorRecord(const ImageSample& s, uint32_t word) {
    QByteArray r;
    PutFix(r, s, word);
    if (Bit(word, 6)) Put<float>(r, 0.0f);           // heading
    if (Bit(word, 7)) Put<uint16_t>(r, 0);           // differential station
    if (Bit(word, 8)) Put<float>(r, 0.0f);           // differential age
    if (Bit(word, 9)) Put<uint16_t>(r, 120);         // dilutions of precision
    if (Bit(word, 10)) Put<uint16_t>(r, 90);
    if (Bit(word, 11)) Put<uint16_t>(r, 80);
    if (Bit(word, 12)) {
        r.append(static_cast<char>(s.satView));
        r.append(static_cast<char>(s.satUsed));
    }
    if (Bit(word, 13)) {
        for (int n = 0; n < s.satView; ++n) {
            r.append(static_cast<char>(n % 40 + 1));     // id
            r.append(static_cast<char>(n < s.satUsed));  // in use
            Put<uint16_t>(r, 0);
            if (Bit(word, 14)) Put<int16_t>(r, 30);      // elevation
            if (Bit(word, 15)) Put<int16_t>(r, 100);     // azimuth
            if (Bit(word, 16)) Put<uint16_t>(r, 35);     // signal
        }
    }
    if (Bit(word, 17)) Put<uint16_t>(r, 1);              // reason of the record
    if (Bit(word, 18)) Put<uint16_t>(r, s.ms);
    if (Bit(word, 19)) Put<double>(r, 0.0);              // distance
    Close(r);
    return r;
}

QByteArray EncodeBlockRecord(const ImageSample& s, uint32_t word) {
    QByteArray r;
    PutFix(r, s, word);
    if (Bit(word, 12)) {
        r.append(static_cast<char>(s.satView));
        r.append(static_cast<char>(s.satUsed));
    }
    if (Bit(word, 17)) Put<uint16_t>(r, 1);
    if (Bit(word, 18)) Put<uint16_t>(r, s.ms);
    if (Bit(word, 21)) r.append(52, '\0');
    Close(r);
    return r;
}

QByteArray SeparatorBytes(uint8_t type, uint32_t value) {
    QByteArray r(7, static_cast<char>(0xAA));
    r.append(static_cast<char>(type));
    Put<uint32_t>(r, value);
    r.append(4, static_cast<char>(0xBB));
    return r;
}

ImageWriter::ImageWriter(LogImageLayout layout, uint32_t word, int maxUnits)
    : layout_(layout), word_(word), maxUnits_(maxUnits) {
    unit_ = -1;
    NextUnit();
}

int32_t ImageWriter::UnitSize() const {
    return layout_ == LogImageLayout::Sectors64K ? LogSectorSize : LogBlockSize;
}

void ImageWriter::WriteAt(int64_t pos, const QByteArray& bytes) {
    const int64_t end = pos + bytes.size();
    if (image_.size() < end) image_.append(end - image_.size(), static_cast<char>(0xFF));
    std::memcpy(image_.data() + pos, bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool ImageWriter::Fits(int64_t len) const {
    const int64_t end = unitStart() + UnitSize();
    // The block walker stops where a separator would no longer fit.
    if (layout_ == LogImageLayout::Blocks4K && pos_ + 16 > end) return false;
    return pos_ + len <= end;
}

bool ImageWriter::NextUnit() {
    if (unit_ + 1 >= maxUnits_) return false;
    ++unit_;
    QByteArray head;
    Put<uint16_t>(head, static_cast<uint16_t>(unit_));
    Put<uint32_t>(head, word_);
    WriteAt(unitStart(), head);
    pos_ = unitStart() + LogHeaderSize;
    return true;
}

bool ImageWriter::Record(const ImageSample& s) {
    const QByteArray rec = layout_ == LogImageLayout::Sectors64K ? EncodeSectorRecord(s, word_)
                                                                 : EncodeBlockRecord(s, word_);
    if (!Fits(rec.size()) && !NextUnit()) return false;
    Bytes(rec);
    return true;
}

void ImageWriter::Bytes(const QByteArray& bytes) {
    WriteAt(pos_, bytes);
    pos_ += bytes.size();
}

void ImageWriter::Separator(uint8_t type, uint32_t value) {
    if (!Fits(16) && !NextUnit()) return;
    Bytes(SeparatorBytes(type, value));
    if (type == 2) word_ = value;
}

void ImageWriter::SetOffset(int32_t offset) { pos_ = unitStart() + offset; }

QByteArray ImageWriter::Image() const {
    const int64_t size = UnitSize();
    const int64_t used = std::max<int64_t>(image_.size(), unitStart() + size);
    QByteArray out = image_;
    out.append((used + size - 1) / size * size - out.size(), static_cast<char>(0xFF));
    return out;
}

QByteArray SectorImage(const std::vector<ImageSample>& samples, uint32_t word, int maxUnits) {
    ImageWriter w(LogImageLayout::Sectors64K, word, maxUnits);
    for (const ImageSample& s : samples)
        if (!w.Record(s)) break;
    return w.Image();
}

QByteArray BlockImage(const std::vector<ImageSample>& samples, uint32_t word, int maxUnits) {
    ImageWriter w(LogImageLayout::Blocks4K, word, maxUnits);
    for (const ImageSample& s : samples)
        if (!w.Record(s)) break;
    return w.Image();
}

} // namespace vel::test
