#pragma once
// The lap list: one row per run or cut lap, each with a working file.
#include <array>
#include <cstdint>
#include <QString>
#include <QVector>
#include "common/records.h"

namespace vel {

constexpr int LapListColumns = 20;

struct LapRow {
    std::array<QString, LapListColumns> Cells;
};

struct LapList {
    QVector<LapRow> Rows;               // data rows; grid row r is Rows[r - 1]
    QVector<TLapStrLstRec> LapStrLst;   // parallel to Rows
    int32_t GrpNo = 0;                  // group number of the next run

    int32_t LapStrLstNum() const { return static_cast<int32_t>(Rows.size()); }
};

// Header texts of the lap list's 20 columns (row 0).
const std::array<QString, LapListColumns>& LapListHeaders();
// Column widths in pixels (design widths of columns 1 to 5, the rest set at start-up).
const std::array<int, LapListColumns>& LapListWidths();

} // namespace vel
