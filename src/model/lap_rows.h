#pragma once
// Adding a run to the lap list: its working file first, then its row.
#include <cstdint>
#include <optional>
#include <QString>
#include <QVector>
#include "common/records.h"
#include "model/services.h"
#include "model/session.h"

namespace vel {

// The file name without folder and without the text from its last dot on.
QString RunNameOf(const QString& path);

// Writes the samples as the working file of the next data number, and only
// when that succeeded appends the row: columns 0 (name) to 6, column 7 when
// given, column 19 (grpNo), and the row's ranking figures. The caller
// advances GrpNo as its rule says. false with error text, and the list
// unchanged, when there is no sample or the write fails. raw: the side table
// the samples were read with, if any. ranking: handed the samples with the
// file they were written to, so that it works the new row out from them.
bool AddLapRow(Session& session, const QVector<TLapElmRec>& samples, const QString& name,
               const std::optional<QString>& column7, int32_t grpNo, QString* error = nullptr,
               const LapRawTable* raw = nullptr, RankingService* ranking = nullptr);

} // namespace vel
