#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <limits>
#include <vector>
#include <gtest/gtest.h>
#include "common/records.h"

namespace vel {
namespace {

using Ext = std::array<uint8_t, 10>;

Ext Encode(long double v) {
    Ext b{};
    EncodeExtended(v, b.data());
    return b;
}

// Same value and same sign of zero; NaN equals NaN.
bool Identical(long double a, long double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

struct ExtCase {
    const char* name;
    long double value;
    Ext bytes;
};

const ExtCase kExtCases[] = {
    {"one", 1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
    {"minus 2.5", -2.5L, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
    {"zero", 0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"minus zero", -0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
    {"fifteen", 15.0L, {0, 0, 0, 0, 0, 0, 0, 0xF0, 0x02, 0x40}},
    {"tenth", 0.1L, {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
    {"smallest denormal", std::ldexp(1.0L, -16445), {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"largest denormal power", std::ldexp(1.0L, -16383), {0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0}},
    {"negative denormal", -std::ldexp(3.0L, -16445), {3, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
    {"smallest normal", std::ldexp(1.0L, -16382), {0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x00}},
    {"largest", LDBL_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x7F}},
    {"infinity", HUGE_VALL, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
    {"minus infinity", -HUGE_VALL, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}},
};

TEST(Extended, EncodesAndDecodesFixedPatterns) {
    for (const ExtCase& c : kExtCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Encode(c.value), c.bytes);
        EXPECT_TRUE(Identical(DecodeExtended(c.bytes.data()), c.value));
    }
}

TEST(Extended, NaNKeepsItsSignAndStaysNaN) {
    for (const long double nan : {std::nanl(""), -std::nanl("")}) {
        const Ext b = Encode(nan);
        EXPECT_EQ(b[9] & 0x7F, 0x7F);
        EXPECT_EQ(b[8], 0xFF);
        EXPECT_EQ((b[9] & 0x80) != 0, std::signbit(nan));
        uint64_t sig = 0;
        for (int i = 0; i < 8; ++i) sig |= uint64_t(b[i]) << (8 * i);
        EXPECT_NE(sig & 0x7FFFFFFFFFFFFFFFull, 0u);   // not an infinity
        const long double back = DecodeExtended(b.data());
        EXPECT_TRUE(std::isnan(back));
        EXPECT_EQ(std::signbit(back), std::signbit(nan));
    }
}

// Encodings the FPU never makes but a file may hold: read by value.
TEST(Extended, DecodesNonCanonicalEncodingsByValue) {
    struct Case {
        const char* name;
        Ext bytes;
        long double value;
    };
    const Case cases[] = {
        {"unnormal 0.5", {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F}, 0.5L},
        {"unnormal zero", {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40}, 0.0L},
        {"negative unnormal", {0, 0, 0, 0, 0, 0, 0, 0x20, 0x02, 0xC0}, -2.0L},
        {"pseudo-denormal", {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0}, std::ldexp(1.0L, -16382)},
        {"unnormal at the top", {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFE, 0x7F}, std::ldexp(1.0L, 16382)},
        {"pseudo-infinity", {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x7F}, HUGE_VALL},
        {"pseudo-NaN", {1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x7F}, std::nanl("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Identical(DecodeExtended(c.bytes.data()), c.value));
    }
}

TEST(Extended, RoundTripsAndMatchesTheFpuLayout) {
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 20000; ++i) {
        // Random bit patterns cover every exponent, denormals included.
        Ext b{};
        const uint64_t bits = rng();
        for (int k = 0; k < 8; ++k) b[k] = uint8_t(bits >> (8 * k));
        const uint32_t se = uint32_t(rng()) & 0xFFFF;
        b[8] = uint8_t(se);
        b[9] = uint8_t(se >> 8);
        const long double v = DecodeExtended(b.data());
        const Ext again = Encode(v);
        ASSERT_TRUE(Identical(DecodeExtended(again.data()), v)) << i;
#if defined(__x86_64__) && LDBL_MANT_DIG == 64
        if (!std::isnan(v)) {
            Ext native{};
            std::memcpy(native.data(), &v, 10);
            ASSERT_EQ(again, native) << i;
        }
#endif
    }
}

// ---- the 128-byte lap record ----

TLapElmRec SampleRec() {
    TLapElmRec r;
    r.DtTm = 45351.5;
    r.Tm = 0.000125;
    r.Sec = 10.8L;
    r.Ido = 35.3712345L;
    r.Kdo = 138.9276543L;
    r.Elv = -12.5L;
    r.Spd = 123.4L;
    r.Dir = 271.25L;
    r.Dist = 1.2345L;
    r.UseSat = 11;
    return r;
}

struct Slot {
    const char* name;
    int offset;
    int size;   // encoded bytes; the rest of the slot up to the next is reserved
};

const Slot kExtSlots[] = {
    {"Sec", 16, 10}, {"Ido", 32, 10}, {"Kdo", 48, 10}, {"Elv", 64, 10},
    {"Spd", 80, 10}, {"Dir", 96, 10}, {"Dist", 112, 10},
};

using Rec = std::array<uint8_t, TLapElmRec::Size>;

Rec EncodeRec(const TLapElmRec& r) {
    Rec b{};
    EncodeLapElm(r, b.data());
    return b;
}

// raw: the bytes r was read from, if any.
Rec WriteRec(const TLapElmRec& r, const uint8_t* raw = nullptr) {
    Rec b{};
    WriteLapElm(r, raw, b.data());
    return b;
}

TEST(LapElm, FieldByFieldLayoutHasZeroReservedBytes) {
    const TLapElmRec r = SampleRec();
    Rec b;
    b.fill(0xEE);   // the encoder must set every byte
    EncodeLapElm(r, b.data());

    double d = 0;
    std::memcpy(&d, b.data() + 0, 8);
    EXPECT_EQ(d, r.DtTm);
    std::memcpy(&d, b.data() + 8, 8);
    EXPECT_EQ(d, r.Tm);
    const long double values[] = {r.Sec, r.Ido, r.Kdo, r.Elv, r.Spd, r.Dir, r.Dist};
    for (size_t i = 0; i < std::size(kExtSlots); ++i) {
        const Slot& s = kExtSlots[i];
        SCOPED_TRACE(s.name);
        const Ext e = Encode(values[i]);
        EXPECT_EQ(0, std::memcmp(b.data() + s.offset, e.data(), 10));
        const int end = (i + 1 < std::size(kExtSlots)) ? kExtSlots[i + 1].offset : 124;
        for (int k = s.offset + 10; k < end; ++k) EXPECT_EQ(b[k], 0) << "byte " << k;
    }
    EXPECT_EQ(b[124], 11);
    EXPECT_EQ(b[125], 0);
    EXPECT_EQ(b[126], 0);
    EXPECT_EQ(b[127], 0);

    // A record without raw bytes is written the same way.
    EXPECT_EQ(WriteRec(r), b);
}

// Every kind of double a record field can hold is written as the general
// encoder writes it.
TEST(LapElm, FieldsGiveTheGeneralEncodersBytesForEveryDouble) {
    std::vector<double> values = {0.0, -0.0, 1.0, -2.5, 0.1, 139.7, -35.6, 1e-300, DBL_MIN, -DBL_MIN,
                                  std::numeric_limits<double>::denorm_min(), -DBL_MIN / 3, DBL_MAX, -DBL_MAX,
                                  HUGE_VAL, -HUGE_VAL, std::nan(""), -std::nan("")};
    std::mt19937_64 rng(7);
    for (int i = 0; i < 2000; ++i) values.push_back(std::bit_cast<double>(rng()));
    for (const double v : values) {
        SCOPED_TRACE(v);
        TLapElmRec r;
        r.Sec = r.Ido = r.Kdo = r.Elv = r.Spd = r.Dir = r.Dist = v;
        const Rec b = EncodeRec(r);
        const Ext e = Encode(v);
        for (const Slot& s : kExtSlots) EXPECT_EQ(0, std::memcmp(b.data() + s.offset, e.data(), 10)) << s.name;
    }
}

TEST(LapElm, NegativeSatelliteCountIsTwosComplement) {
    TLapElmRec r;
    r.UseSat = -2;
    const Rec b = EncodeRec(r);
    EXPECT_EQ(b[124], 0xFE);
    EXPECT_EQ(b[127], 0xFF);
    EXPECT_EQ(ReadLapElm(b.data()).UseSat, -2);
}

TEST(LapElm, ReadsBackWhatWasEncoded) {
    const TLapElmRec r = SampleRec();
    const Rec b = EncodeRec(r);
    const TLapElmRec back = ReadLapElm(b.data());
    EXPECT_EQ(back.DtTm, r.DtTm);
    EXPECT_EQ(back.Tm, r.Tm);
    EXPECT_EQ(back.Sec, r.Sec);
    EXPECT_EQ(back.Ido, r.Ido);
    EXPECT_EQ(back.Kdo, r.Kdo);
    EXPECT_EQ(back.Elv, r.Elv);
    EXPECT_EQ(back.Spd, r.Spd);
    EXPECT_EQ(back.Dir, r.Dir);
    EXPECT_EQ(back.Dist, r.Dist);
    EXPECT_EQ(back.UseSat, r.UseSat);
    EXPECT_EQ(WriteRec(back, b.data()), b);
}

// Bytes as another program may have left them: reserved bytes filled, a
// non-canonical encoding, NaNs with payloads, a minus zero.
Rec FileBytes() {
    Rec b = EncodeRec(SampleRec());
    for (const Slot& s : kExtSlots)
        for (int k = s.offset + s.size; k < s.offset + 16 && k < 124; ++k) b[k] = uint8_t(0xA0 + k);
    const Ext unnormalHalf = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    std::memcpy(b.data() + 32, unnormalHalf.data(), 10);        // Ido
    const Ext nanPayload = {5, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0xFF};
    std::memcpy(b.data() + 96, nanPayload.data(), 10);          // Dir
    const uint64_t dblNan = 0x7FF4000000000123ull;             // signalling, payload
    std::memcpy(b.data() + 8, &dblNan, 8);                      // Tm
    const Ext minusZero = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
    std::memcpy(b.data() + 64, minusZero.data(), 10);          // Elv
    return b;
}

TEST(LapElm, UneditedRecordIsWrittenBackByteForByte) {
    const Rec file = FileBytes();
    EXPECT_EQ(WriteRec(ReadLapElm(file.data()), file.data()), file);
}

TEST(LapElm, ChangedFieldIsReencodedAndTheRestKept) {
    struct Case {
        const char* name;
        void (*edit)(TLapElmRec&);
        int offset, size;
    };
    const Case cases[] = {
        {"DtTm", [](TLapElmRec& r) { r.DtTm += 1.0 / 86400; }, 0, 8},
        {"Tm", [](TLapElmRec& r) { r.Tm = 0.5; }, 8, 8},
        {"Sec", [](TLapElmRec& r) { r.Sec = 99.125L; }, 16, 10},
        {"Ido from an unnormal", [](TLapElmRec& r) { r.Ido = 0.25L; }, 32, 10},
        {"Elv from minus zero to zero", [](TLapElmRec& r) { r.Elv = 0.0L; }, 64, 10},
        {"Dir from NaN", [](TLapElmRec& r) { r.Dir = 90.0L; }, 96, 10},
        {"Dist", [](TLapElmRec& r) { r.Dist = 2.5L; }, 112, 10},
        {"UseSat", [](TLapElmRec& r) { r.UseSat = 4; }, 124, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rec file = FileBytes();
        TLapElmRec r = ReadLapElm(file.data());
        c.edit(r);
        const Rec out = WriteRec(r, file.data());
        const Rec fresh = EncodeRec(r);
        for (int k = 0; k < TLapElmRec::Size; ++k) {
            const bool inField = k >= c.offset && k < c.offset + c.size;
            EXPECT_EQ(out[k], inField ? fresh[k] : file[k]) << "byte " << k;
        }
        EXPECT_NE(0, std::memcmp(out.data() + c.offset, file.data() + c.offset, c.size));
    }
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// The plain path decodes exactly what the full decoder does, and takes
// only records that field-by-field encoding gives back.
TEST(LapElm, PlainRecordsAreTheOnesEncodingGivesBack) {
    TLapElmRec zeros;
    zeros.Elv = -0.0;
    TLapElmRec tiny = SampleRec();
    tiny.Spd = 1e-310;   // a double denormal: an 80-bit normal
    TLapElmRec huge = SampleRec();
    huge.Dist = std::numeric_limits<double>::max();
    const struct {
        const char* name;
        Rec bytes;
        bool plain;
    } cases[] = {
        {"sample", EncodeRec(SampleRec()), true},
        {"zeros and minus zero", EncodeRec(zeros), true},
        {"largest double", EncodeRec(huge), true},
        {"double denormal", EncodeRec(tiny), false},
        {"file bytes", FileBytes(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TLapElmRec got;
        got.RawIdx = 7;
        const bool plain = ReadPlainLapElm(c.bytes.data(), got);
        EXPECT_EQ(plain, c.plain);
        if (!plain) {
            EXPECT_EQ(got.RawIdx, 7);
            continue;
        }
        EXPECT_EQ(got.RawIdx, -1);
        EXPECT_EQ(EncodeRec(got), c.bytes);
        const TLapElmRec full = ReadLapElm(c.bytes.data());
        EXPECT_EQ(std::memcmp(&full.Sec, &got.Sec, 7 * sizeof(double)), 0);
    }
}

} // namespace
} // namespace vel
