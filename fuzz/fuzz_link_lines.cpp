// The link's receive side: bytes through the line assembler, each line
// routed and read by its reply parser, as the link does. Checked: lines are
// whole ("$" only first, no line end, within the buffer), a parser takes only a
// well-framed line as an answer or a value, and only those change the
// answers.
#include "fuzz_script.h"
#include "logger/framing.h"
#include "logger/memory_reception.h"
#include "logger/replies.h"

using namespace vel;

namespace {

const char* const Requests[] = {
    "PMTK605", "PMTK182,2,8", "PMTK182,2,3", "PMTK400", "PMTK414", "PTSI777,1", "PTSI990,2,0",
    "PMTK182,7,00000000,800", "PMTK182,7,0,2000", "PMTK300,200,0,0,0,0", "PMTK182,6,1", "",
};

bool SameSlots(const AnswerSlots& a, const AnswerSlots& b) {
    return a.LoggerRelease == b.LoggerRelease && a.AnsFixIntv == b.AnsFixIntv && a.AnsLogUsed == b.AnsLogUsed &&
           a.AnsLogRecs == b.AnsLogRecs && a.AnsLogFmt == b.AnsLogFmt && a.AnsLogRate == b.AnsLogRate &&
           a.AnsLogDist == b.AnsLogDist && a.AnsLogSpd == b.AnsLogSpd && a.AnsLogMethod == b.AnsLogMethod &&
           a.AnsDgps == b.AnsDgps && a.AnsSbas == b.AnsSbas && a.AnsMacAdr == b.AnsMacAdr &&
           a.AnsDatum == b.AnsDatum && a.AnsPmtk591 == b.AnsPmtk591 && a.AnsSettings == b.AnsSettings &&
           a.AnsNmeaOut == b.AnsNmeaOut && a.AnsTrigSpd == b.AnsTrigSpd && a.AnsQK4Set == b.AnsQK4Set;
}

void CheckLine(const QByteArray& line, const ProbeFlags& probe, const QByteArray& curCmd, AnswerSlots& answers) {
    // Noise between lines comes out as a line of its own, which no route takes.
    if (line.indexOf('$', 1) >= 0 || line.contains('\r') || line.contains('\n') || line.size() > MaxLineLen)
        vel::fuzz::Fail("assembled line not whole");
    const AnswerSlots before = answers;
    ReplyAction a;
    switch (RouteLine(line)) {
    case LineRoute::Pmtk: a = ParsePmtkLine(line, answers, probe); break;
    case LineRoute::Ptsi: a = ParsePtsiLine(line, answers); break;
    case LineRoute::Nmea:
    case LineRoute::Drop: return;
    }
    const bool framed = CheckFrame(line) == FrameCheck::Ok;
    switch (a.kind) {
    case ReplyAction::Value:
    case ReplyAction::EndWait:
    case ReplyAction::Ident:
        if (!framed) vel::fuzz::Fail("a badly framed line taken as an answer");
        ReplyAnswers(curCmd, line);
        break;
    case ReplyAction::DataLine:
        if (a.badSum == framed) vel::fuzz::Fail("data line's checksum misreported");
        MemoryReception::AnswersRead(line, curCmd);
        break;
    case ReplyAction::FrameError:
        if (framed) vel::fuzz::Fail("a well-framed line refused as badly framed");
        break;
    case ReplyAction::Log:
    case ReplyAction::Rejected:
        break;
    }
    const bool mayChange = a.kind == ReplyAction::Value || a.kind == ReplyAction::EndWait || a.kind == ReplyAction::Ident;
    if (!mayChange && !SameSlots(before, answers)) vel::fuzz::Fail("answers changed by a line that is no answer");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vel::fuzz::Script in(data, size);
    const uint8_t p = in.Byte();
    const ProbeFlags probe{bool(p & 1), bool(p & 2), bool(p & 4)};
    const QByteArray curCmd = Requests[in.Byte() % std::size(Requests)];
    AnswerSlots answers;
    LineAssembler rx;
    const QByteArray rest = in.Bytes(size);
    for (char c : rest) {
        switch (rx.Feed(c)) {
        case LineAssembler::Event::Line: CheckLine(rx.Line(), probe, curCmd, answers); break;
        case LineAssembler::Event::Broken:
        case LineAssembler::Event::Cut:
            if (rx.Broken().size() > MaxLineLen) vel::fuzz::Fail("broken line past the buffer");
            break;
        case LineAssembler::Event::None: break;
        }
        if (rx.Partial().size() > MaxLineLen) vel::fuzz::Fail("partial line past the buffer");
        rx.ReplyInProgress();
    }
    return 0;
}
