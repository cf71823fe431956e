#pragma once
// The lap list: one row per run or cut lap, each with a working file.
#include <array>
#include <cstdint>
#include <memory>
#include <QString>
#include <QVector>
#include "common/records.h"

namespace vel {

constexpr int LapListColumns = 20;

// What a row's sector and drift columns are worked out from (the ranking's).
struct RowFigures;

struct LapRow {
    std::array<QString, LapListColumns> Cells;
    // Kept with the row so that a fill reads only the working files of rows
    // it has not seen, or all again when the sector lines change.
    std::shared_ptr<const RowFigures> Figures;
    // The samples just written to WrittenFile, kept until the ranking has
    // worked the figures out from them, so that it need not read back every
    // file an import has just written.
    QVector<TLapElmRec> Written;
    QString WrittenFile;
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
