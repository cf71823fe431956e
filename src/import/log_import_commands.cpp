#include "import/log_import_commands.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <QFile>
#include <QFileInfo>
#include "common/datetime.h"
#include "common/parsing.h"
#include "common/textfile.h"
#include "import/log_store_loaders.h"
#include "import/lap_cutting.h"
#include "import/log_formats.h"
#include "import/memory_image.h"
#include "common/file_names.h"

namespace vel {

namespace {

bool RawSizeFits(LogKind k, int64_t size) {
    switch (k) {
    case LogKind::Bin: return size == BinFileSize;
    case LogKind::Binx: return size % LogSectorSize == 0 && size <= BinxFileMax;
    case LogKind::Bnx4: return size % LogBlockSize == 0 && size <= Bnx4FileMax;
    default: return false;
    }
}

// Runs its action when the scope ends, however it ends.
class AtExit {
public:
    template <typename F>
    explicit AtExit(F f) : f_(std::move(f)) {}
    ~AtExit() { f_(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;
private:
    std::function<void()> f_;
};

QString RecordsLine(int32_t n) { return QStringLiteral("%1 records").arg(n); }

} // namespace

QString LogNameLabel(const QString& name) {
    // 20 bytes of the Japanese ANSI code page the name had on its first platform.
    return LeftCp932Bytes(name, 20);
}

int64_t Qk4SaveBytes(int32_t used) {
    const int64_t u = std::max<int64_t>(used, 0);
    return std::min<int64_t>((u + LogBlockSize - 1) / LogBlockSize * LogBlockSize, Bnx4FileMax);
}

int64_t OlderSaveBytes(int32_t used) {
    const int64_t u = std::max<int64_t>(used, 0);
    return std::min<int64_t>((u / LogSectorSize + 1) * LogSectorSize, BinxFileMax);
}

double LogImportCommands::Now() const {
    return nowLocal ? nowLocal() : LocalNow(session_.LocalEpoch);
}

void LogImportCommands::Busy(bool on) const {
    if (onBusy) onBusy(on);
}

void LogImportCommands::SpeedButtonLdLogFileClick() {
    QStringList files;
    {
        DialogFlag flag(session_.FileDlgOpen);
        FileDialogSpec dlg;
        dlg.title = LogOpenTitle;
        dlg.folder = session_.folders.RawDir;
        dlg.filters = LogOpenFilters();
        files = prompts_.OpenFiles(dlg);
    }
    if (files.isEmpty() || files.first().isEmpty()) return;
    // The file opens as it is named, whatever the case of its extension.
    const QString path = files.first();
    if (ReadLogFile(path) != ReadResult::Cut) return;
    session_.logStore.LogName = QFileInfo(path).completeBaseName();
    CommonTail(true);
}

LogImportCommands::ReadResult LogImportCommands::ReadLogFile(const QString& path) {
    const LogFormat* format = LogFormatOf(path);
    if (!format) return ReadResult::Stop;
    const LogKind kind = format->kind;
    const QFileInfo info(path);
    if (!info.isFile()) return ReadResult::Stop;
    const bool raw = !format->reader;
    const int64_t size = info.size();
    if (raw && !RawSizeFits(kind, size)) {
        // Refused before anything is touched: the store keeps the last log.
        prompts_.Warn(LogWrongSize);
        return ReadResult::Stop;
    }
    session_.folders.RawDir = FolderOf(path);

    LogStore& st = session_.logStore;
    StatusList& status = session_.statusList;
    QString error;
    bool readOk = true;
    bool formatError = false;
    {
        Busy(true);
        AtExit idle([this] { Busy(false); });
        st.Clear();
        if (raw) {
            readOk = ReadImage(path, size, &error);
            if (readOk && kind == LogKind::Bnx4) {
                DecodeLogImage(st, LogImageLayout::Blocks4K, static_cast<int32_t>(size / LogBlockSize),
                               session_.LocalEpoch, status);
            } else if (readOk) {
                DecodeLogImage(st, LogImageLayout::Sectors64K,
                               static_cast<int32_t>(size / LogSectorSize), session_.LocalEpoch, status);
                formatError = st.LogItemNum == 0 && st.LogFmtErr;
            }
        } else {
            // A file that fits no whole number of records is passed over
            // without a word; only a read error is shown.
            readOk = format->reader(path, st, status, &error) || error.isEmpty();
            if (readOk && (kind == LogKind::Bon4 || kind == LogKind::Bnz4) && st.LogItemNum > 0)
                st.SmoothLogSpd();
        }
    }
    if (!readOk) {
        prompts_.Error(error);
        return ReadResult::Stop;
    }
    if (formatError) {
        prompts_.Warn(LogWrongFormat);
        return ReadResult::Stop;
    }
    status.Add(RecordsLine(st.LogItemNum));
    return st.LogItemNum >= 2 ? ReadResult::Cut : ReadResult::Stop;
}

bool LogImportCommands::ReadImage(const QString& path, int64_t size, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return false;
    }
    // Read straight into the log image; never more than the size that passed
    // the test, even if the file grew. What the file does not fill reads as
    // erased memory.
    CallocArray<uint8_t>& image = session_.logStore.LogDump;
    if (!image.data()) return true;
    const int64_t n = std::clamp<int64_t>(size, 0, image.size);
    char* out = reinterpret_cast<char*>(image.data());
    int64_t got = 0;
    while (got < n) {
        const qint64 r = f.read(out + got, n - got);
        if (r <= 0) break;
        got += r;
    }
    const bool ok = f.error() == QFileDevice::NoError;
    if (!ok) {
        *error = f.errorString();
        got = 0;
    }
    std::memset(out + got, 0xFF, static_cast<size_t>(image.size - got));
    return ok;
}

void LogImportCommands::WMLogLoaded(const LoggerHandover& handover) {
    LogStore& st = session_.logStore;
    StatusList& status = session_.statusList;
    st.Clear();
    // A count that reads negative (a damaged reply) counts as nothing used.
    const int32_t used = std::max<int32_t>(HexToInt(handover.LoggerUsedBytes), 0);
    const QString stamp = FormatDateTime(QStringLiteral("yyyymmddhhnn"), Now());
    if (handover.LoggerRelease.startsWith("QK4,")) {
        // Speeds are smoothed here too, before the dialog sees them.
        DecodeLogImage(st, LogImageLayout::Blocks4K, QK4DownloadBlocks, session_.LocalEpoch, status);
        const double freePercent = 100.0 - used / static_cast<double>(QK4MemoryBytes) * 100.0;
        if (freePercent < 20.0) prompts_.Warn(LogMemoryLow);
        if (st.LogItemNum < 2) {
            prompts_.Inform(LogNoData);
            return;
        }
        if (!SaveDownload(QStringLiteral("QK4_") + stamp, QStringLiteral(".bnx4"), Qk4SaveBytes(used)))
            return;
    } else {
        DecodeLogImage(st, LogImageLayout::Sectors64K, OlderDownloadSectors, session_.LocalEpoch,
                       status);
        status.Add(RecordsLine(st.LogItemNum));
        if (st.LogItemNum < 2) {
            prompts_.Inform(LogNoData);
            return;
        }
        if (st.SatDataLog) prompts_.Warn(LogOddData);
        const QString name = QStringLiteral("GPS3_") + stamp + (st.SatDataLog ? "xx" : "");
        if (!SaveDownload(name, QStringLiteral(".binx"), OlderSaveBytes(used))) return;
    }
    CommonTail(true);
}

bool LogImportCommands::SaveDownload(const QString& defaultName, const QString& ext, int64_t bytes) {
    LogStore& st = session_.logStore;
    st.LogName = defaultName;
    FileDialogSpec dlg;
    dlg.title = LogSaveTitle;
    dlg.folder = session_.folders.RawDir;
    dlg.fileName = defaultName + ext;
    dlg.filters = LogSaveFilters();
    SaveTargetSteps steps;
    steps.dialogOpen = &session_.FileDlgOpen;
    // The log takes the chosen name even when overwriting is declined.
    steps.chosen = [&](const QString& target) {
        session_.folders.RawDir = FolderOf(target);
        st.LogName = QFileInfo(target).completeBaseName();
    };
    const QString target = AskSaveTarget(prompts_, dlg, ext, steps);
    if (target.isEmpty()) return true;   // not saved; the log is cut all the same
    const int64_t n = std::clamp<int64_t>(bytes, 0, st.LogDump.size);
    const QByteArray image = n > 0 ? QByteArray::fromRawData(
                                         reinterpret_cast<const char*>(st.LogDump.data()), n)
                                   : QByteArray();
    QString error;
    if (!WriteFileAtomic(target, image, &error)) {
        prompts_.Error(error);
        return false;
    }
    return true;
}

void LogImportCommands::SpeedButtonReLogClick() {
    if (session_.logStore.LogItemNum < 2) {
        prompts_.Inform(LogNoData);
        return;
    }
    // The blocks keep the selection of the dialog's last use.
    CommonTail(false);
}

void LogImportCommands::CommonTail(bool preselect) {
    LogStore& st = session_.logStore;
    LapList& list = session_.lapList;
    const int32_t rows = list.LapStrLstNum();
    if (preselect) st.PriSelectLog(Now());
    st.SetMbActAndRect();

    ControlLineDialogInput input;
    input.label = LogNameLabel(st.LogName);
    input.hint = st.LogName;
    input.viewRect = st.LogRect;
    if (!dialog_.Exec(session_, input)) return;

    LineChoice& lines = session_.lineChoice;
    if (lines.CtrlLineSet) {
        RunCut([&](QString* e) { return CutLapCircuit(session_, lines, e, &ranking_); });
    } else if (lines.StaLineSet && lines.FinLineSet) {
        RunCut([&](QString* e) { return CutLapStaGoal(session_, lines, e, &ranking_); });
    } else if (!lines.StaLineSet && !lines.FinLineSet) {
        // A line no log crosses: the whole selection becomes one lap.
        lines.CtrlLine = LineEnds{0, 0, 1e-6L, 1e-6L};
        RunCut([&](QString* e) { return CutLapCircuit(session_, lines, e, &ranking_); });
    } else {
        return;   // a start line without a goal line, or a goal without a start
    }
    // The rows of one cut share a group number; the next cut gets the next.
    if (list.LapStrLstNum() != rows) ++list.GrpNo;
}

void LogImportCommands::RunCut(const std::function<bool(QString*)>& cut) {
    QString error;
    bool ok = false;
    {
        Busy(true);
        AtExit idle([this] { Busy(false); });
        ok = cut(&error);
    }
    // Rows written before a failed write stay in the list and are ranked.
    if (!ok) prompts_.Error(error);
    ranking_.SetBestLapRank();
    ranking_.SetSectTmList();
    ranking_.SetDriftAngleList();
    if (onShowDataTab) onShowDataTab();
}

} // namespace vel
