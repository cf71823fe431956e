#pragma once
namespace vel {
// Time-zone bias in minutes (local = UTC - bias) of the system time zone's
// standard offset, without any daylight term. UTC+9 gives -540.
int TimeZoneBiasMinutes();
// 25569 - bias/1440: the local date-time of the Unix epoch.
double LocalEpochFromBias(int biasMinutes);
} // namespace vel
