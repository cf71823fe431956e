#include "logger/logger_commands.h"

#include <algorithm>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include "logger/loading_dialog.h"
#include "logger/logger_controls.h"
#include "logger/logger_link.h"
#include "logger/range_dialog.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

namespace {

void SetLabel(QLabel* l, const QString& text, LabelColour c) {
    l->setText(text);
    switch (c) {
    case LabelColour::Black: l->setStyleSheet("color: #000000"); break;
    case LabelColour::Red: l->setStyleSheet("color: #FF0000"); break;
    case LabelColour::Grey: l->setStyleSheet("color: #808080"); break;
    }
}

} // namespace

LoggerCommands::LoggerCommands(LoggerLink& link, LoggerControls& controls, QObject* parent)
    : QObject(parent), link_(link), controls_(controls) {
    link_.AcptMTKGPSreq = [this] { AcptMTKGPSreq(); };
    rangeDialog = [this](LoadRange& r) { return RunLoadRangeDialog(r, controls_.window()); };
    connect(&link_, &LoggerLink::ShowLoading, this, &LoggerCommands::WMShowLoading, Qt::QueuedConnection);
    connect(controls_.ButtonLogSpace, &QPushButton::clicked, this, &LoggerCommands::ButtonLogSpaceClick);
    connect(controls_.ButtonLogErase, &QPushButton::clicked, this, &LoggerCommands::ButtonLogEraseClick);
    connect(controls_.ButtonSet10Hz, &QPushButton::clicked, this, &LoggerCommands::ButtonSet10HzClick);
    connect(controls_.ButtonSet5Hz, &QPushButton::clicked, this, &LoggerCommands::ButtonSet5HzClick);
    connect(controls_.ButtonSet2Hz, &QPushButton::clicked, this, &LoggerCommands::ButtonSet2HzClick);
    connect(controls_.ButtonSetTrigSpd, &QPushButton::clicked, this, &LoggerCommands::ButtonSetTrigSpdClick);
    connect(controls_.SpeedButtonLdGPS, &QToolButton::clicked, this, &LoggerCommands::SpeedButtonLdGPSClick);
}

LoggerCommands::~LoggerCommands() {
    link_.AcptMTKGPSreq = nullptr;
    if (loading_) delete loading_;
}

void LoggerCommands::Start(const QStringList& requests) {
    controls_.ClearLabels();
    link_.GpsReqQueue = requests;
    link_.StartMTKGPS();
}

void LoggerCommands::ButtonLogSpaceClick() { Start({Req::CheckStat, Req::ViewStat2}); }

void LoggerCommands::ButtonLogEraseClick() {
    if (link_.prompts().AskYesCancel(QString::fromUtf8(LoggerText::EraseAsk)) != Answer::Yes) return;
    Start({Req::CheckStatQK3, Req::FormatAll, Req::FormatMsg});
}

void LoggerCommands::ButtonSet10HzClick() {
    Start({Req::CheckStatQK3, Req::Set10Hz, Req::CheckStat, Req::ViewStat, Req::SetupMsg});
}
void LoggerCommands::ButtonSet5HzClick() {
    Start({Req::CheckStatQK3, Req::Set5Hz, Req::CheckStat, Req::ViewStat, Req::SetupMsg});
}
void LoggerCommands::ButtonSet2HzClick() {
    Start({Req::CheckStatQK3, Req::Set2Hz20Hz, Req::CheckStat, Req::ViewStat, Req::SetupMsg});
}
void LoggerCommands::ButtonSetTrigSpdClick() {
    TrigSpd = controls_.UpDownTrigSpd->value();
    Start({Req::CheckStatQK3, Req::SetTrig, Req::CheckStat, Req::ViewStat, Req::SetupMsg});
}

void LoggerCommands::SpeedButtonLdGPSClick() {
    // The download button is outside the lock: it is refused while another
    // command's connection runs.
    if (link_.ControlsLocked || link_.IsPortOpen() || loading_) return;
    Start({Req::CheckStatQK3, Req::ReadLog, Req::AnlzLog});
}

void LoggerCommands::Refuse(const char* text) {
    link_.StopWatchdog();
    link_.CloseComPort();
    link_.EnaGPSbutton();
    link_.GpsReqQueue.clear();
    link_.prompts().Warn(QString::fromUtf8(text));
}

void LoggerCommands::AcptMTKGPSreq() {
    // A step after the erase request: its reply came.
    controls_.SetErasing(false);
    for (;;) {
        if (link_.GpsReqQueue.isEmpty()) {
            link_.EndConnection();
            return;
        }
        CurGpsReq = link_.GpsReqQueue.takeFirst();
        const SentenceRequest r = SentencesFor(CurGpsReq, link_.Answers, TrigSpd);
        if (r.known) {
            if (r.refusal != SentenceRequest::None) {
                Refuse(r.refusal == SentenceRequest::Only20HzQK4 ? LoggerText::Only20HzQK4
                                                                 : LoggerText::FirmwareUpdate);
                return;
            }
            if (r.clearAnswers) link_.ClearAnswers(r.keepQK4Set);
            if (CurGpsReq == Req::FormatAll) controls_.SetErasing(true);
            link_.QueueSentences(r.bodies);
            link_.ArmWatchdog(r.watchdogMs == 7000 ? link_.watchdogMs : r.watchdogMs);
            return;
        }
        if (CurGpsReq == Req::ReadLog) {
            ReadLog();
            return;
        }
        // Display requests: the connection ends first when nothing follows.
        const bool last = link_.GpsReqQueue.isEmpty();
        if (CurGpsReq == Req::AnlzLog) {
            AnlzLog();
        } else if (last) {
            link_.EndConnection();
        }
        if (CurGpsReq == Req::FormatMsg) {
            link_.prompts().Inform(QString::fromUtf8(LoggerText::Erased));
            if (link_.GpsReqQueue.isEmpty()) {
                // A new connection shows the status after the erase.
                Start({Req::CheckStat, Req::ViewStat2});
                return;
            }
        } else if (CurGpsReq == Req::SetupMsg) {
            link_.prompts().Inform(QString::fromUtf8(LoggerText::SetUp));
        } else if (CurGpsReq == Req::ViewStat || CurGpsReq == Req::ViewStat2) {
            ShowStatus(CurGpsReq == Req::ViewStat2);
            if (CurGpsReq == Req::ViewStat2) return;
        }
        if (link_.GpsReqQueue.isEmpty()) return;
    }
}

void LoggerCommands::ShowStatus(bool stat2) {
    const StatusView v = EvaluateStatus(link_.Answers, link_.ComPortName, stat2);
    const bool qk4 = link_.IsQK4();
    SetLabel(controls_.LabelCurrntMode, v.mode, v.modeColour);
    SetLabel(controls_.LabelLogStat, v.logStat, v.logStatColour);
    SetLabel(controls_.LabelPort, v.port, LabelColour::Black);
    SetLabel(controls_.LabelDtVer, v.version, v.versionColour);
    if (v.trigShown) {
        TrigSpd = v.trigSpd;
        controls_.UpDownTrigSpd->setValue(std::clamp(v.trigSpd, 0, 99));
        SetLabel(controls_.LabelTrigSpd, v.trig, v.trigColour);
        SetLabel(controls_.LabelTrigSpd2, v.trig2, v.trigColour);
    }
    if (!v.wrongSetup) return;
    if (!stat2) {
        link_.prompts().Inform(QString::fromUtf8(qk4 ? LoggerText::SetupNeededQK4 : LoggerText::SetupNeeded));
        return;
    }
    if (link_.prompts().AskYesNo(QString::fromUtf8(qk4 ? LoggerText::UnknownModeAskQK4 : LoggerText::UnknownModeAsk)) !=
        Answer::Yes)
        return;
    link_.GpsReqQueue = QStringList{qk4 ? Req::Set10Hz : Req::Set5Hz, Req::CheckStat, Req::ViewStat};
    link_.StartMTKGPS();
}

// ---- download --------------------------------------------------------------

void LoggerCommands::ReadLog() {
    const AnswerSlots& a = link_.Answers;
    const LoggerModel model = ModelOfRelease(a.LoggerRelease);
    DownloadPlan plan;
    if (model == LoggerModel::QK4) {
        plan = PlanQK4(a);
    } else {
        int first = 0, last = LastUsedSector(a);
        if (model == LoggerModel::QK3 && last >= 24) {
            link_.StopWatchdog();
            LoadRange r = InitialRange(last);
            if (rangeDialog && rangeDialog(r)) ApplyRange(r, first, last);
        }
        plan = PlanSectors(a, model, first, last);
    }
    if (!link_.IsPortOpen()) return;   // the connection ended while the range was chosen
    link_.BeginDownload(model, plan.firstFlag, plan.flagCount, a.AnsLogRate);
    DlTotal = plan.dlTotal;
    DlDoneNotify = false;
    link_.QueueSentences(plan.bodies);
    link_.ArmWatchdog(link_.watchdogMs);
    link_.DlActive = true;
    emit link_.ShowLoading();
}

void LoggerCommands::AnlzLog() {
    // The image goes to the import only when the download ran to its end.
    if (link_.DlActive) {
        Session& s = link_.session();
        if (!s.logStore.LogDump.data()) s.logStore.LogDump.Allocate(LogDumpSize);
        if (s.logStore.LogDump.data() && s.logStore.LogDump.size >= LoggerMemoryBytes &&
            link_.CopyImage(s.logStore.LogDump.data())) {
            s.loggerHandover.LoggerRelease = link_.Answers.LoggerRelease;
            s.loggerHandover.LoggerUsedBytes = link_.Answers.AnsLogUsed;
            DlDoneNotify = true;
        }
    }
    link_.DlActive = false;
    if (link_.GpsReqQueue.isEmpty()) link_.EndConnection();
    // Without the dialog (it was closed already) the hand-over goes at once.
    if (!loading_ && DlDoneNotify) {
        DlDoneNotify = false;
        QMetaObject::invokeMethod(&link_, &LoggerLink::LogLoaded, Qt::QueuedConnection);
    }
}

TOKBottomDlgGPSloading* LoggerCommands::LoadingDialog() const { return loading_.data(); }

int LoggerCommands::Progress() const {
    if (DlTotal <= 0) return 0;
    const int done = link_.IsQK4() ? link_.QK4BlocksDone() : DlTotal - link_.QueueLeft();
    return std::clamp(int(int64_t(done) * 100 / DlTotal), 0, 100);
}

void LoggerCommands::WMShowLoading() {
    if (loading_ || !link_.DlActive) {
        // The download ended before the dialog came up.
        if (!link_.DlActive && DlDoneNotify) {
            DlDoneNotify = false;
            emit link_.LogLoaded();
        }
        return;
    }
    loading_ = new TOKBottomDlgGPSloading(!link_.IsQK4(), controls_.window());
    loading_->setAttribute(Qt::WA_DeleteOnClose);
    loading_->onTick = [this] { LoadingTick(); };
    loading_->onAbort = [this] { AbortDownload(); };
    // Without an abort button closing asks first; the question waits for
    // the dialog's own event to end.
    loading_->onCloseAsked = [this] {
        QTimer::singleShot(0, this, [this] { AskAbort(); });
    };
    loading_->open();
}

void LoggerCommands::AskAbort() {
    if (!loading_ || !link_.DlActive || askingAbort_) return;
    askingAbort_ = true;
    const Answer a = link_.prompts().AskYesCancel(QString::fromUtf8(LoggerText::AbortAsk));
    askingAbort_ = false;
    // The download may have ended while the question was up.
    if (a == Answer::Yes && loading_ && link_.DlActive) loading_->Abort();
}

void LoggerCommands::LoadingTick() {
    if (!loading_) return;
    if (link_.DlActive) {
        loading_->SetPercent(Progress());
        return;
    }
    loading_->Timer1->stop();
    loading_->accept();
    loading_ = nullptr;
    if (DlDoneNotify) {
        DlDoneNotify = false;
        emit link_.LogLoaded();
    }
}

void LoggerCommands::AbortDownload() {
    loading_ = nullptr;
    link_.DlActive = false;
    DlDoneNotify = false;
    link_.StopWatchdog();
    // Only an older logger's download slows the fix interval (one fix a
    // second while it reads), so only there is it restored; a QK3's and a
    // QK4's downloads leave it as it was.
    const bool restoreFix = !link_.IsQK3() && !link_.IsQK4();
    // The new connection restores the fix interval and shows the status once
    // the logger has finished the cut-off answer. The tab stays locked
    // meanwhile: a command started now would be overrun by that connection.
    link_.AfterQuietLine([self = QPointer<LoggerCommands>(this), restoreFix] {
        if (!self) return;
        LoggerLink& link = self->link_;
        QStringList next;
        if (restoreFix) next << Req::RetDtFix;
        next << Req::CheckStat << Req::ViewStat;
        link.EnaGPSbutton();
        link.GpsReqQueue = next;
        link.StartMTKGPS();
    });
}

} // namespace vel
