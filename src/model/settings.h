#pragma once
// User settings: kept in memory for the run, stored as nine positional lines
// in "velmaris.ini" in the shared folder.
#include <cstdint>
#include <QString>
#include <QStringList>

namespace vel {

struct Settings {
    long double SectMt = 15.0L;      // sector gate half-length, m
    long double MinLapDist = 0.2L;   // shortest lap kept by cutting, km
    long double MinLapTime = 8.0L;   // shortest lap time kept by cutting, s
    bool SpdKmh = true;              // always km/h: no unit choice is offered
    bool DistKm = true;              // always km
    bool DiffTmOn = true;            // PanelDiffTm lowered
    bool AltitudeOn = false;         // PanelAltitude lowered
    bool DriftOn = true;             // PanelDrift lowered
    int32_t MinUseSat = 4;           // minimum satellites in use
};

constexpr const char* SettingsFileName = "velmaris.ini";

// The nine lines as written at shut-down.
QStringList SettingsToLines(const Settings& s);
// Applies the lines read from the file onto s (missing lines leave values
// as they are; bad or out-of-range values take that line's default).
void ApplySettingsLines(Settings& s, const QStringList& lines);
// The default file's nine lines.
QStringList DefaultSettingsLines();

// A settings file left in the user folder replaces the shared one, once.
// false with error text when the copy fails (anything but a regular file
// there is refused unopened: a pipe would block the start).
bool MoveUserSettings(const QString& userDir, const QString& shareDir, QString* error);
// Reads shareDir + "velmaris.ini" into s; a missing or empty file is replaced
// by the default file and s is left as it is. false with error text when the
// default file can't be written, or when the file is there but can't be read
// (not a regular file, no permission, a read error): then *unreadable is set,
// the file is left as it is, and shut-down must not write over it.
bool ReadSettingsFile(Settings& s, const QString& shareDir, QString* error, bool* unreadable = nullptr);
// Writes the nine lines, replacing the file atomically.
bool WriteSettingsFile(const Settings& s, const QString& shareDir, QString* error);

// The settings dialog's three fields.
struct SetupFields {
    QString SectMt;       // metres, "%.1f"
    QString MinLapDist;   // whole metres
    QString MinLapTime;   // seconds, "%.1f"
};
SetupFields SetupFieldsFrom(const Settings& s);
// true when all three fields are valid (the dialog may close with OK).
bool SetupFieldsValid(const SetupFields& f);
// Takes valid fields into s.
void ApplySetupFields(Settings& s, const SetupFields& f);

} // namespace vel
