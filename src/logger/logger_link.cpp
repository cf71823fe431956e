#include "logger/logger_link.h"

#include <algorithm>
#include <QCursor>
#include <QGuiApplication>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>
#include "logger/link_worker.h"
#include "logger/replies.h"
#include "model/session.h"
#include "platform/prompts.h"

namespace vel {

namespace LoggerText {
const char* const ConnectFailed =
    "GPSロガーとの接続に失敗しました。\rGPSロガーの電源、USBケーブル接続を確認してください。\r"
    "あるいは、GPSロガーの電源を入れ直してください。";
const char* const CommFailedQK4 =
    "GPSロガーとの通信に失敗しました。\r処理を中止しました。\r※ロガーからUSBケーブルを取り外し、電源を入れ直してください。";
const char* const CommFailed =
    "GPSロガーとの通信に失敗しました。\r処理を中止しました。\r※必ずセットアップ内容を確認してください。";
const char* const TimeoutQK4 =
    "GPSロガー通信タイムアウト。\r処理を中止しました。\r※ロガーからUSBケーブルを取り外し、電源を入れ直してください。";
const char* const Timeout =
    "GPSロガー通信タイムアウト。\r処理を中止しました。\r※必ずセットアップ内容を確認してください。";
}

void SentenceMonitor::Add(const QString& line) {
    if (lines_.size() > MaxLines - 1) lines_.removeLast();
    lines_.prepend(line);
    if (onChanged) onChanged();
}

LoggerLink::LoggerLink(Session& session, Prompts& prompts, QObject* parent)
    : QObject(parent), session_(session), prompts_(prompts) {
    thread_ = new QThread();
    thread_->setObjectName("LoggerLink");
    worker_ = new LinkWorker([this] {
        QMetaObject::invokeMethod(this, &LoggerLink::DrainEvents, Qt::QueuedConnection);
    });
    worker_->moveToThread(thread_);
    thread_->start();

    TimerComm.setSingleShot(true);
    TimerGpsCommSv.setSingleShot(true);
    TimerGpsCommSv.setInterval(WatchdogMs);
    connect(&TimerComm, &QTimer::timeout, this, &LoggerLink::TimerCommTimer);
    connect(&TimerGpsCommSv, &QTimer::timeout, this, &LoggerLink::TimerGpsCommSvTimer);
    connect(this, &LoggerLink::ComQueueDone, this, &LoggerLink::WMComQueueDone);
    connect(this, &LoggerLink::ComError, this, &LoggerLink::WMComError);
    connect(this, &LoggerLink::LoggerIdent, this, &LoggerLink::WMLoggerIdent);
    connect(this, &LoggerLink::ComProgress, this, &LoggerLink::WMComProgress);
}

LoggerLink::~LoggerLink() {
    // A busy cursor whose timer goes with the link is restored here.
    for (; busyCursors_ > 0; --busyCursors_) QGuiApplication::restoreOverrideCursor();
    CloseComPort();
    thread_->quit();
    thread_->wait();
    delete worker_;
    delete thread_;
}

void LoggerLink::CreateLists() {
    GpsReqQueue.clear();
    ComPortList.clear();
}

void LoggerLink::FreeLists() {
    GpsReqQueue.clear();
    ComPortList.clear();
}

// ---- serial port ---------------------------------------------------------

QStringList LoggerLink::CandidatePorts() const {
    QStringList usb;
    for (const QSerialPortInfo& info : scanUsbPorts ? QSerialPortInfo::availablePorts() : QList<QSerialPortInfo>()) {
        const QString loc = info.systemLocation();
        if (loc.startsWith("/dev/ttyUSB") || loc.startsWith("/dev/ttyACM")) usb << loc;
    }
    std::sort(usb.begin(), usb.end());
    QStringList all = usb;
    QStringList extra = extraPorts_;
    const QString env = qEnvironmentVariable("VELMARIS_LOGGER_PORTS");
    if (!env.isEmpty()) extra += env.split(':', Qt::SkipEmptyParts);
    for (const QString& p : extra)
        if (!all.contains(p)) all << p;
    return all;
}

void LoggerLink::EnumComPorts() {
    ComPortList.clear();
    Probe = ProbeFlags::All();
    for (const QString& path : CandidatePorts()) {
        QSerialPort port;
        port.setPortName(path);
        if (!port.open(QIODevice::ReadWrite)) continue;
        port.close();
        for (int i = 0; i < ProbeAttempts; ++i) ComPortList << path;
    }
}

bool LoggerLink::OpenComPort(const QString& port) {
    if (openConn_) return true;
    LinkCommand cmd;
    cmd.kind = LinkCommand::Open;
    cmd.conn = ++nextConn_;
    cmd.path = port.toStdString();
    cmd.probe = Probe;
    cmd.done = std::make_shared<std::promise<bool>>();
    std::future<bool> result = cmd.done->get_future();
    worker_->Post(std::move(cmd));
    if (!result.get()) return false;
    openConn_ = nextConn_;
    return true;
}

void LoggerLink::CloseComPort() {
    // A line still being drained is closed as well; what was to follow is dropped.
    if (!openConn_ && !drainConn_) return;
    openConn_ = 0;
    drainConn_ = 0;
    afterQuiet_ = nullptr;
    LinkCommand cmd;
    cmd.kind = LinkCommand::Close;
    cmd.done = std::make_shared<std::promise<bool>>();
    std::future<bool> result = cmd.done->get_future();
    worker_->Post(std::move(cmd));
    result.get();
}

void LoggerLink::QueueSentences(const QList<QByteArray>& bodies) {
    if (!openConn_) return;
    LinkCommand cmd;
    cmd.kind = LinkCommand::Run;
    cmd.bodies = bodies;
    cmd.run = ++run_;
    worker_->Post(std::move(cmd));
}

void LoggerLink::ClearAnswers(bool keepQK4Set) {
    Answers.ClearAnswers(keepQK4Set);
    LinkCommand cmd;
    cmd.kind = LinkCommand::ClearAnswers;
    cmd.keepQK4Set = keepQK4Set;
    worker_->Post(std::move(cmd));
}

void LoggerLink::BeginDownload(LoggerModel model, int firstFlag, int flagCount, const QByteArray& rateCode) {
    LinkCommand cmd;
    cmd.kind = LinkCommand::BeginDownload;
    cmd.model = model;
    cmd.firstFlag = firstFlag;
    cmd.flagCount = flagCount;
    cmd.rateCode = rateCode;
    worker_->Post(std::move(cmd));
}

bool LoggerLink::CopyImage(uint8_t* dest) {
    LinkCommand cmd;
    cmd.kind = LinkCommand::CopyImage;
    cmd.dest = dest;
    cmd.done = std::make_shared<std::promise<bool>>();
    std::future<bool> result = cmd.done->get_future();
    worker_->Post(std::move(cmd));
    return result.get();
}

int LoggerLink::QueueLeft() const { return worker_->QueueLeft(); }
int LoggerLink::QK4BlocksDone() const { return worker_->QK4BlocksDone(); }

void LoggerLink::ShowLog(const QString& line) {
    session_.statusList.Add(line);
}

void LoggerLink::DrainEvents() {
    for (LinkEvent& ev : worker_->TakeEvents()) pending_.push_back(std::move(ev));
    // A message box of a handler runs a nested event loop: events that come
    // meanwhile wait here, in order, for the outer loop.
    if (draining_) return;
    draining_ = true;
    while (!pending_.empty()) {
        LinkEvent ev = std::move(pending_.front());
        pending_.pop_front();
        if (drainConn_ && ev.conn == drainConn_) {
            // The worker closed the drained port (or lost it): the line is free.
            if (ev.kind == LinkEvent::PortError) ShowLog(QStringLiteral("Port error."));
            if (ev.kind == LinkEvent::LineQuiet || ev.kind == LinkEvent::PortError)
                LineQuiet(ev.kind == LinkEvent::LineQuiet && ev.param == 1);
            continue;
        }
        // A closed connection's events are stale; so are the ends of a run
        // that a newer run replaced.
        if (ev.conn == 0 || ev.conn != openConn_) continue;
        switch (ev.kind) {
        case LinkEvent::RxLog:
            if (!ev.text.isEmpty()) ShowLog(QString::fromLatin1(ev.text));
            break;
        case LinkEvent::TxLog: ShowLog(QString::fromLatin1(ev.text)); break;
        case LinkEvent::NmeaLine: monitor.Add(QString::fromLatin1(ev.text)); break;
        case LinkEvent::QueueDone:
            if (ev.run != run_) break;
            Answers = ev.answers;
            emit ComQueueDone();
            break;
        case LinkEvent::LoggerIdent:
            if (ev.run != run_) break;
            Answers = ev.answers;
            emit LoggerIdent();
            break;
        case LinkEvent::ComError: emit ComError(ev.param); break;
        case LinkEvent::ComProgress: emit ComProgress(); break;
        case LinkEvent::PortError: PortFailed(); break;
        case LinkEvent::LineQuiet: break;
        }
    }
    draining_ = false;
}

// ---- connection ----------------------------------------------------------

void LoggerLink::DisGPSbutton() {
    ControlsLocked = true;
    emit ControlsEnabled(false);
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++busyCursors_;
    QTimer::singleShot(500, this, [this] {
        --busyCursors_;
        QGuiApplication::restoreOverrideCursor();
    });
}

void LoggerLink::EnaGPSbutton() {
    ControlsLocked = false;
    emit ControlsEnabled(true);
}

void LoggerLink::ArmWatchdog(int ms) {
    TimerGpsCommSv.stop();
    TimerGpsCommSv.setInterval(ms);
    TimerGpsCommSv.start();
}

void LoggerLink::EndConnection() {
    DlActive = false;
    TimerGpsCommSv.stop();
    CloseComPort();
    EnaGPSbutton();
}

void LoggerLink::AfterQuietLine(std::function<void()> next) {
    // A logger cut off in the middle of an answer goes on sending it; a
    // question asked meanwhile would go unanswered. The thread that owns the
    // port waits for the end of it.
    if (!openConn_) {
        next();
        return;
    }
    drainConn_ = openConn_;
    openConn_ = 0;
    afterQuiet_ = std::move(next);
    LinkCommand cmd;
    cmd.kind = LinkCommand::Drain;
    cmd.conn = drainConn_;
    cmd.quietMs = quietMs;
    cmd.limitMs = watchdogMs;
    worker_->Post(std::move(cmd));
}

void LoggerLink::LineQuiet(bool overrun) {
    drainConn_ = 0;
    std::function<void()> next = std::move(afterQuiet_);
    afterQuiet_ = nullptr;
    if (overrun) {
        GpsReqQueue.clear();
        EnaGPSbutton();
        prompts_.Inform(QString::fromUtf8(IsQK4() ? LoggerText::TimeoutQK4 : LoggerText::Timeout));
        return;
    }
    if (next) next();
}

void LoggerLink::QueueIdentification() {
    QueueSentences({QByteArrayLiteral("PMTK605")});
}

void LoggerLink::StartMTKGPS() {
    EnumComPorts();
    if (ComPortList.isEmpty()) {
        prompts_.Inform(QString::fromUtf8(LoggerText::ConnectFailed));
        return;
    }
    for (qsizetype i = ComPortList.size() - 1; i >= 0; --i) ShowLog(ComPortList[i]);
    DisGPSbutton();
    probing_ = true;
    Answers.LoggerRelease.clear();
    ComPortName = ComPortList.last();
    if (OpenComPort(ComPortName)) {
        // The logger is given a moment after the port opens; its time to
        // answer counts from the question.
        const uint64_t conn = openConn_;
        QTimer::singleShot(100, this, [this, conn] {
            if (openConn_ != conn) return;
            QueueIdentification();
            TimerComm.start(firstProbeMs);
        });
        return;
    }
    TimerComm.start(firstProbeMs);
}

bool LoggerLink::ReleaseFitsAttempt() const {
    const QByteArray& r = Answers.LoggerRelease;
    // The first attempt expects any model but the older ones: a QK3 may
    // answer at 115,200 bit/s as well.
    if (Probe.ProbeQK4 && r.startsWith("QK4,")) return true;
    if (Probe.ProbeQK3Fast || Probe.ProbeQK3Slow) return r.contains(",QK3");
    if (Probe.ProbeQK4) return false;
    return r.contains("887") || r.contains("TSI_860ED");
}

void LoggerLink::TimerCommTimer() {
    TimerComm.stop();
    if (ReleaseFitsAttempt()) return;
    if (Probe.ProbeQK4) Probe.ProbeQK4 = false;
    else if (Probe.ProbeQK3Fast) Probe.ProbeQK3Fast = false;
    else if (Probe.ProbeQK3Slow) Probe.ProbeQK3Slow = false;
    else Probe = ProbeFlags::All();
    CloseComPort();
    if (!ComPortList.isEmpty()) ComPortList.removeLast();
    if (ComPortList.isEmpty()) {
        GpsReqQueue.clear();
        EnaGPSbutton();
        prompts_.Inform(QString::fromUtf8(LoggerText::ConnectFailed));
        return;
    }
    Answers.LoggerRelease.clear();
    ComPortName = ComPortList.last();
    if (OpenComPort(ComPortName)) QueueIdentification();
    TimerComm.start(probeMs);
}

void LoggerLink::WMLoggerIdent() {
    if (!ReleaseFitsAttempt()) return;
    TimerComm.stop();
    probing_ = false;
    // From here on the identified model's rules apply.
    LinkCommand cmd;
    cmd.kind = LinkCommand::Identified;
    cmd.model = ModelOfRelease(Answers.LoggerRelease);
    if (cmd.model != LoggerModel::QK4) Probe.ProbeQK4 = false;
    worker_->Post(std::move(cmd));
    if (AcptMTKGPSreq) AcptMTKGPSreq();
    else if (GpsReqQueue.isEmpty()) EndConnection();
}

void LoggerLink::WMComQueueDone() {
    if (AcptMTKGPSreq) AcptMTKGPSreq();
    else if (GpsReqQueue.isEmpty()) EndConnection();
}

void LoggerLink::EndWithMessage(const char* message) {
    // Every abnormal end stops both timers and forgets the requests.
    TimerComm.stop();
    TimerGpsCommSv.stop();
    GpsReqQueue.clear();
    DlActive = false;
    CloseComPort();
    EnaGPSbutton();
    prompts_.Inform(QString::fromUtf8(message));
}

void LoggerLink::WMComError(int) { EndWithMessage(IsQK4() ? LoggerText::CommFailedQK4 : LoggerText::CommFailed); }

void LoggerLink::WMComProgress() {
    if (TimerGpsCommSv.isActive()) TimerGpsCommSv.stop();
    TimerGpsCommSv.start();
}

void LoggerLink::TimerGpsCommSvTimer() {
    TimerGpsCommSv.stop();
    TimerGpsCommSv.setInterval(watchdogMs);
    if (!IsPortOpen()) return;
    EndWithMessage(IsQK4() ? LoggerText::TimeoutQK4 : LoggerText::Timeout);
}

void LoggerLink::PortFailed() {
    ShowLog(QStringLiteral("Port error."));
    if (probing_) {
        // A port that fails while it is tried: the next attempt goes on at once.
        CloseComPort();
        TimerComm.start(0);
        return;
    }
    // The logger is gone: the connection ends now, not at the watchdog.
    EndWithMessage(IsQK4() ? LoggerText::TimeoutQK4 : LoggerText::Timeout);
}

} // namespace vel
