#pragma once
// The run formats the "データ" tab's load and drop read into the lap list:
// one row per extension with its reader, whether the open dialog's filter
// lists it and whether a dropped file of it is taken.
#include <QString>
#include <QVector>
#include "import/run_loaders.h"

namespace vel {

enum class RunFileKind { Skip, Motec, Bon, BonD, BonZ, LapCsv, Dtb };

using RunReader = LoadResult (*)(const QString& fn, Session& session, RankingService* ranking);

struct RunFormat {
    QString ext;          // with its dot, lower case: ".dtb"
    RunFileKind kind;
    RunReader reader;
    bool listed;          // in the open dialog's filter
    bool dropped;         // taken when dropped on the window
};

// In the order of the open dialog's filter.
const QVector<RunFormat>& RunFormats();
// The reader of kind; none for Skip.
RunReader RunReaderOf(RunFileKind kind);

// Reader of a file chosen in the load dialog, by extension without regard
// to case; an unknown extension is skipped.
RunFileKind LoadDispatch(const QString& path);
// Reader of a dropped file: only ".dtb", ".bon" and ".bond" are taken.
RunFileKind DropDispatch(const QString& path);

// The open dialog's filter: "Velmaris Data files (*.dtb *.bon *.bonz)".
QString RunOpenFilter();

} // namespace vel
