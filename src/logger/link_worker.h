#pragma once
// The thread that owns the logger's serial port: it opens and closes it,
// feeds the protocol engine with what arrives and writes what the engine
// sends. The main thread talks to it only through Post() and TakeEvents();
// both hand data over under a std::mutex, so nothing is shared otherwise.
#include <cstdint>
#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>
#include <QObject>
#include <QString>
#include "logger/link_core.h"

class QSerialPort;
class QTimer;

namespace vel {

struct LinkCommand {
    enum Kind { Open, Close, Run, ClearAnswers, Identified, BeginDownload, CopyImage, Drain };
    Kind kind = Run;
    uint64_t conn = 0;
    std::string path;             // Open: the device path (UTF-8, a buffer of its own)
    ProbeFlags probe;             // Open
    QList<QByteArray> bodies;     // Run
    uint64_t run = 0;             // Run
    bool keepQK4Set = false;      // ClearAnswers
    LoggerModel model = LoggerModel::QK4;   // Identified, BeginDownload
    int firstFlag = 0, flagCount = 0;       // BeginDownload: the pending flags
    QByteArray rateCode;                    // BeginDownload
    uint8_t* dest = nullptr;                // CopyImage: 16 MiB; the reception ends
    int quietMs = 0, limitMs = 0;           // Drain (conn: the connection cut off)
    std::shared_ptr<std::promise<bool>> done;   // Open and Close: set when carried out
};

class LinkWorker : public QObject {
    Q_OBJECT
public:
    // wakeMain runs (on the worker thread) when events wait and none did before.
    explicit LinkWorker(std::function<void()> wakeMain);
    ~LinkWorker() override;

    // Any thread: hands a command to the worker.
    void Post(LinkCommand cmd);
    // Any thread: the events posted since the last call.
    std::vector<LinkEvent> TakeEvents();
    // Any thread: progress of a download.
    int QueueLeft() const { return queueLeft_.load(std::memory_order_relaxed); }
    int QK4BlocksDone() const { return core_.Reception().QK4BlocksDone(); }

private slots:
    void Drain();
    void OnReadyRead();
    void OnTimer();
    void OnPortError(int error);

private:
    void Execute(LinkCommand& cmd);
    void ClosePort();
    // A cut-off line that went quiet (or overran its limit) is closed and said so.
    void EndDrain(LinkCore::DrainState state);
    void ArmTimer();
    void PostEvent(LinkEvent&& ev);
    static int64_t NowMs();

    std::function<void()> wakeMain_;
    std::mutex inMx_;
    std::deque<LinkCommand> inbox_;
    std::mutex outMx_;
    std::vector<LinkEvent> outbox_;
    std::atomic<int> queueLeft_{0};

    // Worker thread only.
    QSerialPort* port_ = nullptr;
    QTimer* timer_ = nullptr;
    uint64_t conn_ = 0;           // the open port's connection
    LinkCore core_;
};

} // namespace vel
