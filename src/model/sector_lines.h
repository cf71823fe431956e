#pragma once
// The sector lines across the course and the sector file (".sci") that
// keeps them: one text line per sector line, "ido1,kdo1,ido2,kdo2,passNo".
#include <array>
#include <cstdint>
#include <QString>
#include <QStringList>

namespace vel {

constexpr int MaxSectLines = 4;   // four lines make at most five sectors

// One sector line: its two end points (degrees) and which crossing of it,
// counted from the lap's start, counts as its passing (1 = the first).
struct TSectRec {
    long double Kdo1 = 0;
    long double Kdo2 = 0;
    long double Ido1 = 0;
    long double Ido2 = 0;
    int32_t PassNo = 1;
};

// Lines 1 to SectNum are the first SectNum entries of Sect; the entries
// behind them are never read.
struct SectorLines {
    std::array<TSectRec, MaxSectLines> Sect{};
    int32_t SectNum = 0;
    // The line last picked for adjustment (0-based), -1 none; a line set at
    // the cursor clears it.
    int32_t EdSectSel = -1;

    // SectNum within 0 to 4, whatever was stored in it.
    int Count() const { return SectNum < 0 ? 0 : (SectNum > MaxSectLines ? MaxSectLines : SectNum); }
};

// The lines of a sector file read into a table: lines of fewer than four
// comma-separated fields are skipped, numbers that do not parse read 0, a
// pass number that is missing, not a whole number or below 1 reads 1, and
// reading stops at the fourth line taken.
SectorLines ParseSectLines(const QStringList& lines);
// The table's lines 1 to SectNum as sector-file lines, six decimals.
QStringList SectFileLines(const SectorLines& lines);

// Reads a sector file; false with the reason when it can't be read, out
// then unchanged.
bool ReadSectFile(const QString& path, SectorLines& out, QString* error = nullptr);
// Writes lines 1 to SectNum, replacing the file atomically.
// Reads path into lines and clears the alignment choice selSect; an
// unreadable file leaves both as they were and says why in error.
bool LoadSectFile(const QString& path, SectorLines& lines, int& selSect, QString* error);

bool WriteSectFile(const QString& path, const SectorLines& lines, QString* error = nullptr);

} // namespace vel
