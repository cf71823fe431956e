#include "model/sector_lines.h"

#include <limits>
#include "common/parsing.h"
#include "common/textfile.h"

namespace vel {

namespace {

// A pass number below 1 would never be reached, so it counts the first crossing.
int32_t PassNoOf(const QString& field) {
    long long v = 0;
    if (!StrToIntStrict(field, v)) return 1;
    if (v < 1 || v > std::numeric_limits<int32_t>::max()) return 1;
    return static_cast<int32_t>(v);
}

} // namespace

// Takes one line of a sector file when it is a line of four or more fields;
// false once the table is full.
bool TakeSectLine(SectorLines& out, const QString& line) {
    if (out.SectNum >= MaxSectLines) return false;
    QStringList f;
    SplitToList(f, line, u',');
    if (f.size() < 4) return true;
    TSectRec& s = out.Sect[out.SectNum];
    s.Ido1 = StrToFloatDef0(f[0]);
    s.Kdo1 = StrToFloatDef0(f[1]);
    s.Ido2 = StrToFloatDef0(f[2]);
    s.Kdo2 = StrToFloatDef0(f[3]);
    s.PassNo = f.size() >= 5 ? PassNoOf(f[4]) : 1;
    ++out.SectNum;
    return out.SectNum < MaxSectLines;
}

SectorLines ParseSectLines(const QStringList& lines) {
    SectorLines out;
    for (const QString& line : lines)
        if (!TakeSectLine(out, line)) break;
    return out;
}

QStringList SectFileLines(const SectorLines& lines) {
    QStringList out;
    for (int i = 0; i < lines.Count(); ++i) {
        const TSectRec& s = lines.Sect[i];
        out << FormatFixed(s.Ido1, 6) + ',' + FormatFixed(s.Kdo1, 6) + ',' + FormatFixed(s.Ido2, 6) +
                   ',' + FormatFixed(s.Kdo2, 6) + ',' + QString::number(s.PassNo);
    }
    return out;
}

bool ReadSectFile(const QString& path, SectorLines& out, QString* error) {
    // Lines after the fourth accepted one are never read.
    SectorLines read;
    if (!ReadTextLinesUntil(path, [&read](const QString& line) { return TakeSectLine(read, line); }, error))
        return false;
    out = read;
    return true;
}

bool WriteSectFile(const QString& path, const SectorLines& lines, QString* error) {
    return WriteTextLines(path, SectFileLines(lines), error);
}

bool LoadSectFile(const QString& path, SectorLines& lines, int& selSect, QString* error) {
    SectorLines read;
    if (!ReadSectFile(path, read, error)) return false;
    lines.Sect = read.Sect;
    lines.SectNum = read.SectNum;
    selSect = 0;
    return true;
}

} // namespace vel
