#pragma once
// The logger link's protocol engine: transmit queue, the sentence awaiting
// its reply, resends, line assembly and routing, reply parsing and answer
// answers. Plain C++, driven by one thread (the link worker): bytes in, bytes
// out, events out, and a deadline for the resend timer. Tests drive it
// without a port.
#include <cstdint>
#include <deque>
#include <functional>
#include <QByteArray>
#include <QList>
#include "logger/framing.h"
#include "logger/memory_reception.h"
#include "logger/replies.h"

namespace vel {

// What the link tells the main thread. conn and run name the connection and
// the run of queued sentences the event belongs to; the main thread drops
// events of a connection or run that is over.
struct LinkEvent {
    enum Kind {
        QueueDone,     // WM_COMQUEUEDONE: every queued sentence was answered
        ComError,      // WM_COMERROR: param 0 no "*", 1 checksum
        LoggerIdent,   // WM_LOGGERIDENT: identification with an empty queue
        ComProgress,   // WM_COMPROGRESS: one memory block stored
        RxLog,         // a line for the communication log
        TxLog,         // a resend for the communication log
        NmeaLine,      // a position sentence for the sentence monitor
        PortError,     // the port failed (gone, read or write error): the link is over
        LineQuiet,     // a cut-off line went quiet and its port is closed; param 1:
                       // download data still came at the limit
    };
    Kind kind = RxLog;
    int param = 0;
    QByteArray text;
    AnswerSlots answers;   // QueueDone and LoggerIdent: the answers as they stand
    uint64_t conn = 0;
    uint64_t run = 0;
};

class LinkCore {
public:
    static constexpr int64_t ReplyTimeoutMs = 300;
    static constexpr int MaxRetries = 5;

    using Writer = std::function<bool(const QByteArray&)>;
    using Poster = std::function<void(LinkEvent&&)>;

    LinkCore(Writer writer, Poster poster);

    // A port was opened for a probe state: queue, waits and line are new,
    // LoggerRelease is emptied; the other answers are kept.
    void Start(const ProbeFlags& probe, uint64_t conn);
    // The port is closed: nothing is sent or awaited any more.
    void Stop();
    bool Started() const { return started_; }

    // Queues sentence bodies and sends the head unless a sentence already
    // awaits its reply (then the reply sends the next).
    void Run(const QList<QByteArray>& bodies, uint64_t run, int64_t nowMs);
    // Empties the answers (all but LoggerRelease, and AnsQK4Set when kept).
    void ClearAnswers(bool keepQK4Set) { slots_.ClearAnswers(keepQK4Set); }
    // The logger was identified: its model's rules apply from now on (a QK3
    // accepted by the first probe attempt is not treated as a QK4).
    void SetModel(LoggerModel model);
    // A memory download begins (see MemoryReception::Begin) or ends.
    void BeginDownload(LoggerModel model, int firstFlag, int flagCount, const QByteArray& rateCode);
    void EndDownload() { mem_.End(); }
    const MemoryReception& Reception() const { return mem_; }

    // The conversation is cut off (an aborted download): nothing is sent or
    // stored any more, and what the logger still sends is read and dropped.
    // Only download data, memory lines and raw blocks, keeps the line busy:
    // a logger also sends its position several times a second.
    void BeginDrain(int64_t quietMs, int64_t limitMs, int64_t nowMs);
    bool Draining() const { return draining_; }
    enum class DrainState { Busy, Quiet, Overrun };
    // Quiet once no download data has come for quietMs (counted from the cut
    // at the earliest); Overrun when it still comes limitMs after the cut.
    DrainState DrainStateAt(int64_t nowMs) const;

    void OnBytes(QByteArrayView bytes, int64_t nowMs);
    // The resend timer fired (or any time: it checks the deadline itself).
    void OnTimer(int64_t nowMs);
    // When OnTimer has work to do, or -1 when no timer is needed.
    int64_t Deadline() const;

    const AnswerSlots& Slots() const { return slots_; }
    const QByteArray& CurCmd() const { return curCmd_; }
    bool AwaitReply() const { return awaitReply_; }
    int QueueSize() const { return int(queue_.size()); }

private:
    void Send(const QByteArray& body, int64_t nowMs);
    void SendHead(int64_t nowMs);
    void EndReplyWait(bool ident, int64_t nowMs);
    void HandleLine(const QByteArray& line, int64_t nowMs);
    void Post(LinkEvent::Kind kind, int param = 0, QByteArray text = {});
    void DataLine(const QByteArray& line, bool badSum, int64_t nowMs);
    void Apply(const ReceptionStep& step, int64_t nowMs);
    // Whether bytes of a cut-off line hold download data.
    bool DrainFeed(QByteArrayView bytes);

    Writer writer_;
    Poster poster_;
    bool started_ = false;
    ProbeFlags probe_;
    uint64_t conn_ = 0;
    uint64_t run_ = 0;
    std::deque<QByteArray> queue_;   // ComCmdQueue
    QByteArray curCmd_;
    int retries_ = 0;
    bool awaitReply_ = false;        // the resend timer runs
    bool outstanding_ = false;       // CurCmd is not answered yet
    bool valueSeen_ = false;         // a status value for CurCmd came before its acknowledgement
    int64_t lastSendMs_ = 0;
    // Last byte of a partly received reply line, or the end of a line that
    // answered part of CurCmd: the reply time-out counts from here.
    int64_t replyActivityMs_ = 0;
    LineAssembler rx_;
    AnswerSlots slots_;
    MemoryReception mem_;

    // A cut-off line: the head of the line now arriving ("$" and what
    // follows, until its kind is known) and whether it is download data.
    bool draining_ = false;
    int64_t drainStartMs_ = 0, lastDataMs_ = 0, quietMs_ = 0, limitMs_ = 0;
    QByteArray tailHead_;
    bool tailOpen_ = false;
    bool tailData_ = false;
};

} // namespace vel
