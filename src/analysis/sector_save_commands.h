#pragma once
// One sector of a shown lap saved as a run file: the samples between its two
// line passings, with a record interpolated at each passing, time and
// distance counted again from the sector's start. The save starts from a
// double click on the sector table (five columns per sector) or the drift
// table (four columns per sector).
#include <functional>
#include <QString>
#include <QStringList>
#include <QVector>
#include "common/records.h"
#include "model/comparison.h"
#include "model/loaded_laps.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

inline const QString SectRunSaveTitle = QStringLiteral("セクタを走行データとして保存");
inline const QString SectRunFilter = QStringLiteral("Velmaris Data files (*.dtb)");
inline const QString CsvSectSaveRefused =
    QStringLiteral("CSVファイルデータを\r走行データとして出力することはできません。");

enum class SectGrid { Sect, Drift };

// Sector of a table column: column div 5 in the sector table, div 4 in the
// drift table; -1 for a column outside the table.
int SectorOfColumn(SectGrid grid, int col);

// The proposed file name: data number + "_Sector" + (sector + 1) + ".dtb".
QString SectorRunName(const QString& dtName, int sector);

// The records of sector s of lap, whose passings the slot holds (sector
// timing of the same lap over sectNum lines). Sector 0 runs from the first
// sample unchanged; later sectors start with a record at the passing whose
// Tm, Sec and Dist are 0, the others shifted by the passing's values. A
// passing between two samples gets a record interpolated there; a passing
// before the first sample takes the first sample as it stands, rebased.
// Empty when the sector lies beyond the samples or has no length.
QVector<TLapElmRec> SectorRecords(const TLapDtRec& lap, const TDispSlotRec& slot, int s, int sectNum);

enum class SectSaveOutcome {
    Nothing,     // a header or empty cell, a slot without lap, a sector not timed
    Refused,     // the lap came from a MoTeC file (message shown)
    Cancelled,   // dialog or overwrite question answered no
    Empty,       // no record lies in the sector: nothing written
    Written,
    Failed,      // the write failed (error shown), an existing file left whole
};

class SectorSaveCommands {
public:
    SectorSaveCommands(Session& session, Prompts& prompts) : session_(session), prompts_(prompts) {}

    // Double clicks on cell (row, col) of the tables, whose texts are cells
    // (row 0 the header, rows 1 to 4 the display slots).
    SectSaveOutcome StringGridSectDataDblClick(int row, int col, const QVector<QStringList>& cells);
    SectSaveOutcome StringGridDriftDblClick(int row, int col, const QVector<QStringList>& cells);

    // The file last written.
    const QString& LastTarget() const { return lastTarget_; }

private:
    SectSaveOutcome Save(SectGrid grid, int row, int col, const QVector<QStringList>& cells);

    Session& session_;
    Prompts& prompts_;
    QString lastTarget_;
};

} // namespace vel
