#pragma once
// The saved-log formats the log open command reads: one row per extension
// with its reader and its dialog filter, and the filters of the log save.
#include <QString>
#include <QStringList>
#include <QVector>
#include "model/log_store.h"
#include "model/status_list.h"

namespace vel {

enum class LogKind { Bin, Binx, Bnx4, Dtb, Bon, Bon4, BonZ, Bnz4 };

using LogReader = bool (*)(const QString& fn, LogStore& store, StatusList& status, QString* error);

struct LogFormat {
    QString ext;         // with its dot, lower case: ".bnx4"
    LogKind kind;
    LogReader reader;    // none for the raw memory images (.bin, .binx, .bnx4)
    QString filter;      // the dialog filter's label that lists the extension
};

// In the order of the open dialog's filters.
const QVector<LogFormat>& LogFormats();
// The format named by path's extension, in any case; none for other files.
const LogFormat* LogFormatOf(const QString& path);

// Name filters of the open and save dialogs.
QStringList LogOpenFilters();
QStringList LogSaveFilters();

} // namespace vel
