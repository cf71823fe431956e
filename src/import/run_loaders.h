#pragma once
// Run files into the lap list: each loader turns one file into one row of
// the lap list with its working file, whose samples it hands to ranking.
// Headless: the caller shows Error.
#include <cstdint>
#include <QString>
#include "model/services.h"
#include "model/session.h"

namespace vel {

// Larger runs are refused rather than read into memory: at most a 1 GiB
// run file, and no more samples than such a file holds.
constexpr int64_t MaxRunFileSize = int64_t{1} << 30;
constexpr int64_t MaxRunRecords = MaxRunFileSize / 128;

struct LoadResult {
    bool RowAdded = false;
    QString Error;   // for the error box; empty when nothing is to be shown
};

// A run file whose records are not log data (a value that is no number, or
// a date-time outside 1980 to 2100) is refused whole with this text.
inline const QString RunNoLogData = QStringLiteral("有効なログデータがありません。");

// Lap CSV (".csvv").
LoadResult LoadLapFileToGrig(const QString& fn, Session& session, RankingService* ranking = nullptr);
// Run file (".dtb"): the records go to the working file unchanged.
LoadResult LoadLapFileToGrigBin(const QString& fn, Session& session, RankingService* ranking = nullptr);
// BLE log (".bon") as one run.
LoadResult LoadLapFileToGrigBon(const QString& fn, Session& session, RankingService* ranking = nullptr);
// BLE-Z log (".bonz") as one run, headings corrected.
LoadResult LoadLapFileToGrigBonZ(const QString& fn, Session& session, RankingService* ranking = nullptr);
// ".bond": accepted and ignored.
LoadResult LoadLapFileToGrigBonD(const QString& fn, Session& session, RankingService* ranking = nullptr);

} // namespace vel
