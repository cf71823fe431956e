#include "logger/memory_reception.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vel {

LoggerModel ModelOfRelease(QByteArrayView release) {
    if (release.startsWith("QK4,")) return LoggerModel::QK4;
    if (QByteArrayView(release).indexOf(",QK3") >= 0) return LoggerModel::QK3;
    return LoggerModel::Older;
}

namespace {

constexpr int64_t QK4Sentinel = 0xFFFFF0;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal text as the logger writes it; any other character counts as 0.
int64_t HexValue(QByteArrayView s) {
    int64_t v = 0;
    for (char c : s) v = (v << 4) + std::max(0, HexDigit(c));
    return v;
}

QByteArray Fmt(const char* f, long long a, long long b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

QByteArray HexRead(int64_t addr, const char* len) {
    return Fmt("PMTK182,7,%.8llX,", addr) + len;
}

QByteArray RawRead(int64_t addr) { return Fmt("PTSI870,7,%.8lld,1024", addr); }

// Address and length of a hexadecimal read request, -1 when it is none.
bool RequestOf(QByteArrayView curCmd, int64_t& addr, int64_t& len) {
    const QList<QByteArray> f = curCmd.toByteArray().split(',');
    if (f.size() < 4 || f[0] != "PMTK182" || f[1] != "7") return false;
    addr = HexValue(f[2].left(8));
    len = HexValue(f[3].left(8));
    return true;
}

// "$PMTK182,8,AAAAAAAA,DD..DD*hh": eight address digits, a comma and whole
// bytes, all hexadecimal. A well-summed line that breaks this is damaged:
// its stray characters would otherwise be stored as zeros.
bool WellFormed(QByteArrayView line) {
    const qsizetype size = line.size();
    if (size < 23 || line[19] != ',' || (size - 23) % 2 != 0) return false;
    for (qsizetype i = 11; i < size - 3; ++i)
        if (i != 19 && HexDigit(line[i]) < 0) return false;
    return true;
}

} // namespace

bool MemoryReception::AnswersRead(QByteArrayView line, QByteArrayView curCmd) {
    int64_t r = 0, len = 0;
    if (!RequestOf(curCmd, r, len)) return false;
    if (line.size() < 23 || line[19] != ',') return false;
    const int64_t a = HexValue(line.sliced(11, 8));
    return a >= r && a < r + std::max<int64_t>(len, 1);
}

void MemoryReception::Begin(LoggerModel model, int firstFlag, int flagCount, const QByteArray& rateCode) {
    model_ = model;
    rate_ = rateCode;
    if (image_.size() != size_t(LoggerMemoryBytes)) image_.resize(size_t(LoggerMemoryBytes));
    std::fill(image_.begin(), image_.end(), uint8_t(0xFF));
    pending_.fill(0);
    rereads_.fill(0);
    const int first = std::clamp(firstFlag, 0, PendingFlagCount);
    const int last = std::clamp(firstFlag + std::max(flagCount, 0), 0, PendingFlagCount);
    for (int i = first; i < last; ++i) pending_[size_t(i)] = 1;
    qk4BlocksDone_.store(0, std::memory_order_relaxed);
    rawMode_ = false;
    binState_ = 0;
    active_ = true;
    done_ = false;
    sentinelsSent_ = staleSentinels_ = 0;
}

void MemoryReception::End() {
    active_ = false;
    rawMode_ = false;
}

int MemoryReception::PendingCount() const {
    return int(std::count(pending_.begin(), pending_.end(), uint8_t(1)));
}

int MemoryReception::ClearCovered(int64_t addr, int64_t n, int flagBytes) {
    int cleared = 0;
    const int64_t first = (addr + flagBytes - 1) / flagBytes;
    const int64_t end = (addr + n) / flagBytes;
    for (int64_t i = first; i < end && i < PendingFlagCount; ++i) {
        if (i < 0) continue;
        if (pending_[size_t(i)]) ++cleared;
        pending_[size_t(i)] = 0;
    }
    return cleared;
}

bool MemoryReception::CountReread(int64_t addr, int flagBytes) {
    const int64_t i = addr / flagBytes;
    if (i < 0 || i >= PendingFlagCount) return true;
    return ++rereads_[size_t(i)] <= MaxRereads;
}

QByteArray MemoryReception::Restore() const {
    if (rate_ == "1") return "PMTK300,100,0,0,0,0";
    if (rate_ == "5") return "PMTK300,500,0,0,0,0";
    return "PMTK300,200,0,0,0,0";
}

void MemoryReception::QueueSweep(ReceptionStep& step, SweepRead read) {
    for (int i = 0; i < PendingFlagCount; ++i) {
        if (!pending_[size_t(i)]) continue;
        const int64_t addr = int64_t(i) * 1024;
        if (!CountReread(addr, 1024)) {
            step.next = ReceptionStep::Fail;
            step.log = Fmt("MTK log read failed. %.8llX", addr);
            return;
        }
        switch (read) {
        case SweepRead::Hex1K: step.queue << HexRead(addr, "400"); break;
        case SweepRead::Raw1K: step.queue << RawRead(addr); break;
        case SweepRead::Hex2K:
            step.queue << HexRead(addr, "800");
            ++i;   // the 2 KiB read covers the next block too
            break;
        }
    }
}

ReceptionStep MemoryReception::OnDataLine(QByteArrayView line, bool badSum, QByteArrayView curCmd,
                                          bool queueEmpty) {
    ReceptionStep step;
    if (!active_ || done_) return step;
    int64_t r = 0, len = 0;
    const bool asked = RequestOf(curCmd, r, len);

    // $PMTK182,8,AAAAAAAA,DD..DD*hh
    const qsizetype size = line.size();
    const bool malformed = !WellFormed(line);
    if (badSum || malformed) {
        // A damaged line is not stored: the block is read again. A well-summed
        // line that breaks the format is damaged as well; passing it over
        // would let its acknowledgement end the read with the block missing.
        switch (model_) {
        case LoggerModel::QK4:
            // Its block stays pending; the sentinel's sweep reads it again.
            step.log = badSum ? "QK4 MTK checksum error." : "MTK log line malformed.";
            step.next = ReceptionStep::SendHeadIfAny;   // the logger answers: the sentinel may follow
            return step;
        case LoggerModel::QK3:
            step.log = badSum ? "MTK checksum error." : "MTK log line malformed.";
            if (!asked) return step;
            if (!CountReread(r, 1024)) {
                step.next = ReceptionStep::Fail;
                return step;
            }
            step.queue << HexRead(r, "400");
            if (len > 1024) step.queue << HexRead(r + 1024, "400");
            return step;
        case LoggerModel::Older:
            if (!asked) return step;
            step.log = Fmt(badSum ? "MTK checksum error. %.8llX" : "MTK log line malformed. %.8llX", r);
            if (!CountReread(r, 1024)) {
                step.next = ReceptionStep::Fail;
                return step;
            }
            // The re-read goes before the fix-interval restore that ends the plan.
            step.dropQueueTail = true;
            step.queue << HexRead(r, "800") << Restore();
            return step;
        }
    }

    const int64_t a = HexValue(line.sliced(11, 8));
    const int64_t n = (size - 23) / 2;
    if (a + n > LoggerMemoryBytes) {
        step.log = Fmt("MTK log out of range. %.8llX,%llX", a, n);
        return step;
    }

    if (model_ == LoggerModel::QK3 && asked && a != r) {
        if (!CountReread(r, 1024)) {
            step.next = ReceptionStep::Fail;
            return step;
        }
        step.queue << HexRead(r, "400");
        if (len > 1024) step.queue << HexRead(r + 1024, "400");
    }
    const char* hex = line.data() + 20;
    uint8_t* out = image_.data() + a;
    for (int64_t i = 0; i < n; ++i) out[i] = uint8_t((HexDigit(hex[2 * i]) << 4) | HexDigit(hex[2 * i + 1]));
    step.stored = true;
    if (n < 2048) step.log = Fmt("MTK log start. %.8llX,%llX", a, n);
    else if (a % 65536 == 0) step.log = Fmt("MTK log start. %.8llX", a);

    switch (model_) {
    case LoggerModel::QK4: {
        const int cleared = ClearCovered(a, n, 2048);
        if (cleared) qk4BlocksDone_.fetch_add(cleared, std::memory_order_relaxed);
        if (a != QK4Sentinel) {
            // The logger answers in order: copies of an older sentinel came
            // before this, or never will.
            staleSentinels_ = 0;
            step.next = ReceptionStep::SendHeadIfAny;
            return step;
        }
        if (staleSentinels_ > 0) {
            // Another copy of a sentinel already answered (it was resent while
            // the logger was silent): its sweep is under way, a second one
            // would read the same blocks again.
            --staleSentinels_;
            step.log = "QK4 repeated sentinel answer passed over.";
            return step;
        }
        staleSentinels_ = std::max(0, sentinelsSent_ - 1);
        sentinelsSent_ = 0;
        // The sentinel's answer: every earlier answer has come, so what is
        // still pending was lost. Four re-reads, then the sentinel again.
        int sent = 0;
        for (int i = 0; i < PendingFlagCount && sent < 4; ++i) {
            if (!pending_[size_t(i)]) continue;
            const int64_t addr = int64_t(i) * 2048;
            if (!CountReread(addr, 2048)) {
                step.next = ReceptionStep::Fail;
                step.log = Fmt("MTK log read failed. %.8llX", addr);
                return step;
            }
            step.sendNow << Fmt("PMTK182,7,%llX,800", addr);
            ++sent;
        }
        if (sent) {
            step.sendNow << SentinelRead;
        } else {
            done_ = true;
            step.next = ReceptionStep::Complete;
        }
        return step;
    }
    case LoggerModel::QK3:
        ClearCovered(a, n, 1024);
        if (queueEmpty && step.queue.isEmpty()) QueueSweep(step, SweepRead::Hex1K);
        if (step.next == ReceptionStep::Fail) return step;
        // A short answer ends the wait by itself; a full one waits for its acknowledgement.
        step.next = n < 2048 ? ReceptionStep::EndWait : ReceptionStep::Wait;
        return step;
    case LoggerModel::Older:
        ClearCovered(a, n, 1024);
        return step;
    }
    return step;
}

ReceptionStep MemoryReception::RereadPending(bool raw) {
    ReceptionStep step;
    // An older logger reads 2 KiB at a time.
    QueueSweep(step, model_ != LoggerModel::QK3 ? SweepRead::Hex2K : raw ? SweepRead::Raw1K : SweepRead::Hex1K);
    return step;
}

void MemoryReception::OnSend(QByteArrayView body) {
    if (active_ && body == SentinelRead) ++sentinelsSent_;
    if (!body.startsWith("PTSI870,7,") || !active_ || done_) {
        rawMode_ = false;
        return;
    }
    rawMode_ = true;
    binState_ = 0;
    binByteCount_ = 0;
    const QList<QByteArray> f = body.toByteArray().split(',');
    if (f.size() < 4) {
        binExpectAddr_ = 0;
        binBlockLen_ = RawBlockMax;
    } else {
        binExpectAddr_ = f[2].toLongLong();
        binBlockLen_ = f[3].toInt();
    }
    if (binBlockLen_ <= 0 || binBlockLen_ > RawBlockMax || binExpectAddr_ < 0 ||
        binExpectAddr_ + binBlockLen_ > LoggerMemoryBytes)
        binState_ = 99;
}

bool MemoryReception::OnRawByte(char c, bool queueEmpty, ReceptionStep& step) {
    switch (binState_) {
    case 0:
        if (c == '$') {
            binState_ = 1;
            binHeader_.clear();
        } else if (c != '\r' && c != '\n') {
            // The rest of a line begun before the read went out.
            binState_ = 5;
        }
        return false;
    case 1:
        if (binHeader_.isEmpty() && c != ',' && HexDigit(c) < 0) {
            // A sentence, not a block: the logger's position comes several
            // times a second, also between a read and its block.
            binState_ = 5;
        } else if (c == ',') {
            // A header of 1 to 8 hexadecimal digits.
            if (binHeader_.isEmpty()) {
                binState_ = 99;
                return false;
            }
            binRecvAddr_ = HexValue(binHeader_);
            binByteCount_ = 0;
            binState_ = 2;
        } else if (HexDigit(c) < 0 || binHeader_.size() >= 8) {
            binState_ = 99;
        } else {
            binHeader_ += c;
        }
        return false;
    case 2:
        // Staged: the block goes into the image only when its frame is whole.
        staged_[size_t(binByteCount_)] = uint8_t(c);
        if (++binByteCount_ >= binBlockLen_) binState_ = 3;
        return false;
    case 3:
        binState_ = c == '\r' ? 4 : 99;
        return false;
    case 4:
        if (c != '\n') {
            binState_ = 99;
            return false;
        }
        step = RawBlockDone(queueEmpty);
        return true;
    case 5:
        if (c == '\n') binState_ = 0;
        return false;
    default:
        return false;
    }
}

ReceptionStep MemoryReception::RawBlockDone(bool queueEmpty) {
    ReceptionStep step;
    binState_ = 0;
    const bool inside = binRecvAddr_ + binByteCount_ <= LoggerMemoryBytes;
    const bool asked = inside && binRecvAddr_ == binExpectAddr_;
    // A block for another address (an earlier read answered twice or late)
    // is kept, but the read now asked for still waits for its own block:
    // ending its wait would take every later block as the answer to the
    // request after it. The receiver stays armed for it.
    rawMode_ = !asked;
    if (inside) {
        std::memcpy(image_.data() + binRecvAddr_, staged_.data(), size_t(binByteCount_));
        step.stored = true;
    }
    if (!asked) {
        if (!CountReread(binExpectAddr_, 1024)) {
            step.next = ReceptionStep::Fail;
            step.log = Fmt("MTK log read failed. %.8llX", binExpectAddr_);
            return step;
        }
        step.queue << RawRead(binExpectAddr_);
    }
    if (inside) ClearCovered(binRecvAddr_, binByteCount_, 1024);
    if (queueEmpty && step.queue.isEmpty()) QueueSweep(step, SweepRead::Raw1K);
    if (step.next == ReceptionStep::Fail) return step;
    if (inside && binRecvAddr_ % 65536 == 0) step.log = Fmt("MTK logbin start. %.8llX", binRecvAddr_);
    step.next = asked ? ReceptionStep::EndWait : ReceptionStep::Wait;
    return step;
}

} // namespace vel
