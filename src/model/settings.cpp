#include "model/settings.h"

#include <cmath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "common/parsing.h"
#include "common/textfile.h"

namespace vel {

namespace {

bool InRange(long double v, long double lo, long double hi) { return v >= lo && v <= hi; }

QString SwitchText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

// The file has nine positional lines.
constexpr qsizetype SettingsLineCount = 9;

QString NotRegularFileText() { return QStringLiteral("通常のファイルではありません。"); }

} // namespace

QStringList SettingsToLines(const Settings& s) {
    return {
        FormatFixed(s.SectMt, 1),
        FormatFixed(s.MinLapDist, 3),
        FormatFixed(s.MinLapTime, 1),
        s.SpdKmh ? "0" : "1",
        s.DistKm ? "0" : "1",
        SwitchText(s.DiffTmOn),
        SwitchText(s.AltitudeOn),
        QString::number(s.MinUseSat),
        SwitchText(s.DriftOn),
    };
}

QStringList DefaultSettingsLines() {
    return {"15.0", "0.2", "8.0", "0", "0", "1", "0", "4", "0"};
}

void ApplySettingsLines(Settings& s, const QStringList& lines) {
    const int n = static_cast<int>(lines.size());
    if (n > 0) {
        const long double v = StrToFloatDef0(lines[0]);
        s.SectMt = InRange(v, 1.0L, 30.0L) ? v : 15.0L;
    }
    if (n > 1) {
        const long double v = StrToFloatDef0(lines[1]);
        s.MinLapDist = InRange(v, 0.001L, 9.999L) ? v : 0.2L;
    }
    if (n > 2) {
        const long double v = StrToFloatDef0(lines[2]);
        s.MinLapTime = InRange(v, 1.0L, 99.9L) ? v : 8.0L;
    }
    // The unit lines exist for older files; the units stay metric.
    if (n > 3) s.SpdKmh = true;
    if (n > 4) s.DistKm = true;
    if (n > 5) s.DiffTmOn = lines[5] == "1";
    if (n > 6) s.AltitudeOn = lines[6] == "1";
    if (n > 7) {
        long long v = 0;
        s.MinUseSat = (StrToIntStrict(lines[7], v) && v >= INT32_MIN && v <= INT32_MAX)
                          ? static_cast<int32_t>(v) : 4;
    }
    if (n > 8) s.DriftOn = lines[8] == "1";
}

bool MoveUserSettings(const QString& userDir, const QString& shareDir, QString* error) {
    const QString user = userDir + SettingsFileName;
    const QFileInfo info(user);
    if (!info.exists()) return true;
    if (!info.isFile()) {
        if (error) *error = NotRegularFileText();
        return false;
    }
    const QString shared = shareDir + SettingsFileName;
    QFile in(user);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error) *error = in.errorString();
        return false;
    }
    const QByteArray bytes = in.readAll();
    // A failed read would replace the shared file with what little was read
    // and then delete the user's copy.
    if (in.error() != QFileDevice::NoError) {
        if (error) *error = in.errorString();
        return false;
    }
    in.close();
    if (!WriteFileAtomic(shared, bytes, error)) return false;
    QFile::remove(user);
    return true;
}

bool ReadSettingsFile(Settings& s, const QString& shareDir, QString* error, bool* unreadable) {
    if (unreadable) *unreadable = false;
    const QString path = shareDir + SettingsFileName;
    const QFileInfo info(path);
    if (!info.exists()) return WriteTextLines(path, DefaultSettingsLines(), error);
    // An unreadable file is reported and kept, not replaced by defaults.
    // A pipe or device is not opened at all: opening a pipe waits for a writer.
    if (!info.isFile()) {
        if (error) *error = NotRegularFileText();
        if (unreadable) *unreadable = true;
        return false;
    }
    QStringList lines;
    // Nothing past the ninth line is read.
    auto take = [&lines](const QString& line) {
        lines << line;
        return lines.size() < SettingsLineCount;
    };
    if (!ReadTextLinesUntil(path, take, error)) {
        if (unreadable) *unreadable = true;
        return false;
    }
    if (lines.isEmpty()) return WriteTextLines(path, DefaultSettingsLines(), error);
    ApplySettingsLines(s, lines);
    return true;
}

bool WriteSettingsFile(const Settings& s, const QString& shareDir, QString* error) {
    return WriteTextLines(shareDir + SettingsFileName, SettingsToLines(s), error);
}

SetupFields SetupFieldsFrom(const Settings& s) {
    // Rounded, not truncated: 0.2 km is stored as 0.19999... and must show 200.
    const long long metres = std::llround(static_cast<double>(s.MinLapDist * 1000.0L));
    return {FormatFixed(s.SectMt, 1), QString::number(metres), FormatFixed(s.MinLapTime, 1)};
}

bool SetupFieldsValid(const SetupFields& f) {
    long long dist = 0;
    if (!StrToIntStrict(f.MinLapDist, dist)) dist = 0;
    return InRange(StrToFloatDef0(f.SectMt), 1.0L, 30.0L) && dist >= 1 && dist <= 9999 &&
           InRange(StrToFloatDef0(f.MinLapTime), 1.0L, 99.9L);
}

void ApplySetupFields(Settings& s, const SetupFields& f) {
    long long dist = 0;
    StrToIntStrict(f.MinLapDist, dist);
    s.SectMt = StrToFloatDef0(f.SectMt);
    s.MinLapDist = static_cast<long double>(dist) / 1000.0L;
    s.MinLapTime = StrToFloatDef0(f.MinLapTime);
}

} // namespace vel
