#pragma once
// The control-line dialog's logic without its window: control-line files
// (".cln"), the selection's first and last samples, the search position,
// the mark text, the trace shift and the selection as one run file.
#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include "common/records.h"
#include "model/line_choice.h"
#include "model/log_store.h"

namespace vel {

inline const QString ClnExt = QStringLiteral(".cln");
inline const QString ClnFilter = QStringLiteral("CLN files (*.cln)");
inline const QString ClnOpenTitle = QStringLiteral("コントロールラインを開く");
inline const QString ClnSaveTitle = QStringLiteral("コントロールラインに名前をつけて保存");
inline const QString RunSaveTitle = QStringLiteral("表示ログ全体を走行データとして保存");
inline const QString RunFileFilter = QStringLiteral("Velmaris Record files (*.dtb)");
inline const QString DtbExt = QStringLiteral(".dtb");
inline const QString NoLineQuestion = QStringLiteral(
    "コントロールライン、スタート／フィニッシュが設定されていません。\rコントロールラインを検索しますか？");

// A control-line file applied to the lines. Kind 1 (first line "1", five
// lines or more) sets the control line; kind 2 (first line "2", nine lines
// or more) the start and finish lines. Any other file changes nothing.
struct ClnApplied {
    bool changed = false;
    bool controlLine = false;          // kind 1: the control-line tool goes down
    std::optional<bool> rallyBox;      // the rally box's new tick, none: left alone
};

// Applies the lines of a ".cln" file. byLoad: the load button's rules (a
// kind-2 file of ten lines decides the rally start); otherwise the search's
// (a kind-2 file leaves it). Kind 1 always clears the rally start.
// RallySta follows rallyBox.
ClnApplied ApplyClnLines(LineChoice& lines, const QStringList& file, bool byLoad);

// Whether the lines can be saved: a control line, or a start and a finish line.
bool CanSaveCln(const LineChoice& lines);
// The file's lines: kind 1 with a control line set, else kind 2 with the
// rally line; numbers "%.6f" in the C locale.
QStringList ClnFileLines(const LineChoice& lines);

// The selection: F, the first active sample, and L, the last active sample
// at or after it. Without an active sample F = LogItemNum - 1 and L = F;
// an empty store gives -1 for both.
struct SelRange {
    int32_t first = -1;
    int32_t last = -1;
    bool Single() const { return first == last; }
};
SelRange ActiveRange(const LogStore& store);

// Where the circuit search looks: the first sample of L's block within the
// samples F to L, F and L counted over samples that are active in an active
// block. None when that leaves a single sample (or none).
struct SearchPos {
    long double ido = 0, kdo = 0;
};
std::optional<SearchPos> CircuitSearchPos(const LogStore& store);

// The mark dialog's text "latitude,longitude": exactly two comma fields.
bool ParseMarkText(const QString& text, long double& ido, long double& kdo);

// Moves every sample of the store, active or not.
void ShiftLogItems(LogStore& store, long double dIdo, long double dKdo);

// One record per active sample from F to L: times from F, heading turned
// by 180 degrees, running distance in km. Empty when F = L.
QVector<TLapElmRec> SelectionRunRecords(const LogStore& store);
// The same as the run file's bytes.
QByteArray SelectionRunBytes(const LogStore& store);

} // namespace vel
