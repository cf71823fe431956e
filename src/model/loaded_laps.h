#pragma once
// Loaded laps: a lap working file read into memory with its statistics, and
// the work loads that judge drift and time sectors one lap-list row at a time.
#include <cstdint>
#include <QString>
#include <QVector>
#include "common/records.h"

namespace vel {

// Turning radius and G of one sample.
struct TGCalRec {
    double spd2 = 0;     // the sample's speed, km/h
    int32_t rl = 0;           // +1 left-hand turn, -1 right-hand, 0 at the ends
    double X = 0;        // east offset from sample 0, m
    double Y = 0;        // north offset from sample 0, m
    double r = 0;        // raw turning radius, m
    double r1 = 0;       // median-filtered radius, m
    double r2 = 0;       // smoothed radius, m
    double lateG = 0;    // lateral G
    double logiG = 0;    // longitudinal G
    double r2_3 = 0;     // r2 averaged over three samples
    double lateG3 = 0;
    double logiG3 = 0;
    double XYG = 0;      // combined G
};

// Course from positions and drift angle of one sample.
struct TDriftRec {
    double GpsDir = 0;   // course over ground, degrees 0 to 360
    double DAngle = 0;   // smoothed drift angle, degrees -180 to 180
};

// One lap read from its working file. Its figures are doubles, as are its
// records'; 80-bit reals exist only in the files. Raw is the side table of
// the bytes the records were read from, for a byte-exact write-back.
struct TLapDtRec {
    QString DtName;                 // data number of the lap-list row ("0003")
    int32_t ElmNum = 0;             // number of samples
    QVector<TLapElmRec> Elm;
    LapRawTable Raw;                // bytes of the records that need them (RawIdx indexes it)
    double LapTim = 0;              // Tm of the last sample, days
    double LapDist = 0;        // Dist of the last sample, km
    double MaxSpd = 0;
    double MinSpd = 9999.9;
    double AveSpd = 0;
    double IdoMin = 90, IdoMax = -90;
    double KdoMin = 180, KdoMax = -180;
    double ElvLo = 9999.9, ElvHi = -999.9;
    QVector<TGCalRec> GElm;
    bool driftAct = false;
    QVector<TDriftRec> DElm;
};

// The shown laps; lap k lives in display slot k.
struct LoadedLaps {
    static constexpr int MaxLaps = 4;
    QVector<TLapDtRec> LapDt;
    int LapDtNum = 0;
};

// Statistics (lap time, distance, speeds, bounds) back to their starting values.
void ResetLapStats(TLapDtRec& lap);

// Reads working file fn as a lap to show: samples, statistics, and headings
// worked out from positions where the file has no real heading. False, with
// lap unchanged, when the file is missing or not a whole number of records
// (error left empty: nothing to show), or on a read error or a file without
// samples (error says why).
bool ReadLapFileBin(const QString& fn, TLapDtRec& lap, QString* error);

// Reads fn into workLap and judges its drift: drift when it holds a drift
// run, topAngle the smoothed drift angle of largest magnitude. drift and
// topAngle are false and 0 whenever nothing is judged. False, with workLap
// unchanged, when the file is missing, not a whole number of records, empty
// (error left empty) or unreadable (error says why).
bool LoadLapFileBinForDAngle(const QString& fn, TLapDtRec& workLap, bool& drift,
                             long double& topAngle, QString* error = nullptr);
// The same judgement of samples already in memory (those a working file
// holds, as they read back from it).
void JudgeDriftInto(QVector<TLapElmRec> recs, TLapDtRec& workLap, bool& drift, long double& topAngle);

// Reads the samples of fn into workLap for sector timing, statistics reset.
bool LoadLapFileBinForSects(const QString& fn, TLapDtRec& workLap, QString* error = nullptr);

} // namespace vel
