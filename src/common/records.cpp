#include <cfloat>
#include "common/records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace vel {

namespace {

constexpr int ExpBias = 16383;
constexpr int ExpMax = 0x7FFF;
constexpr uint64_t IntBit = 0x8000000000000000ull;

void PutU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t GetU64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

void PutDouble(uint8_t* p, double v) { PutU64(p, std::bit_cast<uint64_t>(v)); }
double GetDouble(const uint8_t* p) { return std::bit_cast<double>(GetU64(p)); }

void PutI32(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetI32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

// Significand in [0, 2^64): truncates when long double carries more bits
// than the x87 format (exact where long double is x87).
uint64_t ToU64(long double m) {
    if (!(m > 0)) return 0;
    if (m >= 18446744073709551616.0L) return ~0ull;
    return static_cast<uint64_t>(m);
}

// Field offsets of the 128-byte lap record.
enum : int {
    OffDtTm = 0, OffTm = 8, OffSec = 16, OffIdo = 32, OffKdo = 48, OffElv = 64,
    OffSpd = 80, OffDir = 96, OffDist = 112, OffUseSat = 124,
};

struct ExtField {
    int offset;
    double TLapElmRec::*member;
};

constexpr ExtField ExtFields[] = {
    {OffSec, &TLapElmRec::Sec}, {OffIdo, &TLapElmRec::Ido}, {OffKdo, &TLapElmRec::Kdo},
    {OffElv, &TLapElmRec::Elv}, {OffSpd, &TLapElmRec::Spd}, {OffDir, &TLapElmRec::Dir},
    {OffDist, &TLapElmRec::Dist},
};

} // namespace

// Where long double is the x87 format itself, normal numbers are copied as
// they are: same bytes as the general path, without frexp/ldexp.
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool NativeX87 = true;
#else
constexpr bool NativeX87 = false;
#endif

void EncodeExtended(long double v, uint8_t out[10]) {
    if constexpr (NativeX87) {
        if (std::isnormal(v)) {
            std::memcpy(out, &v, 10);
            return;
        }
    }
    const bool neg = std::signbit(v);
    uint64_t sig = 0;
    int exp = 0;
    if (std::isnan(v)) {
        sig = 0xC000000000000000ull;   // the quiet NaN the FPU makes
        exp = ExpMax;
    } else if (std::isinf(v)) {
        sig = IntBit;
        exp = ExpMax;
    } else if (v != 0) {
        int e = 0;
        const long double m = std::frexp(std::fabs(v), &e);   // m in [0.5, 1)
        exp = e + ExpBias - 1;
        if (exp >= ExpMax) {   // only where long double has a wider range
            sig = IntBit;
            exp = ExpMax;
        } else if (exp <= 0) {
            // Denormal: value = sig * 2^(1 - bias - 63).
            sig = ToU64(std::ldexp(std::fabs(v), ExpBias + 62));
            exp = 0;
        } else {
            sig = ToU64(std::ldexp(m, 64));
        }
    }
    PutU64(out, sig);
    const unsigned se = static_cast<unsigned>(exp) | (neg ? 0x8000u : 0u);
    out[8] = static_cast<uint8_t>(se);
    out[9] = static_cast<uint8_t>(se >> 8);
}

long double DecodeExtended(const uint8_t in[10]) {
    const uint64_t sig = GetU64(in);
    const unsigned se = in[8] | (static_cast<unsigned>(in[9]) << 8);
    const bool neg = (se & 0x8000u) != 0;
    const int exp = static_cast<int>(se & 0x7FFFu);
    if constexpr (NativeX87) {
        if (exp != 0 && exp != ExpMax && (sig & IntBit) != 0) {
            long double v = 0;
            std::memcpy(&v, in, 10);
            return v;
        }
    }
    long double v;
    if (exp == ExpMax) {
        // Pseudo-infinities and pseudo-NaNs are read as their proper forms.
        v = (sig & ~IntBit) == 0 ? HUGE_VALL : std::nanl("");
    } else {
        // By value, which also covers unnormals and pseudo-denormals.
        const int e = (exp == 0 ? 1 : exp) - ExpBias - 63;
        v = std::ldexp(static_cast<long double>(sig), e);
    }
    return neg ? -v : v;
}

namespace {

// A double in the x87 format straight from its bits: the bytes
// EncodeExtended gives for it, without the long double round trip. Only
// zeros and normal doubles; the rest go the general way.
void EncodeDoubleExtended(double v, uint8_t out[10]) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    const unsigned sign = static_cast<unsigned>(bits >> 63) << 15;
    const int exp = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t frac = bits & ((1ull << 52) - 1);
    if (exp == 0 && frac == 0) {
        PutU64(out, 0);
        out[8] = 0;
        out[9] = static_cast<uint8_t>(sign >> 8);
        return;
    }
    if (exp == 0 || exp == 0x7FF) {
        EncodeExtended(v, out);
        return;
    }
    PutU64(out, IntBit | (frac << 11));
    const unsigned se = static_cast<unsigned>(exp - 1023 + ExpBias) | sign;
    out[8] = static_cast<uint8_t>(se);
    out[9] = static_cast<uint8_t>(se >> 8);
}

} // namespace

TLapElmRec ReadLapElm(const uint8_t* bytes) {
    TLapElmRec r;
    r.DtTm = GetDouble(bytes + OffDtTm);
    r.Tm = GetDouble(bytes + OffTm);
    for (const ExtField& f : ExtFields) r.*f.member = static_cast<double>(DecodeExtended(bytes + f.offset));
    r.UseSat = GetI32(bytes + OffUseSat);
    return r;
}

bool ReadPlainLapElm(const uint8_t* bytes, TLapElmRec& out) {
    double ext[std::size(ExtFields)];
    for (size_t k = 0; k < std::size(ExtFields); ++k) {
        const uint8_t* p = bytes + ExtFields[k].offset;
        // The rest of the 16-byte slot is reserved (Dist's up to UseSat).
        const int slotEnd = std::min(16, OffUseSat - ExtFields[k].offset);
        for (int i = 10; i < slotEnd; ++i)
            if (p[i] != 0) return false;   // reserved bytes in use
        const uint64_t sig = GetU64(p);
        const unsigned se = p[8] | (static_cast<unsigned>(p[9]) << 8);
        const uint64_t sign = static_cast<uint64_t>(se >> 15) << 63;
        const int exp = static_cast<int>(se & 0x7FFFu);
        if (exp == 0) {
            if (sig != 0) return false;    // a denormal
            ext[k] = std::bit_cast<double>(sign);
            continue;
        }
        // A normal double: integer bit set, the 11 bits below double's
        // significand clear, the exponent within double's.
        constexpr int Lo = ExpBias - 1022, Hi = ExpBias + 1023;
        if ((sig & IntBit) == 0 || (sig & 0x7FF) != 0 || exp < Lo || exp > Hi) return false;
        const uint64_t bits = sign | (static_cast<uint64_t>(exp - ExpBias + 1023) << 52) | ((sig >> 11) & ((1ull << 52) - 1));
        ext[k] = std::bit_cast<double>(bits);
    }
    out.DtTm = GetDouble(bytes + OffDtTm);
    out.Tm = GetDouble(bytes + OffTm);
    for (size_t k = 0; k < std::size(ExtFields); ++k) out.*ExtFields[k].member = ext[k];
    out.UseSat = GetI32(bytes + OffUseSat);
    out.RawIdx = -1;
    return true;
}

void EncodeLapElm(const TLapElmRec& rec, uint8_t* bytes) {
    std::memset(bytes, 0, TLapElmRec::Size);
    PutDouble(bytes + OffDtTm, rec.DtTm);
    PutDouble(bytes + OffTm, rec.Tm);
    for (const ExtField& f : ExtFields) EncodeDoubleExtended(rec.*f.member, bytes + f.offset);
    PutI32(bytes + OffUseSat, rec.UseSat);
}

void WriteLapElm(const TLapElmRec& rec, const uint8_t* raw, uint8_t* bytes) {
    if (!raw) {
        EncodeLapElm(rec, bytes);
        return;
    }
    // Start from the bytes read and touch only the fields that changed, so an
    // unedited record goes back byte for byte (reserved bytes, odd encodings,
    // the bits below double precision).
    std::memcpy(bytes, raw, TLapElmRec::Size);
    if (std::bit_cast<uint64_t>(rec.DtTm) != GetU64(raw + OffDtTm)) PutDouble(bytes + OffDtTm, rec.DtTm);
    if (std::bit_cast<uint64_t>(rec.Tm) != GetU64(raw + OffTm)) PutDouble(bytes + OffTm, rec.Tm);
    for (const ExtField& f : ExtFields) {
        // Unchanged when the value is the double the bytes decode to. Compared
        // as encodings: NaN-safe, and tells 0 from -0.
        const double v = rec.*f.member;
        const double old = static_cast<double>(DecodeExtended(raw + f.offset));
        if (std::bit_cast<uint64_t>(v) == std::bit_cast<uint64_t>(old)) continue;
        uint8_t now[10], was[10];
        EncodeExtended(v, now);
        EncodeExtended(old, was);
        if (std::memcmp(now, was, 10) != 0) std::memcpy(bytes + f.offset, now, 10);
    }
    if (rec.UseSat != GetI32(raw + OffUseSat)) PutI32(bytes + OffUseSat, rec.UseSat);
}

} // namespace vel
