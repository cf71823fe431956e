#pragma once
// The commands that bring a log into the log store and on to lap cutting:
// the open command for saved logs, the handler of a finished download and
// the re-cut of the log already in the store. All three end in the
// control-line dialog and the cutter its result selects.
#include <cstdint>
#include <functional>
#include <QString>
#include <QStringList>
#include "import/control_line_dialog_iface.h"
#include "import/log_formats.h"
#include "model/logger_handover.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

// Raw-log sizes.
constexpr int64_t BinFileSize = 4194304;        // ".bin": exactly this
constexpr int64_t BinxFileMax = 8388608;        // ".binx": 64 KiB sectors up to this
constexpr int64_t Bnx4FileMax = 16777216;       // ".bnx4": 4 KiB blocks up to this
constexpr int64_t QK4MemoryBytes = 16769024;    // log memory of a QK4, for the free share
constexpr int32_t QK4DownloadBlocks = 4094;
constexpr int32_t OlderDownloadSectors = 128;

inline const QString LogOpenTitle = QStringLiteral("GPSログを開く");
inline const QString LogSaveTitle = QStringLiteral("GPSログに名前を付けて保存");
inline const QString LogWrongSize = QStringLiteral("ヴェルマリスのログではありません。");
inline const QString LogWrongFormat = QStringLiteral("ログがヴェルマリスの形式ではありません。");
inline const QString LogNoData = QStringLiteral("有効なログデータがありません。");
inline const QString LogMemoryLow = QStringLiteral(
    "ログ空き容量が20%を切っています。\r空きが無くなると走行ログが保存できなくなります\r"
    "\"ロガー\"タブにある\"保存ログの消去\"を実行してください。");
inline const QString LogOddData = QStringLiteral(
    "正常でない形式のデータが含まれています。\rログ保存のあとセットアップとログ消去を実行してください。\r"
    "保存したログ全体、またはその一部は、Ver3.4.4以前の解析ソフトでは開けません。");

// The control-line dialog's label: name, or its first 20 bytes (UTF-8) when
// longer, never cutting a character in two.
QString LogNameLabel(const QString& name);

// Bytes of LogDump saved after a download: the used count rounded up to
// whole 4 KiB blocks (QK4) or to the sector after it (older loggers), at
// most what the saved kind can hold; a negative count counts as 0.
int64_t Qk4SaveBytes(int32_t used);
int64_t OlderSaveBytes(int32_t used);

class LogImportCommands {
public:
    LogImportCommands(Session& session, Prompts& prompts, RankingService& ranking,
                      ControlLineDialog& dialog)
        : session_(session), prompts_(prompts), ranking_(ranking), dialog_(dialog) {}

    // Brings the "データ" tab to the front, or repaints the lap list when it
    // is already in front.
    std::function<void()> onShowDataTab;
    // true while a file is read or laps are cut: the hourglass cursor, and
    // SpeedButtonLdLogFile disabled.
    std::function<void(bool)> onBusy;
    // Local date-time now (default names of downloads, block pre-selection).
    std::function<double()> nowLocal;

    // The open command (hint "保存済みGPSログ読込").
    void SpeedButtonLdLogFileClick();
    // A download has ended: LogDump holds the logger's memory image.
    void WMLogLoaded(const LoggerHandover& handover);
    // The re-cut command (hint "読込済みGPSログの再表示").
    void SpeedButtonReLogClick();

private:
    enum class ReadResult { Stop, Cut };

    // Reads a chosen file by its kind into the emptied store, with the size
    // tests and their messages; Cut when two samples or more came of it.
    ReadResult ReadLogFile(const QString& path);
    // Reads a raw-log file of the tested size into LogDump; false with error
    // text on a read error.
    bool ReadImage(const QString& path, int64_t size, QString* error);
    // The save of a download: the dialog, the extension and overwrite rules
    // and the write. Returns false when the command ends (a write error).
    bool SaveDownload(const QString& defaultName, const QString& ext, int64_t bytes);
    // Control-line dialog, cut, lap-list follow-up and the group number.
    void CommonTail(bool preselect);
    // Runs one cutter under the busy state, then the follow-up.
    void RunCut(const std::function<bool(QString*)>& cut);
    double Now() const;
    void Busy(bool on) const;

    Session& session_;
    Prompts& prompts_;
    RankingService& ranking_;
    ControlLineDialog& dialog_;
};

} // namespace vel
