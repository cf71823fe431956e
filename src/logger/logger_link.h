#pragma once
// The main thread's side of the logger link: the port scan, opening and
// closing the port, queuing sentences, the posted messages WM_USER+1 to +6
// as queued signals, and the connection with its probe attempts, the
// watchdog and the lock of the logger tab's controls. The port itself lives
// in a LinkWorker on its own thread.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include "logger/link_core.h"
#include "logger/memory_reception.h"
#include "model/services.h"

class QThread;

namespace vel {

struct Session;
class Prompts;
class LinkWorker;

// The sentence monitor (ListBox2): newest on top, at most 17 lines.
class SentenceMonitor {
public:
    static constexpr int MaxLines = 17;
    void Add(const QString& line);
    const QStringList& Lines() const { return lines_; }
    std::function<void()> onChanged;
private:
    QStringList lines_;
};

// Message texts of the connection.
namespace LoggerText {
extern const char* const ConnectFailed;
extern const char* const CommFailedQK4;
extern const char* const CommFailed;
extern const char* const TimeoutQK4;
extern const char* const Timeout;
}

class LoggerLink : public QObject, public LoggerService {
    Q_OBJECT
public:
    static constexpr int FirstProbeMs = 650;
    static constexpr int ProbeMs = 750;
    static constexpr int WatchdogMs = 7000;
    static constexpr int ProbeAttempts = 4;
    static constexpr int QuietMs = 300;

    LoggerLink(Session& session, Prompts& prompts, QObject* parent = nullptr);
    ~LoggerLink() override;

    // LoggerService
    bool IsPortOpen() const override { return openConn_ != 0; }
    void CloseComPort() override;
    void CreateLists() override;
    void FreeLists() override;
    // The logger tab's buttons are off while requests run: the main tabs stay.
    bool IsBusy() const override { return ControlsLocked; }

    // Serial port and framing.
    // Paths tried besides the USB serial ports (settings, tests, simulators);
    // the environment variable VELMARIS_LOGGER_PORTS adds more, ":"-separated.
    void SetExtraPorts(const QStringList& paths) { extraPorts_ = paths; }
    // Tests keep the machine's own USB ports out of the scan.
    bool scanUsbPorts = true;
    // The candidate ports in the order they are listed (tried from the last).
    QStringList CandidatePorts() const;
    void EnumComPorts();
    bool OpenComPort(const QString& port);
    // ComCmdQueue add + ComSendKick: the bodies are sent in order.
    void QueueSentences(const QList<QByteArray>& bodies);
    // Every answer slot but LoggerRelease (and AnsQK4Set when kept) emptied,
    // in the worker, before the sentences queued after it are answered.
    void ClearAnswers(bool keepQK4Set);
    // A memory download: the reception is set up before the reads are queued;
    // CopyImage ends it and copies the 16 MiB image to dest.
    void BeginDownload(LoggerModel model, int firstFlag, int flagCount, const QByteArray& rateCode);
    bool CopyImage(uint8_t* dest);
    // Progress while a download runs (any moment).
    int QueueLeft() const;
    int QK4BlocksDone() const;

    // Connection.
    void StartMTKGPS();
    void DisGPSbutton();
    void EnaGPSbutton();
    // Ends the open connection's conversation and runs next once the line is
    // quiet: the worker keeps the port, drops what the logger still sends
    // and closes it when no download data (memory lines, raw blocks) has
    // come for quietMs; position sentences do not count. Download data that
    // still comes at the watchdog's limit ends in the time-out message. The
    // port counts as closed from now on; the controls stay locked.
    void AfterQuietLine(std::function<void()> next);
    // Arms the watchdog (stopped, given its interval, started).
    void ArmWatchdog(int ms);
    void StopWatchdog() { TimerGpsCommSv.stop(); }
    // The sequencer's next step; without one the connection ends when the
    // request queue is empty.
    std::function<void()> AcptMTKGPSreq;
    // The connection is over: watchdog off, port closed, controls unlocked.
    void EndConnection();

    Session& session() { return session_; }
    Prompts& prompts() { return prompts_; }
    // Probe and watchdog times; tests shorten them.
    int firstProbeMs = FirstProbeMs;
    int probeMs = ProbeMs;
    int watchdogMs = WatchdogMs;
    int quietMs = QuietMs;

    bool IsQK4() const { return Answers.LoggerRelease.startsWith("QK4,"); }
    bool IsQK3() const { return Answers.LoggerRelease.contains(",QK3"); }

    // State read by the logger commands and the tests.
    QStringList GpsReqQueue;
    QStringList ComPortList;
    QString ComPortName;
    ProbeFlags Probe;
    AnswerSlots Answers;      // as of the last WM_COMQUEUEDONE / WM_LOGGERIDENT
    bool DlActive = false;
    bool ControlsLocked = false;
    QTimer TimerComm;
    QTimer TimerGpsCommSv;
    SentenceMonitor monitor;  // ListBox2

signals:
    void ComQueueDone();          // WM_USER+1
    void ComError(int kind);      // WM_USER+2
    void LoggerIdent();           // WM_USER+3
    void ComProgress();           // WM_USER+4
    void ShowLoading();           // WM_USER+5
    void LogLoaded();             // WM_USER+6
    void ControlsEnabled(bool enabled);

private slots:
    void DrainEvents();
    void TimerCommTimer();
    void TimerGpsCommSvTimer();
    void WMComQueueDone();
    void WMComError(int kind);
    void WMLoggerIdent();
    void WMComProgress();

private:
    bool ReleaseFitsAttempt() const;
    // The worker lost the port (LinkEvent::PortError).
    void PortFailed();
    // Ends the connection abnormally: timers, requests and port, then the message.
    void EndWithMessage(const char* message);
    // The cut-off line is quiet and its port closed, or it overran the limit.
    void LineQuiet(bool overrun);
    void QueueIdentification();
    void ShowLog(const QString& line);

    Session& session_;
    Prompts& prompts_;
    QThread* thread_ = nullptr;
    LinkWorker* worker_ = nullptr;
    QStringList extraPorts_;
    uint64_t nextConn_ = 0;
    uint64_t openConn_ = 0;   // the open port's connection, 0 when closed
    uint64_t drainConn_ = 0;  // the connection whose line the worker drains
    std::function<void()> afterQuiet_;
    uint64_t run_ = 0;        // the last run of queued sentences
    std::deque<LinkEvent> pending_;
    bool draining_ = false;
    bool probing_ = false;    // the logger is not identified yet
    int busyCursors_ = 0;     // busy cursors set and not yet restored
};

} // namespace vel
