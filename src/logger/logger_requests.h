#pragma once
// The named logger requests: the sentences each one sends per logger model,
// the status view's judgement of the answers, and the download plan. Pure
// functions of the answer slots; the sequencer (logger_commands) runs them.
#include <QByteArray>
#include <QList>
#include <QString>
#include "logger/memory_reception.h"
#include "logger/replies.h"

namespace vel {

namespace Req {
inline const QString CheckStatQK3 = QStringLiteral("MTK_CHECK_STAT_QK3");
inline const QString CheckStat = QStringLiteral("MTK_CHECK_STAT");
inline const QString FormatAll = QStringLiteral("MTK_FORMAT_ALL");
inline const QString FormatMsg = QStringLiteral("MTK_FORMAT_MSG");
inline const QString Set10Hz = QStringLiteral("MTK_SET_10Hz");
inline const QString Set5Hz = QStringLiteral("MTK_SET_5Hz");
inline const QString Set2Hz20Hz = QStringLiteral("MTK_SET_2Hz_20Hz");
inline const QString SetTrig = QStringLiteral("TSI_SET_TRIG");
inline const QString SetupMsg = QStringLiteral("MTK_SETUP_MSG");
inline const QString ViewStat = QStringLiteral("MTK_VIEW_STAT");
inline const QString ViewStat2 = QStringLiteral("MTK_VIEW_STAT2");
inline const QString ReadLog = QStringLiteral("MTK_READ_LOG");
inline const QString AnlzLog = QStringLiteral("MTK_ANLZ_LOG");
inline const QString RetDtFix = QStringLiteral("MTK_RET_DTFIX");
}

namespace LoggerText {
extern const char* const EraseAsk;
extern const char* const AbortAsk;
extern const char* const Erased;
extern const char* const SetUp;
extern const char* const Only20HzQK4;
extern const char* const FirmwareUpdate;
extern const char* const SetupNeededQK4;
extern const char* const SetupNeeded;
extern const char* const UnknownModeAskQK4;
extern const char* const UnknownModeAsk;
}

constexpr int WatchdogEraseMs = 100000;

struct SentenceRequest {
    enum Refusal { None, Only20HzQK4, Firmware };
    bool known = false;           // the name is a sentence request
    bool clearAnswers = false;    // the answer slots are emptied first
    bool keepQK4Set = false;
    QList<QByteArray> bodies;
    int watchdogMs = 7000;
    Refusal refusal = None;
};

// The sentences of a sentence request (all but the download's).
SentenceRequest SentencesFor(const QString& request, const AnswerSlots& a, int trigSpd);
// The log start speed sentence of a model.
QByteArray TrigSentence(LoggerModel model, int trigSpd);

enum class LabelColour { Black, Red, Grey };

struct StatusView {
    QString mode;
    LabelColour modeColour = LabelColour::Black;
    QString logStat;
    LabelColour logStatColour = LabelColour::Black;
    QString port;
    QString version;
    LabelColour versionColour = LabelColour::Grey;
    bool trigShown = false;   // the speed labels and TrigSpd are set
    int trigSpd = 0;
    QString trig, trig2;
    LabelColour trigColour = LabelColour::Black;
    bool wrongSetup = false;
};

// stat2: MTK_VIEW_STAT2 (the logger-status command), else MTK_VIEW_STAT.
StatusView EvaluateStatus(const AnswerSlots& a, const QString& portName, bool stat2);

struct DownloadPlan {
    QList<QByteArray> bodies;
    int firstFlag = 0, flagCount = 0;   // pending flags
    int dlTotal = 0;
};

// QK4: one bulk read of the used 4 KiB blocks and the sentinel.
DownloadPlan PlanQK4(const AnswerSlots& a);
// Last used 64 KiB sector of a QK3 or older logger, 0 to 127.
int LastUsedSector(const AnswerSlots& a);
// Sectors first to last of a QK3 (hexadecimal lines or raw blocks by
// firmware) or an older logger (with the fix interval set and restored).
DownloadPlan PlanSectors(const AnswerSlots& a, LoggerModel model, int first, int last);
// The restore after an aborted download.
QByteArray RetDtFixSentence(const QByteArray& rateCode);

// Range dialog ticks (1 MiB each).
struct LoadRange {
    int used = 0;    // RangeUsed: last used sector
    int max = 0;     // RangeMax
    int start = 0;   // RangeStart
    int end = 0;     // RangeEnd
};
LoadRange InitialRange(int lastSector);
// A click on the range scale of width w and height h: the upper third moves
// the start, the lower third the end.
void RangeMouseDown(LoadRange& r, int x, int y, int w, int h);
// The sectors a range selects, from the plan's first and last.
void ApplyRange(const LoadRange& r, int& first, int& last);

} // namespace vel
