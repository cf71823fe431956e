// The link's protocol engine through a memory download of each logger kind,
// answered by a small stand-in logger whose replies the input damages: lost,
// cut, doubled, late, a byte changed, noise before them. Checked:
// - a download never ends as complete while a block is still pending;
// - when nothing but lost, late or doubled replies came between (or damage
//   a checksum shows), a complete download holds the logger's memory;
// - an undamaged exchange always completes.
#include <cstring>
#include <deque>
#include <vector>
#include "fuzz_script.h"
#include "logger/link_core.h"
#include "logger/logger_requests.h"

using namespace vel;
using vel::fuzz::Fmt;
using vel::fuzz::Script;

namespace {

QByteArray Frame(const QByteArray& body) { return FrameSentence(body); }

enum class Kind { QK4, QK3Hex, QK3Raw, Older };

// The stand-in logger: answers memory reads from its memory (erased past it)
// and acknowledges the fix-interval sentences.
struct Logger {
    std::vector<uint8_t> mem;

    uint8_t At(int64_t a) const { return a >= 0 && a < int64_t(mem.size()) ? mem[size_t(a)] : 0xFF; }

    // The reply to a body, as lines (each framed, CR LF included).
    QList<QByteArray> Answer(const QByteArray& body) const {
        const QList<QByteArray> f = body.split(',');
        QList<QByteArray> out;
        if (body.startsWith("PMTK182,7,") && f.size() >= 4) {
            bool ok1 = false, ok2 = false;
            const int64_t addr = f[2].toLongLong(&ok1, 16), len = f[3].toLongLong(&ok2, 16);
            if (!ok1 || !ok2 || addr + len > LoggerMemoryBytes) return out;
            for (int64_t off = 0; off < len; off += 2048) {
                const int64_t n = std::min<int64_t>(2048, len - off);
                QByteArray bytes(qsizetype(n), Qt::Uninitialized);
                for (int64_t i = 0; i < n; ++i) bytes[qsizetype(i)] = char(At(addr + off + i));
                out << Frame(Fmt("PMTK182,8,%.8llX,", addr + off) + vel::fuzz::Hex(bytes));
            }
            out << Frame("PMTK001,182,7,3");
        } else if (body.startsWith("PTSI870,7,") && f.size() >= 4) {
            const int64_t addr = f[2].toLongLong(), len = f[3].toLongLong();
            QByteArray block = Fmt("$%llX,", addr);
            for (int64_t i = 0; i < len; ++i) block += char(At(addr + i));
            out << block + "\r\n";
        } else if (body.startsWith("PMTK300,")) {
            out << Frame("PMTK001,300,3");
        }
        return out;
    }
};

struct Run {
    std::deque<QByteArray> sent;   // bodies the link wrote, not yet answered
    bool done = false, failed = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script in(data, size);
    const uint8_t head = in.Byte();
    const Kind kind = Kind(head % 4);
    const int reads = 1 + (head >> 2) % 4;
    Logger logger;
    const QByteArray memory = vel::fuzz::Payload(in.Byte(), 64 * 1024);
    logger.mem.assign(memory.begin(), memory.end());

    AnswerSlots a;
    LoggerModel model = LoggerModel::Older;
    ProbeFlags probe;
    DownloadPlan plan;
    int flagBytes = 1024;
    switch (kind) {
    case Kind::QK4:
        model = LoggerModel::QK4;
        probe = ProbeFlags::All();
        a.AnsLogUsed = Fmt("%llX", reads * 4096LL);
        plan = PlanQK4(a);
        flagBytes = 2048;
        break;
    case Kind::QK3Hex:
    case Kind::QK3Raw: {
        model = LoggerModel::QK3;
        probe = {false, true, true};
        a.LoggerRelease = kind == Kind::QK3Raw ? "QK3,A,10001" : "QK3,A,10000";
        plan = PlanSectors(a, model, 0, 0);
        const int n = kind == Kind::QK3Raw ? 2 * reads : reads;
        plan.bodies = plan.bodies.mid(0, n);
        plan.flagCount = kind == Kind::QK3Raw ? n : 2 * n;
        break;
    }
    case Kind::Older:
        plan = PlanSectors(a, model, 0, 0);
        plan.bodies = plan.bodies.mid(0, 1 + reads) << plan.bodies.last();
        plan.flagCount = 2 * reads;
        break;
    }
    const int64_t planned = int64_t(plan.flagCount) * flagBytes;

    // One engine for the process: its 16 MiB image is made once.
    static Run run;
    static LinkCore core([](const QByteArray& frame) {
                             // "$" body "*hh" CR LF
                             run.sent.push_back(frame.mid(1, frame.size() - 6));
                             return true;
                         },
                         [](LinkEvent&& ev) {
                             if (ev.kind == LinkEvent::QueueDone) run.done = true;
                             if (ev.kind == LinkEvent::ComError) run.failed = true;
                         });
    core.Stop();
    run = Run{};
    core.Start(probe, 1);
    core.SetModel(model);
    core.BeginDownload(model, plan.firstFlag, plan.flagCount, "1");
    int64_t now = 1000;
    core.Run(plan.bodies, 1, now);

    bool damaged = false, noise = false;
    QList<QByteArray> late;   // replies held back until the next resend
    for (int step = 0; step < 400 && !run.done && !run.failed; ++step) {
        if (run.sent.empty()) {
            // Silence: the resend timer, then whatever was held back. With
            // neither, the link's watchdog would end it.
            const int64_t d = core.Deadline();
            if (d < 0 && late.isEmpty()) break;
            if (d >= 0) {
                now = std::max(now, d);
                core.OnTimer(now);
            }
            for (const QByteArray& b : late) core.OnBytes(b, ++now);
            late.clear();
            continue;
        }
        const QByteArray body = run.sent.front();
        run.sent.pop_front();
        QList<QByteArray> lines = logger.Answer(body);
        const uint8_t op = in.Done() ? 0 : in.Byte();
        const uint8_t arg = op ? in.Byte() : 0;
        QByteArray bytes;
        switch (op % 8) {
        case 1:   // lost whole
            lines.clear();
            break;
        case 2:   // one line lost
            if (!lines.isEmpty()) lines.removeAt(arg % lines.size());
            break;
        case 3: {  // a byte changed on the way
            if (lines.isEmpty()) break;
            noise = noise || kind == Kind::QK3Raw;   // a raw block has no checksum
            QByteArray& l = lines[arg % lines.size()];
            const uint16_t at = in.Word();
            l[at % l.size()] ^= char(1 + in.Byte() % 255);
            break;
        }
        case 4: {  // cut off mid-way; the rest never comes
            // A cut raw block takes the next one's bytes as its own.
            noise = noise || kind == Kind::QK3Raw;
            QByteArray all = lines.join();
            lines = {all.left(in.Word() % (all.size() + 1))};
            break;
        }
        case 5:   // noise first
            lines.prepend(in.Bytes(arg % 64));
            noise = true;
            break;
        case 6:   // twice
            lines += QList<QByteArray>(lines);
            break;
        case 7:   // late: after the resend
            late << lines.join();
            lines.clear();
            break;
        default: break;
        }
        damaged = damaged || op % 8 != 0;
        core.OnBytes(lines.join(), ++now);
    }

    const MemoryReception& rx = core.Reception();
    if (run.done && rx.Active()) {
        // Complete means every block came, for every model.
        if (rx.PendingCount() != 0) vel::fuzz::Fail("download complete with blocks pending");
        if (!noise && std::memcmp(rx.Image(), logger.mem.data(), size_t(planned)) != 0)
            vel::fuzz::Fail("complete download differs from the logger's memory");
    }
    if (!damaged && !run.done) vel::fuzz::Fail("an undamaged download did not complete");
    return 0;
}
