#pragma once
// Display slots and the comparison of the shown laps: the ranges every pane
// scales to, the offsets of the compared laps, the time-difference curve and
// the values of each shown lap at the cursor.
#include <array>
#include <cstdint>
#include <QVector>

namespace vel {

constexpr int DispSlotNum = 4;   // slot 0 the reference lap, 1 to 3 compared laps
constexpr int SectArrNum = 5;    // four sector lines make at most five sectors

// One display slot with the sector results of its lap. The arrays are
// indexed by sector, except SectStaDist, SectStaSec and SectStaSpd, whose
// element j is the passing of line j (the end of sector j).
struct TDispSlotRec {
    bool Active = false;
    int32_t LapIdx = -1;             // loaded lap shown; -1 when the slot is empty
    std::array<long double, SectArrNum> SectTm{};
    std::array<long double, SectArrNum> SectStaDist{};
    std::array<long double, SectArrNum> SectLen{};
    std::array<long double, SectArrNum> SectStaSec{};
    std::array<long double, SectArrNum> SectStaSpd{};
    std::array<long double, SectArrNum> SectAveSpd{};
    std::array<long double, SectArrNum> SectMaxSpd{};
    std::array<long double, SectArrNum> SectMinSpd{};
    std::array<long double, SectArrNum> SectPeakAng{};
    std::array<long double, SectArrNum> SectAveAng{};
    std::array<long double, SectArrNum> SectDevAng{};
    std::array<long double, SectArrNum> SectMaxAng{};
    std::array<long double, SectArrNum> SectMinAng{};
    std::array<long double, SectArrNum> SectAngRate{};
    std::array<int32_t, SectArrNum> SectJudge{};
    std::array<int32_t, SectArrNum> SectMaxAngIdx{};
    std::array<int32_t, SectArrNum> SectMinAngIdx{};
    std::array<long double, SectArrNum> SectScore{};
    long double TotalScore = 0;
};

// The values of one shown lap at the cursor. The Dist... entries (other than
// Dist itself) are read at the reference lap's cursor distance.
struct TCurValRec {
    long double Sec = 0;
    long double Ido = 0, Kdo = 0;
    long double Spd = 0;
    long double Dist = 0;
    long double Dir = 0;
    long double GpsDir = 0;
    long double DistSpd = 0;
    long double r2 = 0, lateG = 0, logiG = 0;
    long double DistR2 = 0, DistLateG = 0, DistLogiG = 0;
    long double r2_3 = 0, lateG3 = 0, logiG3 = 0;
    long double DistR2_3 = 0, DistLateG3 = 0, DistLogiG3 = 0;
    long double DistDir = 0, DistGpsDir = 0;
    long double DAngle = 0;
    long double DistDAngle = 0;
};

struct Comparison {
    std::array<TDispSlotRec, DispSlotNum> DispSlot{};

    // Display ranges; see ResetDispRanges for the values after a reset.
    long double DispIdoMin = 90, DispIdoMax = -90;
    long double DispKdoMin = 180, DispKdoMax = -180;
    long double DispMinSpd = 9999.9L, DispMaxSpd = 0;
    long double DispElvLo = 99999, DispElvHi = -999;
    long double DispLapDist = 0;     // km
    long double DispLapSec = 0;      // s; also the end of playback
    long double RefIdo = 0;          // latitude of the reference lap's first sample

    std::array<long double, DispSlotNum> TmOfs{};    // s; slot 0's always 0
    std::array<long double, DispSlotNum> DistOfs{};  // km; slot 0's always 0
    int32_t SelSect = 0;             // alignment line, 1-based; 0 none

    // Time difference of lap 1 against lap 0 per sample of lap 0, seconds.
    QVector<long double> DeltaTm;
    long double DeltaTmMin = 0, DeltaTmMax = 0;
    long double CurDeltaTm = 0;

    std::array<TCurValRec, DispSlotNum> CurVal{};
    long double PlayTm = 0;          // cursor, seconds into the reference lap
    long double CurIdo = 0, CurKdo = 0;

    // Whether the samples of slot k's lap rise in Sec and in Dist, checked
    // when the lap is put into the slot, so cursor moves may bisect.
    std::array<bool, DispSlotNum> SecRises{};
    std::array<bool, DispSlotNum> DistRises{};
};

} // namespace vel
