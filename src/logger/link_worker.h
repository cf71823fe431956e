#pragma once
// The thread that owns the logger's serial port: it opens and closes it,
// feeds the protocol engine with what arrives and writes what the engine
// sends. The main thread talks to it only through Post() and TakeEvents();
// both hand data over under a std::mutex, so nothing is shared otherwise.
#include <cstdint>
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
    enum Kind { Open, Close, Run, ClearAnswers, ClearQueue };
    Kind kind = Run;
    uint64_t conn = 0;
    std::string path;             // Open: the device path (UTF-8, a buffer of its own)
    ProbeFlags probe;             // Open
    QList<QByteArray> bodies;     // Run
    uint64_t run = 0;             // Run
    bool keepQK4Set = false;      // ClearAnswers
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

private slots:
    void Drain();
    void OnReadyRead();
    void OnTimer();

private:
    void Execute(LinkCommand& cmd);
    void ClosePort();
    void ArmTimer();
    static int64_t NowMs();

    std::function<void()> wakeMain_;
    std::mutex inMx_;
    std::deque<LinkCommand> inbox_;
    std::mutex outMx_;
    std::vector<LinkEvent> outbox_;

    // Worker thread only.
    QSerialPort* port_ = nullptr;
    QTimer* timer_ = nullptr;
    LinkCore core_;
};

} // namespace vel
