// Memory download reception: data lines (whole, damaged or made of the
// input's bytes) and raw blocks fed into the image, with these promises
// checked after every step:
// - no byte of the image changes and no pending flag is cleared unless a
//   checksum-valid, well-formed data line or a whole raw block covers it,
//   and what a step says it stored is exactly what came;
// - no download is reported complete while a flag is pending;
// - a line said to answer a read lies inside that read, and a damaged one
//   is read again.
#include <cstring>
#include <vector>
#include "fuzz_script.h"
#include "logger/framing.h"
#include "logger/memory_reception.h"
#include "logger/replies.h"

using namespace vel;
using vel::fuzz::Fmt;
using vel::fuzz::Script;

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool AllHex(QByteArrayView s) {
    for (char c : s)
        if (HexDigit(c) < 0) return false;
    return !s.isEmpty();
}

// As the link reads a request's fields: a stray character counts as 0.
int64_t HexOf(QByteArrayView s) {
    int64_t v = 0;
    for (char c : s) v = v * 16 + std::max(0, HexDigit(c));
    return v;
}

// A span of the image some input may rightly fill, and what it brings
// (empty when its text was not all hexadecimal).
struct Delivery {
    int64_t addr = 0;
    int64_t n = -1;   // -1: none
    QByteArray bytes;
};

// "...,AAAAAAAA,DD..DD*hh" past the sentence's name (the reply parser's
// part): eight hexadecimal address digits, a comma, whole bytes of
// hexadecimal data.
bool ShapeOk(QByteArrayView line) {
    if (line.size() < 23 || line[19] != ',' || (line.size() - 23) % 2) return false;
    return AllHex(line.sliced(11, 8)) && (line.size() == 23 || AllHex(line.sliced(20, line.size() - 23)));
}

bool WellFormed(QByteArrayView line) { return line.startsWith("$PMTK182,8,") && ShapeOk(line); }

// The span of a checksum-valid, well-formed data line; none for any other.
Delivery OfDataLine(QByteArrayView line, bool badSum) {
    Delivery d;
    if (badSum || CheckFrame(line) != FrameCheck::Ok || !WellFormed(line)) return d;
    const QByteArrayView hex = line.sliced(20, line.size() - 23);
    d.addr = HexOf(line.sliced(11, 8));
    d.n = hex.size() / 2;
    if (d.addr + d.n > LoggerMemoryBytes) return Delivery{};
    d.bytes = QByteArray::fromHex(hex.toByteArray());
    return d;
}

struct Harness {
    MemoryReception rx;
    int flagBytes = 1024;
    std::vector<uint8_t> shadow;   // the image as the promises allow it
    std::array<uint8_t, PendingFlagCount> flags{};
    // Raw blocks: the request's address and length, and the bytes fed since.
    int64_t rawLen = 0;
    QByteArray rawSeen;

    void Snapshot() {
        for (int i = 0; i < PendingFlagCount; ++i) flags[size_t(i)] = rx.Pending(i) ? 1 : 0;
    }

    // After a step that may have filled d: the flags it cleared lie inside
    // d, and what it stored is what d brought.
    void Check(const Delivery& d, const ReceptionStep& step) {
        for (int i = 0; i < PendingFlagCount; ++i) {
            if (!flags[size_t(i)] || rx.Pending(i)) continue;
            const int64_t lo = int64_t(i) * flagBytes, hi = lo + flagBytes;
            if (d.n < 0 || lo < d.addr || hi > d.addr + d.n) vel::fuzz::Fail("flag cleared by nothing covering its block");
        }
        if (step.stored && d.n < 0) vel::fuzz::Fail("stored without a valid line or whole block");
        if (d.n > 0 && step.stored && d.bytes.size() == d.n) {
            if (std::memcmp(rx.Image() + d.addr, d.bytes.constData(), size_t(d.n)) != 0)
                vel::fuzz::Fail("stored bytes differ from those received");
        }
        if (d.n > 0) std::memcpy(shadow.data() + d.addr, rx.Image() + d.addr, size_t(d.n));
        if (step.next == ReceptionStep::Complete && rx.PendingCount() != 0)
            vel::fuzz::Fail("complete while a block is pending");
    }

    // Only the spans of valid lines and whole blocks ever changed.
    void CheckImage() {
        if (std::memcmp(rx.Image(), shadow.data(), shadow.size()) != 0)
            vel::fuzz::Fail("image changed outside what valid data covered");
    }
};

QByteArray DataLine(Script& in, int flagBytes) {
    const uint8_t a = in.Byte(), l = in.Byte(), seed = in.Byte();
    int64_t addr = (a & 31) * 1024;
    if (a & 0x40) addr += seed % 64;        // not on a block's start
    if ((a & 0xE0) == 0xE0) addr = 0xFFFFF0;   // the QK4 sentinel
    static const int lens[] = {2048, 1024, 16, 0, 1, 2047, 4096, 512};
    const int n = lens[l & 7];
    (void)flagBytes;
    QByteArray body = Fmt("PMTK182,8,%.8llX,", addr) + vel::fuzz::Hex(vel::fuzz::Payload(seed, n));
    QByteArray line = FrameSentence(body).chopped(2);
    if (l & 0x08) line[1 + (seed % (line.size() - 1))] ^= char(1 + (l >> 4));   // damaged on the way
    return line;
}

// Raw blocks are asked of a QK3 only.
QByteArray Request(Script& in, LoggerModel model) {
    const uint8_t k = in.Byte(), a = in.Byte();
    const int64_t addr = (a & 31) * 1024;
    switch (k % 6) {
    case 0: return Fmt("PMTK182,7,%.8llX,800", addr);
    case 1: return Fmt("PMTK182,7,%.8llX,400", addr);
    case 2: return Fmt("PMTK182,7,%llX,2000", addr);
    case 3: return "PMTK182,7,FFFFF0,10";
    case 4:
        if (model == LoggerModel::QK3) return Fmt("PTSI870,7,%.8lld,1024", addr);
        return Fmt("PMTK182,7,%.8llX,800", addr);
    default: {
        QByteArray b = in.Bytes(k >> 3);
        if (model != LoggerModel::QK3 && b.startsWith("PTSI870,7,")) b[0] = 'X';
        return b;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness* h = new Harness;
    Script in(data, size);
    const uint8_t m = in.Byte();
    const LoggerModel model = m % 3 == 0 ? LoggerModel::QK4 : m % 3 == 1 ? LoggerModel::QK3 : LoggerModel::Older;
    h->flagBytes = model == LoggerModel::QK4 ? 2048 : 1024;
    const int first = in.Byte() % 16, count = 1 + in.Byte() % 16;
    h->rx.Begin(model, first, count, QByteArray(1, char('1' + in.Byte() % 5)));
    h->shadow.assign(size_t(LoggerMemoryBytes), 0xFF);
    h->rawLen = 0;
    h->rawSeen.clear();
    QByteArray curCmd = Fmt("PMTK182,7,%.8llX,800", int64_t(first) * h->flagBytes);

    for (int step = 0; step < 64 && !in.Done(); ++step) {
        const uint8_t op = in.Byte();
        h->Snapshot();
        switch (op % 5) {
        case 0:   // a data line of the logger's form, maybe damaged
        case 1: {  // or of the input's own bytes
            QByteArray line = op % 5 == 0 ? DataLine(in, h->flagBytes) : "$PMTK182,8," + in.Bytes(in.Byte());
            // The reply parser decides, as on the link.
            AnswerSlots answers;
            const ReplyAction a = ParsePmtkLine(line, answers, ProbeFlags::All());
            if (a.kind != ReplyAction::DataLine) break;
            const bool inRead = MemoryReception::AnswersRead(line, curCmd);
            int64_t r = 0;
            if (inRead) {
                // Inside the read asked for.
                const QList<QByteArray> f = curCmd.split(',');
                if (f.size() < 4 || f[0] != "PMTK182" || f[1] != "7") vel::fuzz::Fail("a line answers no read");
                r = HexOf(f[2].left(8));
                const int64_t len = std::max<int64_t>(HexOf(f[3].left(8)), 1);
                const int64_t addr = line.size() >= 19 ? HexOf(line.sliced(11, 8)) : -1;
                if (line.size() < 23 || line[19] != ',' || addr < r || addr >= r + len)
                    vel::fuzz::Fail("a line outside the read answers it");
            }
            const Delivery d = OfDataLine(line, a.badSum);
            const ReceptionStep s = h->rx.OnDataLine(line, a.badSum, curCmd, op & 0x80);
            h->Check(d, s);
            // A damaged answer (mis-summed, or well-summed but not of the
            // full form) lets its acknowledgement end the read: its block
            // must be read again. A QK4 keeps it pending for the sweep.
            if (inRead && (a.badSum || !ShapeOk(line)) && model != LoggerModel::QK4 && s.next != ReceptionStep::Fail) {
                const QByteArray again = Fmt("PMTK182,7,%.8llX,", r);
                bool queued = false;
                for (const QByteArray& b : s.queue) queued = queued || b.startsWith(again);
                if (!queued) vel::fuzz::Fail("a damaged answer is not read again");
            }
            break;
        }
        case 2: {  // a request goes out: it becomes the read answered and may arm raw mode
            curCmd = Request(in, model);
            h->rx.OnSend(curCmd);
            const QList<QByteArray> f = curCmd.split(',');
            h->rawLen = f.size() < 4 ? RawBlockMax : f[3].toInt();
            h->rawSeen.clear();
            break;
        }
        case 3:   // a raw block, whole or not
        case 4: {
            QByteArray bytes;
            if (op % 5 == 3) {
                const uint8_t a = in.Byte(), seed = in.Byte(), cut = in.Byte();
                int64_t addr = (a & 31) * 1024;
                if (a & 0x20) addr += 1;
                const int n = (a & 0x40) ? 1024 : (a & 0x80) ? 1023 : 16;
                bytes = Fmt("$%llX,", addr) + vel::fuzz::Payload(seed, n) + "\r\n";
                if (cut & 1) bytes.truncate(cut % bytes.size());
                if ((cut & 2) && !bytes.isEmpty()) bytes[cut % bytes.size()] ^= 0x20;
            } else {
                bytes = in.Bytes(in.Byte());
            }
            // Flags only clear at a block's end: one snapshot a block.
            for (char c : bytes) {
                if (!h->rx.RawMode()) break;
                h->rawSeen += c;
                ReceptionStep s;
                if (!h->rx.OnRawByte(c, op & 0x80, s)) continue;
                // A whole block: "$", 1 to 8 hex digits, ",", the asked
                // length of bytes, CR LF. Lines that are not blocks (a
                // position sentence, stray bytes) may stand before it, each
                // passed over up to its line feed.
                Delivery d;
                for (qsizetype at = 0; at < h->rawSeen.size() && d.n < 0; ++at) {
                    if (h->rawSeen[at] != '$' || (at > 0 && h->rawSeen[at - 1] != '\n')) continue;
                    const QByteArray block = h->rawSeen.sliced(at);
                    const qsizetype comma = block.indexOf(',');
                    if (comma >= 2 && comma <= 9 && AllHex(block.sliced(1, comma - 1)) &&
                        block.size() == comma + 1 + h->rawLen + 2 && block.endsWith("\r\n")) {
                        d.addr = HexOf(block.sliced(1, comma - 1));
                        d.n = h->rawLen;
                        d.bytes = block.sliced(comma + 1, h->rawLen);
                        if (d.addr + d.n > LoggerMemoryBytes) d = Delivery{};
                    }
                }
                h->Check(d, s);
                h->Snapshot();
                h->rawSeen.clear();
            }
            h->Check(Delivery{}, ReceptionStep{});
            break;
        }
        }
    }
    h->CheckImage();
    h->rx.End();
    return 0;
}
