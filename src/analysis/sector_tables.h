#pragma once
// The sector table (StringGridSectData: five columns per sector, rows for
// the four display slots and the ideal lap) and the drift table
// (StringGridDrift: four columns per sector) of the shown laps, as texts
// with the colours their cells are painted in.
#include <cstdint>
#include <QStringList>
#include <QVector>
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/sector_lines.h"

namespace vel {

constexpr int SectGridCols = 25, SectGridRows = 6;    // row 0 headers, 1 to 4 slots, 5 the ideal lap
constexpr int DriftGridCols = 20, DriftGridRows = 5;  // row 0 headers, 1 to 4 slots
constexpr int IdealRow = 5;

struct SectTables {
    QVector<QStringList> sect;    // SectGridRows rows of SectGridCols cells
    QVector<QStringList> drift;   // DriftGridRows rows of DriftGridCols cells
};

// Both tables from the display slots and the sector lines; every cell empty
// without a line. The ideal lap takes each sector's shortest time above 0
// among the shown laps (the lower slot on a tie, its cell marked "*"); a
// sector no shown lap completed leaves its cell and the sum empty.
SectTables SetSectGrid(const SectorLines& lines, const LoadedLaps& laps, const Comparison& cmp);

// How a table cell is painted; header cells (row 0) take the button face.
struct GridCellLook {
    bool header = false;
    uint32_t brush = 0xFFFFFF;   // 0x00BBGGRR
    uint32_t font = 0x000000;
};
GridCellLook SectCellLook(int sectNum, int row, int col);
GridCellLook DriftCellLook(int sectNum, int row, int col);

// A value rounded to the nearest tenth (a half to the even tenth) as "%.1f".
QString TenthText(long double v);

} // namespace vel
