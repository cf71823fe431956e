#pragma once
// Memory download reception: hexadecimal data lines and raw blocks stored
// into the link's image at the logger's addresses, the per-block pending
// flags, and the re-reads of damaged, misplaced or missing blocks. Plain
// C++, driven by the link's protocol engine in the worker thread; each call
// says what the engine should queue, send or end.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace vel {

enum class LoggerModel { QK4, QK3, Older };
// A QK4 when the identification begins "QK4,", a QK3 when it contains ",QK3".
LoggerModel ModelOfRelease(QByteArrayView release);

constexpr int64_t LoggerMemoryBytes = 16 * 1024 * 1024;
constexpr int PendingFlagCount = 8192;
constexpr int RawBlockMax = 4096;

// What the engine does after a piece of memory data.
struct ReceptionStep {
    enum Next {
        Wait,            // nothing: an acknowledgement or more data follows
        SendHeadIfAny,   // send the queue's head if there is one
        EndWait,         // end the reply wait (next head, or the queue is done)
        Complete,        // the download is complete
        Fail,            // a block cannot be read: the communication failed
    };
    bool dropQueueTail = false;   // first remove the queue's last entry
    QList<QByteArray> queue;      // then append these
    QList<QByteArray> sendNow;    // sent at once, in order, outside the queue
    Next next = Wait;
    bool stored = false;          // data was stored (WM_COMPROGRESS)
    QByteArray log;               // a line for the communication log
};

class MemoryReception {
public:
    // Re-reads of one block before the download is given up.
    static constexpr int MaxRereads = 6;
    // A QK4's last read: its answer comes after every earlier one.
    static constexpr const char* SentinelRead = "PMTK182,7,FFFFF0,10";

    // A download begins: the image is erased (FF), flags first to
    // first + count - 1 are set (1 KiB blocks, or 2 KiB for a QK4), and
    // rateCode is the logger's rate code (the restore of older loggers).
    void Begin(LoggerModel model, int firstFlag, int flagCount, const QByteArray& rateCode);
    // No more data is taken.
    void End();
    bool Active() const { return active_; }
    LoggerModel Model() const { return model_; }

    // A line with sub-id "182,8,"; badSum when its checksum was wrong. curCmd
    // is the request being answered, queueEmpty whether the transmit queue is.
    ReceptionStep OnDataLine(QByteArrayView line, bool badSum, QByteArrayView curCmd, bool queueEmpty);

    // The reads of every block still pending, once the planned reads are all
    // answered (QK3 and older loggers; raw for a QK3 reading raw blocks), or
    // Fail when a block was read too often.
    ReceptionStep RereadPending(bool raw);

    // Whether a data line's address lies inside the hexadecimal read curCmd
    // asks for (a late copy of an earlier answer does not).
    static bool AnswersRead(QByteArrayView line, QByteArrayView curCmd);

    // Raw blocks: a "PTSI870,7,..." request arms the receiver, any other send disarms it.
    void OnSend(QByteArrayView body);
    bool RawMode() const { return rawMode_; }
    // One received byte while RawMode(); true when a block ended (step filled).
    bool OnRawByte(char c, bool queueEmpty, ReceptionStep& step);
    // A raw block's frame is under way (a header digit has come): its bytes
    // keep the wait alive. A line that is no block (a position sentence)
    // does not.
    bool RawBlockUnderWay() const {
        return rawMode_ && ((binState_ >= 2 && binState_ <= 4) || (binState_ == 1 && !binHeader_.isEmpty()));
    }

    const uint8_t* Image() const { return image_.data(); }
    bool Pending(int flag) const { return flag >= 0 && flag < PendingFlagCount && pending_[size_t(flag)]; }
    int PendingCount() const;
    // Complete 2 KiB blocks of a QK4 (progress; any thread).
    int QK4BlocksDone() const { return qk4BlocksDone_.load(std::memory_order_relaxed); }
    void ClearFlags() { pending_.fill(0); }

private:
    // Flags of the blocks of flagBytes wholly inside [addr, addr + n) cleared.
    int ClearCovered(int64_t addr, int64_t n, int flagBytes);
    // Counts a re-read of the block at addr; false once it was read too often.
    bool CountReread(int64_t addr, int flagBytes);
    // Queues a read of every pending block, in order, each counted as a
    // re-read; Fail once a block was read too often.
    enum class SweepRead { Hex1K, Raw1K, Hex2K };
    void QueueSweep(ReceptionStep& step, SweepRead read);
    QByteArray Restore() const;
    ReceptionStep RawBlockDone(bool queueEmpty);

    bool active_ = false;
    bool done_ = false;
    LoggerModel model_ = LoggerModel::QK4;
    QByteArray rate_;
    std::vector<uint8_t> image_;
    std::array<uint8_t, PendingFlagCount> pending_{};
    std::array<uint8_t, PendingFlagCount> rereads_{};
    std::atomic<int> qk4BlocksDone_{0};
    // Sentinel reads sent (resends too) since the last sweep, and copies of
    // the swept sentinel whose answers are still to be passed over.
    int sentinelsSent_ = 0;
    int staleSentinels_ = 0;

    // Raw-block receiver.
    bool rawMode_ = false;
    int binState_ = 0;                 // 0 to 4, 5 = a line that is no block, or 99 = broken frame
    QByteArray binHeader_;
    int64_t binRecvAddr_ = 0, binExpectAddr_ = 0;
    int binBlockLen_ = 0, binByteCount_ = 0;
    std::array<uint8_t, RawBlockMax> staged_{};
};

} // namespace vel
