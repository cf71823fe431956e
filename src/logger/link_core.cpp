#include "logger/link_core.h"

#include <algorithm>

namespace vel {

LinkCore::LinkCore(Writer writer, Poster poster)
    : writer_(std::move(writer)), poster_(std::move(poster)) {}

void LinkCore::Start(const ProbeFlags& probe, uint64_t conn) {
    started_ = true;
    probe_ = probe;
    conn_ = conn;
    run_ = 0;
    queue_.clear();
    curCmd_.clear();
    retries_ = 0;
    awaitReply_ = outstanding_ = valueSeen_ = false;
    rx_.Reset();
    slots_.LoggerRelease.clear();
    draining_ = false;
}

void LinkCore::Stop() {
    started_ = false;
    draining_ = false;
    mem_.End();
    queue_.clear();
    awaitReply_ = outstanding_ = false;
    rx_.Reset();
}

void LinkCore::Post(LinkEvent::Kind kind, int param, QByteArray text) {
    LinkEvent ev;
    ev.kind = kind;
    ev.param = param;
    ev.text = std::move(text);
    ev.conn = conn_;
    ev.run = run_;
    if (kind == LinkEvent::QueueDone || kind == LinkEvent::LoggerIdent) ev.answers = slots_;
    poster_(std::move(ev));
}

void LinkCore::Send(const QByteArray& body, int64_t nowMs) {
    // The wait is set before the write so that a fast reply finds it.
    awaitReply_ = true;
    outstanding_ = true;
    valueSeen_ = false;
    lastSendMs_ = nowMs;
    replyActivityMs_ = nowMs;
    mem_.OnSend(body);
    writer_(FrameSentence(body));
}

void LinkCore::SetModel(LoggerModel model) {
    if (model != LoggerModel::QK4) probe_.ProbeQK4 = false;
}

void LinkCore::BeginDownload(LoggerModel model, int firstFlag, int flagCount, const QByteArray& rateCode) {
    mem_.Begin(model, firstFlag, flagCount, rateCode);
}

void LinkCore::DataLine(const QByteArray& line, bool badSum, int64_t nowMs) {
    if (!mem_.Active()) return;
    // Only data of the read now asked for lets its acknowledgement end the
    // wait: a late copy of an earlier answer (after a resend) brings its own
    // acknowledgement, which would otherwise end this read's wait early and
    // leave every later answer one request behind.
    const bool answers = outstanding_ && MemoryReception::AnswersRead(line, curCmd_);
    if (answers) valueSeen_ = true;
    ReceptionStep step = mem_.OnDataLine(line, badSum, curCmd_, queue_.empty());
    // The same for a short answer, which ends the wait by itself: a late copy
    // of an earlier short answer is stored, but ends nothing.
    if (step.next == ReceptionStep::EndWait && !answers) step.next = ReceptionStep::Wait;
    Apply(step, nowMs);
}

void LinkCore::Apply(const ReceptionStep& step, int64_t nowMs) {
    // Data keeps the reply wait alive: the resend timer counts from here.
    replyActivityMs_ = nowMs;
    if (step.dropQueueTail && !queue_.empty()) queue_.pop_back();
    for (const QByteArray& b : step.queue) queue_.push_back(b);
    if (!step.log.isEmpty()) Post(LinkEvent::RxLog, 0, step.log);
    if (step.stored) Post(LinkEvent::ComProgress);
    for (const QByteArray& b : step.sendNow) {
        curCmd_ = b;
        retries_ = 0;
        Send(b, nowMs);
    }
    switch (step.next) {
    case ReceptionStep::Wait: break;
    case ReceptionStep::SendHeadIfAny:
        if (!queue_.empty()) SendHead(nowMs);
        break;
    case ReceptionStep::EndWait: EndReplyWait(false, nowMs); break;
    case ReceptionStep::Complete:
        awaitReply_ = outstanding_ = false;
        Post(LinkEvent::QueueDone);
        break;
    case ReceptionStep::Fail:
        // A block that cannot be read: the connection is given up.
        mem_.End();
        queue_.clear();
        awaitReply_ = outstanding_ = false;
        Post(LinkEvent::ComError, 1);
        break;
    }
}

void LinkCore::SendHead(int64_t nowMs) {
    curCmd_ = queue_.front();
    queue_.pop_front();
    retries_ = 0;
    Send(curCmd_, nowMs);
}

void LinkCore::Run(const QList<QByteArray>& bodies, uint64_t run, int64_t nowMs) {
    if (!started_ || draining_) return;
    run_ = run;
    for (const QByteArray& b : bodies) queue_.push_back(b);
    if (!outstanding_ && !queue_.empty()) SendHead(nowMs);
}

namespace {
bool IsMemoryRead(const QByteArray& body) {
    return body.startsWith("PMTK182,7,") || body.startsWith("PTSI870,7,");
}
} // namespace

void LinkCore::EndReplyWait(bool ident, int64_t nowMs) {
    awaitReply_ = false;
    outstanding_ = false;
    // The last planned read is answered. A download completes only with no
    // block pending: what is still missing (a short or malformed answer) is
    // read again first, before an older logger's fix-interval restore.
    if (mem_.Active() && mem_.Model() != LoggerModel::QK4 && IsMemoryRead(curCmd_) &&
        (queue_.empty() || !IsMemoryRead(queue_.front())) && mem_.PendingCount() > 0) {
        const ReceptionStep step = mem_.RereadPending(curCmd_.startsWith("PTSI870,"));
        if (step.next == ReceptionStep::Fail) {
            Apply(step, nowMs);
            return;
        }
        queue_.insert(queue_.begin(), step.queue.begin(), step.queue.end());
    }
    if (!queue_.empty()) {
        SendHead(nowMs);
        return;
    }
    Post(ident ? LinkEvent::LoggerIdent : LinkEvent::QueueDone);
}

namespace {
constexpr QByteArrayView DataLineHead("$PMTK182,8,");
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
} // namespace

void LinkCore::BeginDrain(int64_t quietMs, int64_t limitMs, int64_t nowMs) {
    if (!started_) return;
    draining_ = true;
    drainStartMs_ = lastDataMs_ = nowMs;
    quietMs_ = quietMs;
    limitMs_ = limitMs;
    queue_.clear();
    awaitReply_ = outstanding_ = false;
    // The line now arriving goes on: the rest of a raw block under way is
    // data, a partial line is known by its head.
    tailHead_.clear();
    tailOpen_ = false;
    tailData_ = mem_.RawBlockUnderWay();
    if (!tailData_) DrainFeed(rx_.Partial());
    rx_.Reset();
    mem_.End();
}

bool LinkCore::DrainFeed(QByteArrayView bytes) {
    bool data = false;
    for (char c : bytes) {
        if (c == '$') {
            tailHead_ = "$";
            tailOpen_ = true;
            tailData_ = false;
            continue;
        }
        if (tailOpen_) {
            tailHead_ += c;
            if (tailHead_.size() == 2 && IsHexDigit(c)) {
                tailData_ = true;   // "$" and an address: a raw block
                tailOpen_ = false;
            } else if (tailHead_ == DataLineHead) {
                tailData_ = true;   // a memory line
                tailOpen_ = false;
            } else if (!DataLineHead.startsWith(tailHead_)) {
                tailOpen_ = false;  // a position sentence or any other
            }
        }
        // A raw block's bytes are any: they count up to the next "$".
        data = data || tailData_;
    }
    return data;
}

LinkCore::DrainState LinkCore::DrainStateAt(int64_t nowMs) const {
    if (!draining_) return DrainState::Quiet;
    if (nowMs >= lastDataMs_ + quietMs_) return DrainState::Quiet;
    if (nowMs >= drainStartMs_ + limitMs_) return DrainState::Overrun;
    return DrainState::Busy;
}

void LinkCore::OnBytes(QByteArrayView bytes, int64_t nowMs) {
    if (!started_) return;
    if (draining_) {
        if (DrainFeed(bytes)) lastDataMs_ = nowMs;
        return;
    }
    for (char c : bytes) {
        if (mem_.RawMode()) {
            ReceptionStep step;
            if (mem_.OnRawByte(c, queue_.empty(), step)) Apply(step, nowMs);
            else if (mem_.RawBlockUnderWay()) replyActivityMs_ = nowMs;
            if (!started_) return;
            continue;
        }
        switch (rx_.Feed(c)) {
        case LineAssembler::Event::None: break;
        case LineAssembler::Event::Line: HandleLine(rx_.Line(), nowMs); break;
        case LineAssembler::Event::Broken: Post(LinkEvent::RxLog, 0, "<break>" + rx_.Broken()); break;
        case LineAssembler::Event::Cut:
            Post(LinkEvent::RxLog, 0, "Line too long, cut. " + rx_.Broken());
            break;
        }
        if (!started_) return;
    }
    if (rx_.ReplyInProgress()) replyActivityMs_ = nowMs;
}

void LinkCore::HandleLine(const QByteArray& line, int64_t nowMs) {
    ReplyAction a;
    switch (RouteLine(line)) {
    case LineRoute::Drop: return;
    case LineRoute::Nmea: Post(LinkEvent::NmeaLine, 0, line); return;
    case LineRoute::Pmtk: a = ParsePmtkLine(line, slots_, probe_); break;
    case LineRoute::Ptsi: a = ParsePtsiLine(line, slots_); break;
    }
    if (!a.log.isEmpty()) Post(LinkEvent::RxLog, 0, a.log);
    switch (a.kind) {
    case ReplyAction::Log:
    case ReplyAction::Rejected:
        return;
    case ReplyAction::FrameError:
        if (a.postError) {
            // The connection is aborted: nothing more is sent on it.
            queue_.clear();
            awaitReply_ = outstanding_ = false;
            Post(LinkEvent::ComError, a.errorCode);
        }
        return;
    case ReplyAction::DataLine:
        DataLine(line, a.badSum, nowMs);
        return;
    case ReplyAction::Value:
        if (outstanding_ && ReplyAnswers(curCmd_, line)) {
            valueSeen_ = true;
            replyActivityMs_ = nowMs;   // the answer is under way: its end follows
        }
        return;
    case ReplyAction::EndWait:
    case ReplyAction::Ident: {
        // Late, duplicated or unasked replies end no wait.
        if (!outstanding_ || !ReplyAnswers(curCmd_, line)) return;
        // A status value or memory data must come before the acknowledgement
        // that ends the wait; a stray acknowledgement (after a short answer
        // that ended the wait by itself) is passed over.
        const bool memRead = mem_.Active() && curCmd_.startsWith("PMTK182,7,");
        if (memRead && mem_.Model() == LoggerModel::QK4) {
            // A QK4's download ends at the sentinel's answer, never at an
            // acknowledgement. But a read answered by its acknowledgement
            // alone (an empty memory has nothing to send) is over: the
            // sentinel goes out and finds nothing pending.
            if (valueSeen_ || curCmd_ == MemoryReception::SentinelRead) return;
            EndReplyWait(false, nowMs);
            return;
        }
        const bool needsValue = curCmd_.startsWith("PMTK182,2,") || memRead;
        if (needsValue && !valueSeen_) return;
        EndReplyWait(a.kind == ReplyAction::Ident, nowMs);
        return;
    }
    }
}

int64_t LinkCore::Deadline() const {
    if (started_ && draining_) return std::min(lastDataMs_ + quietMs_, drainStartMs_ + limitMs_);
    if (!started_ || !awaitReply_ || !probe_.Any()) return -1;
    return std::max(lastSendMs_, replyActivityMs_) + ReplyTimeoutMs + 1;
}

void LinkCore::OnTimer(int64_t nowMs) {
    if (draining_) return;
    const int64_t d = Deadline();
    if (d < 0 || nowMs < d) return;
    awaitReply_ = false;
    if (retries_ >= MaxRetries) return;   // the watchdog takes over
    ++retries_;
    // The memory erase is never sent twice.
    if (curCmd_.contains("PMTK182,6,1")) return;
    Post(LinkEvent::TxLog, 0, "R)" + curCmd_);
    // A partly received line is kept: its end may still come.
    Send(curCmd_, nowMs);
}

} // namespace vel
