#pragma once
// The lap list's ranking and its sector and drift columns: best lap times
// and speeds, sector times (columns 8 to 12) and drift scores (13 to 18) of
// every row from its working file, and the colours its cells are painted in.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <QHash>
#include <QString>
#include <QVector>
#include "model/colors.h"
#include "model/comparison.h"
#include "model/lap_list.h"
#include "model/loaded_laps.h"
#include "model/sector_lines.h"
#include "model/services.h"
#include "model/session.h"

namespace vel {

// Colours as 0x00BBGGRR.
constexpr std::array<uint32_t, 3> RankColor = {0xFFC0FF, 0x80FFFF, 0xC0FFC0};   // 1st, 2nd, 3rd
constexpr uint32_t GroupShade = 0xE0E0E0;      // rows of an odd group number
constexpr uint32_t SectBlockShade = 0xFFFFE8;  // alternate sector blocks of the tables
constexpr uint32_t ColorWhite = 0xFFFFFF;
constexpr uint32_t ColorBlack = 0x000000;

// Lap-list columns of this file.
constexpr int TimeCol = 4, SpdCol = 5;
constexpr int FirstSectTmCol = 8;    // 8 to 12: sector times of sectors 0 to 4
constexpr int DriftCol = 13;         // the lap's top angle and drift score
constexpr int FirstSectDrCol = 14;   // 14 to 18: peak angle and score per sector
constexpr int GroupCol = 19;

// A row's figures from its working file, worked out once with the sector
// lines they hold: a fill works them out again only for other lines or a
// file written anew.
struct RowFigures {
    SectorLines lines;
    std::array<long double, SectArrNum> SectTm{};
    bool drift = false;
    long double top = 0;                         // drift angle of largest magnitude
    long double TotalScore = 0;
    std::array<long double, SectArrNum> SectPeakAng{};
    std::array<long double, SectArrNum> SectScore{};
};

using RankIdx = std::array<int32_t, 3>;   // rows (lap-list row - 1) of 1st, 2nd, 3rd; -1 none

struct LapRankState {
    RankIdx BestTmIdx{-1, -1, -1};
    RankIdx BestSpdIdx{-1, -1, -1};
    std::array<std::array<int32_t, 5>, 3> BestSectTmIdx{};   // [place][sector column]
    RankIdx BestDrIdx{-1, -1, -1};
    std::array<std::array<int32_t, 5>, 3> BestSectDrIdx{};   // [place][column 14 + i]
    // What the rows' cells show, per row at the last fill: sector times in
    // milliseconds (-1 for an empty cell) and the drift scores of columns
    // 13 to 18 in tenths (0 when the cell shows none).
    QVector<std::array<long long, 5>> SectMs;
    QVector<std::array<long long, 6>> DriftTenths;
    // Headers of columns 8 to 18.
    std::array<QString, 11> Headers{"セクタ", "", "", "", "", "ドリフト(スコア)", "セクタ(スコア)", "", "", "", ""};
    // The rows' figures by working file, so that a fill reads only the files
    // of rows it has not seen, or all again when the sector lines change.
    QHash<QString, std::shared_ptr<const RowFigures>> Figures;
    // Samples an import has just written, by working file, until the next
    // fill works the rows out from them instead of reading the files back.
    QHash<QString, QVector<TLapElmRec>> Written;

    LapRankState();
};

// The decimal number of the digits of text, every other character skipped
// ("1:23.456" gives 123456); it stops growing at the largest 64-bit value.
long long DigitsToInt(const QString& text);

// Sector-time cell: empty for 0, "ss.zzz" below a minute, else as lap times.
QString SectTimeCellText(long double seconds);
// Milliseconds of a sector time as ranked; -1 for 0 or a value that is no time.
long long SectTimeMs(long double seconds);
// Tenths of a drift score; 0 unless it is a number above 0.
long long ScoreTenths(long double score);
// A drift cell: the angle rounded to an integer, then the score of `tenths`
// as " (%5.1f)" (width 5, column 13) or " (%4.1f)" (width 4, columns 14 to
// 18), or blanks of that width between the parentheses when it is not above 0.
QString DriftCellText(long double angle, long long tenths, int width);

// Header text of lap-list column col (row 0) with the current sector columns.
QString LapListHeader(const LapRankState& st, int col);

// 1st to 3rd lap times (LapStrLst Sec, shortest) and top speeds (MaxSpd,
// highest; 0 never ranks); equal values rank in row order.
void SetBestLapRank(const LapList& list, LapRankState& st);
// 1st to 3rd of each sector-time column by milliseconds, shortest first;
// empty cells and times not above 0 never rank.
void SetBestSectRank(const LapList& list, LapRankState& st);
// 1st to 3rd of columns 13 to 18 by score; a score of 0 never ranks.
void SetBestDriftRank(const LapList& list, LapRankState& st);

// Takes the samples just written to a new row's working file; the row's
// figures kept from before (a file of that name) are let go.
void KeepWritten(LapRankState& st, const QString& file, const QVector<TLapElmRec>& samples);
// Lets go of the samples and figures kept for working files no row names
// (rows cleared), so that a row added later under the same name never
// finds them.
void ForgetGoneRows(const LapList& list, const QString& tempDir, LapRankState& st);

// Headers and cells of columns 8 to 12 from each row's figures (worked out
// from its working file in tempDir, or from the samples kept for it, where
// none are kept for these lines),
// then the sector ranking. Rows are filled up to the first without
// a data number, where it stops without ranking. A row whose file can't be
// read gets empty cells; the first read error is returned. The files are
// read and timed on a few threads at once; the cells are written after.
QString SetSectTmList(LapList& list, const QString& tempDir, const SectorLines& lines, LapRankState& st);
// Headers and cells of columns 13 to 18, then the drift ranking; rows as above
// (a row whose file can't be read shows no drift).
QString SetDriftAngleList(LapList& list, const QString& tempDir, const SectorLines& lines, LapRankState& st);

// The colours a lap-list cell is painted in (grid row 1 = first data row):
// the font in the slot colour of the first loaded lap of the row's data
// number, group shading, and the ranking colours of columns 4, 5 and 8 to 18.
struct CellColours {
    uint32_t brush = ColorWhite;
    uint32_t font = ColorBlack;
};
CellColours LapCellColours(const LapList& list, const LoadedLaps& laps, const LapRankState& st, int row, int col);
// The ranking place (1 to 3) of a cell, 0 for none.
int LapCellRank(const LapRankState& st, int row, int col);

// The ranking service of the program over its session and sector lines.
class LapRanking : public RankingService {
public:
    LapRanking(Session& session, const SectorLines& lines) : session_(session), lines_(lines) {}
    // Also lets go of what is kept for rows no longer in the list.
    void SetBestLapRank() override;
    void SetSectTmList() override;
    void SetDriftAngleList() override;
    void RowWritten(const QString& file, const QVector<TLapElmRec>& samples) override;
    void SetBestSectRank();
    void SetBestDriftRank();

    const LapRankState& State() const { return state_; }

    // A working file could not be read (shown in the error box).
    std::function<void(const QString&)> onError;
    // Cells, headers or ranking changed: the lap list repaints.
    std::function<void()> onChanged;

private:
    void Changed();
    void Report(const QString& error);

    Session& session_;
    const SectorLines& lines_;
    LapRankState state_;
};

} // namespace vel
