#include "logger/replies.h"

#include <QList>
#include "logger/framing.h"

namespace vel {

int ProbeBaudRate(const ProbeFlags& f) {
    if (f.ProbeQK4) return 115200;
    if (f.ProbeQK3Fast) return 921600;
    if (f.ProbeQK3Slow) return 460800;
    return 115200;
}

void AnswerSlots::ClearAnswers(bool keepQK4Set) {
    const QByteArray release = LoggerRelease;
    const QByteArray qk4 = AnsQK4Set;
    *this = AnswerSlots();
    LoggerRelease = release;
    if (keepQK4Set) AnsQK4Set = qk4;
}

namespace {

// The value from byte index `from`, cut before the checksum's "*". The line
// must hold at least one value byte before "*hh".
bool SlotValue(QByteArrayView line, qsizetype from, QByteArray& out) {
    if (line.size() <= from + 3) return false;
    QByteArrayView v = line.sliced(from);
    const qsizetype star = v.indexOf('*');
    if (star > 0) v = v.first(star);
    out = v.toByteArray();
    return true;
}

struct SlotEntry {
    const char* subId;    // compared with the text after "$PMTK" / "$PTSI"
    qsizetype from;
    QByteArray AnswerSlots::*slot;
    bool endsWait;        // false: the acknowledgement that follows ends it
};

const SlotEntry PmtkSlots[] = {
    {"500,", 9, &AnswerSlots::AnsFixIntv, true},
    {"182,3,8,", 13, &AnswerSlots::AnsLogUsed, false},
    {"182,3,10,", 14, &AnswerSlots::AnsLogRecs, false},
    {"182,3,2,", 13, &AnswerSlots::AnsLogFmt, false},
    {"182,3,3,", 13, &AnswerSlots::AnsLogRate, false},
    {"182,3,4,", 13, &AnswerSlots::AnsLogDist, false},
    {"182,3,5,", 13, &AnswerSlots::AnsLogSpd, false},
    {"182,3,6,", 13, &AnswerSlots::AnsLogMethod, false},
    {"501,", 9, &AnswerSlots::AnsDgps, true},
    {"513,", 9, &AnswerSlots::AnsSbas, true},
    {"592,", 9, &AnswerSlots::AnsMacAdr, true},
    {"530,", 9, &AnswerSlots::AnsDatum, true},
    {"591,", 9, &AnswerSlots::AnsPmtk591, true},
    {"514,", 9, &AnswerSlots::AnsNmeaOut, true},
    {"590,", 9, &AnswerSlots::AnsSettings, true},
};

ReplyAction Rejected(QByteArrayView line, const char* who) {
    ReplyAction a;
    a.kind = ReplyAction::Rejected;
    a.log = QByteArray(who) + " reply too short. " + line.first(qMin<qsizetype>(line.size(), 40)).toByteArray();
    return a;
}

// The command number of a body ("PMTK182,7,..." gives "182") and its first field.
QByteArrayView CommandNumber(QByteArrayView body, qsizetype prefixLen) {
    QByteArrayView rest = body.sliced(qMin(prefixLen, body.size()));
    const qsizetype comma = rest.indexOf(',');
    return comma < 0 ? rest : rest.first(comma);
}

QList<QByteArray> Fields(QByteArrayView line) {
    QByteArrayView body = line;
    const qsizetype star = body.lastIndexOf('*');
    if (star > 0) body = body.first(star);
    return body.toByteArray().split(',');
}

} // namespace

ReplyAction ParsePmtkLine(QByteArrayView line, AnswerSlots& answers, const ProbeFlags& probe) {
    ReplyAction a;
    const QByteArrayView sub = line.sliced(qMin<qsizetype>(5, line.size()));
    switch (CheckFrame(line)) {
    case FrameCheck::Ok: break;
    case FrameCheck::NoStar:
        a.kind = ReplyAction::FrameError;
        a.errorCode = 0;
        a.postError = !probe.ProbeQK4;
        a.log = "MTK * error.";
        return a;
    case FrameCheck::BadSum:
        if (line.size() >= 6 && sub.startsWith("182,8,")) {
            a.kind = ReplyAction::DataLine;
            a.badSum = true;
            return a;
        }
        a.kind = ReplyAction::FrameError;
        a.errorCode = 1;
        a.postError = !probe.ProbeQK4;
        a.log = "MTK checksum error.";
        return a;
    }

    if (sub.startsWith("182,8,")) {
        a.kind = ReplyAction::DataLine;
        return a;
    }
    if (sub.startsWith("001")) {
        const QList<QByteArray> f = Fields(line);
        if (f.size() >= 3 && !(f[1] == "182" && f[2] == "7")) a.log = line.toByteArray();
        a.kind = ReplyAction::EndWait;
        return a;
    }
    if (sub.startsWith("010")) {
        a.log = line.toByteArray();
        a.kind = ReplyAction::EndWait;
        return a;
    }
    if (sub.startsWith("705")) {
        QByteArray v;
        if (!SlotValue(line, 9, v)) return Rejected(line, "MTK");
        answers.LoggerRelease = v;
        a.log = line.toByteArray();
        a.kind = ReplyAction::Ident;
        return a;
    }
    for (const SlotEntry& e : PmtkSlots) {
        if (!sub.startsWith(e.subId)) continue;
        QByteArray v;
        if (!SlotValue(line, e.from, v)) return Rejected(line, "MTK");
        if (e.slot == &AnswerSlots::AnsFixIntv) {
            const qsizetype comma = v.indexOf(',');
            if (comma > 0) v.truncate(comma);
        }
        answers.*e.slot = v;
        a.log = line.toByteArray();
        a.kind = e.endsWait ? ReplyAction::EndWait : ReplyAction::Value;
        return a;
    }
    a.log = line.toByteArray();
    return a;
}

ReplyAction ParsePtsiLine(QByteArrayView line, AnswerSlots& answers) {
    ReplyAction a;
    switch (CheckFrame(line)) {
    case FrameCheck::Ok: break;
    case FrameCheck::NoStar:
        a.kind = ReplyAction::FrameError;
        a.errorCode = 0;
        a.postError = true;
        a.log = "TSI * error.";
        return a;
    case FrameCheck::BadSum:
        a.kind = ReplyAction::FrameError;
        a.errorCode = 1;
        a.postError = true;
        a.log = "TSI checksum error.";
        return a;
    }
    const QByteArrayView sub = line.sliced(5);
    a.log = line.toByteArray();
    if (sub.startsWith("009,") || sub.startsWith("999,")) {
        a.kind = ReplyAction::EndWait;
    } else if (sub.startsWith("777,")) {
        QByteArray v;
        if (!SlotValue(line, 11, v)) return Rejected(line, "TSI");
        answers.AnsTrigSpd = v;
        a.kind = ReplyAction::EndWait;
    } else if (sub.startsWith("990,2,")) {
        QByteArray v;
        if (!SlotValue(line, 13, v)) return Rejected(line, "TSI");
        answers.AnsQK4Set = v;
        a.kind = ReplyAction::EndWait;
    }
    return a;
}

bool ReplyAnswers(QByteArrayView curCmd, QByteArrayView line) {
    if (curCmd.isEmpty()) return false;
    if (line.startsWith("$PTSI")) return curCmd.startsWith("PTSI");
    if (!line.startsWith("$PMTK") || !curCmd.startsWith("PMTK")) return false;
    const QByteArrayView sub = line.sliced(5);
    const QByteArrayView cmdNo = CommandNumber(curCmd, 4);
    if (sub.startsWith("001,")) {
        const QList<QByteArray> f = Fields(line);
        if (f.size() < 2 || f[1] != cmdNo) return false;
        if (cmdNo == "182") {
            const QList<QByteArray> c = curCmd.toByteArray().split(',');
            return f.size() >= 3 && c.size() >= 2 && f[2] == c[1];
        }
        return true;
    }
    if (sub.startsWith("010")) return true;
    if (sub.startsWith("182,3,")) {
        // "182,3,N," answers "PMTK182,2,N".
        const QList<QByteArray> f = Fields(line);
        const QList<QByteArray> c = curCmd.toByteArray().split(',');
        return c.size() >= 3 && c[0] == "PMTK182" && c[1] == "2" && f.size() >= 4 && f[2] == c[2];
    }
    // A three-digit reply number answers the request numbered 100 below it.
    const QByteArrayView replyNo = CommandNumber(line, 5);
    bool ok1 = false, ok2 = false;
    const int r = replyNo.toByteArray().toInt(&ok1);
    const int q = cmdNo.toByteArray().toInt(&ok2);
    return ok1 && ok2 && r == q + 100;
}

} // namespace vel
