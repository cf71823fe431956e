#pragma once
// Logger memory images for tests and benchmarks, written from lists of
// samples: 64 KiB sectors (".bin", ".binx") and 4 KiB blocks (".bnx4").
// No GoogleTest here: the benchmarks link this too.
#include <cstdint>
#include <vector>
#include <QByteArray>
#include "import/memory_image.h"

namespace vel::test {

// One fix as the logger stores it.
struct ImageSample {
    int32_t utcSec = 0;       // seconds since 1970-01-01 UTC
    uint16_t ms = 0;
    double lat = 0, lon = 0;  // degrees
    float elv = 0;            // m
    float spd = 0;            // km/h
    uint8_t satUsed = 9, satView = 11;
    uint16_t valid = 3;       // fix validity (4 KiB records and sector words with bit 1)
};

enum class CircuitShape { Square, Oval };

struct ImageCircuit {
    CircuitShape shape = CircuitShape::Square;
    int hz = 10;                       // 5, 10 or 20 fixes a second
    double kmh = 90;                   // every sample's speed
    double sizeM = 400;                // side of the square, straights of the oval
    double centreLat = 34.84, centreLon = 136.54;
    int32_t startUtc = 1684029600;     // 2023-05-14 02:00:00 UTC
    float elv = 45;
};

// Length of one lap in metres. The square's lap starts in the middle of its
// south side heading east; the oval's in the middle of its south straight
// heading east (bends of diameter sizeM / 2).
double ImageCircuitLength(const ImageCircuit& c);
// count samples driven round the circuit, one every 1/hz seconds.
std::vector<ImageSample> ImageCircuitSamples(const ImageCircuit& c, int count);
// Moves samples from index from on by seconds: a gap, or a jump back when negative.
void ShiftImageSamples(std::vector<ImageSample>& samples, size_t from, int32_t seconds);

// Usual format words: the older loggers' record and the QK4's.
constexpr uint32_t SectorWord = LogFmtStd;
constexpr uint32_t BlockWord = 0x0004103F;

// A record's fields in bit order, then "*" and the XOR of the field bytes.
// Fields that carry nothing here are filled with a pattern free of "*".
QByteArray EncodeSectorRecord(const ImageSample& s, uint32_t word);
QByteArray EncodeBlockRecord(const ImageSample& s, uint32_t word);
// 16 bytes: seven 0xAA, the type, the value, four 0xBB.
QByteArray SeparatorBytes(uint8_t type, uint32_t value);

// Writes an image sector by sector (or block by block) as the logger does:
// each unit starts with its format word, records from offset 512, and a
// record that would not fit goes to the next unit.
class ImageWriter {
public:
    ImageWriter(LogImageLayout layout, uint32_t word, int maxUnits);

    // Writes a record in the current word; false when the image is full.
    bool Record(const ImageSample& s);
    // Writes bytes as they are at the current place, even across a unit's end.
    void Bytes(const QByteArray& bytes);
    // Writes a separator (a type-2 one also switches the word of the
    // following records); starts the next unit first when it does not fit.
    void Separator(uint8_t type, uint32_t value);
    // Starts the next unit (its format word is the current word); false when full.
    bool NextUnit();
    // Moves to offset in the current unit.
    void SetOffset(int32_t offset);
    int32_t Offset() const { return static_cast<int32_t>(pos_ - unitStart()); }
    int Unit() const { return unit_; }
    uint32_t Word() const { return word_; }
    int32_t UnitSize() const;
    // The image in whole units, 0xFF where nothing was written.
    QByteArray Image() const;

private:
    int64_t unitStart() const { return static_cast<int64_t>(unit_) * UnitSize(); }
    void WriteAt(int64_t pos, const QByteArray& bytes);
    bool Fits(int64_t len) const;

    LogImageLayout layout_;
    uint32_t word_;
    int maxUnits_;
    int unit_ = 0;
    int64_t pos_ = 0;
    QByteArray image_;
};

// The samples in order in a fresh image (as many as fit in maxUnits).
QByteArray SectorImage(const std::vector<ImageSample>& samples, uint32_t word = SectorWord,
                       int maxUnits = 128);
QByteArray BlockImage(const std::vector<ImageSample>& samples, uint32_t word = BlockWord,
                      int maxUnits = 4096);

} // namespace vel::test
