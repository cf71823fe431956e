#pragma once
// Reply parsers of the logger link and the answer answers they fill. Pure:
// each call takes one complete line and says what the link should do.
#include <QByteArray>
#include <QByteArrayView>

namespace vel {

// The logger model the current probe attempt expects; they also pick the
// line speed and the per-model rules of the link.
struct ProbeFlags {
    bool ProbeQK4 = false;
    bool ProbeQK3Fast = false;
    bool ProbeQK3Slow = false;

    bool Any() const { return ProbeQK4 || ProbeQK3Fast || ProbeQK3Slow; }
    bool QK3() const { return !ProbeQK4 && (ProbeQK3Fast || ProbeQK3Slow); }
    static ProbeFlags All() { return {true, true, true}; }
};

// Line speed of a probe state, bit/s.
int ProbeBaudRate(const ProbeFlags& f);

// One text per reply kind, as the logger sent it.
struct AnswerSlots {
    QByteArray LoggerRelease;
    QByteArray AnsFixIntv;
    QByteArray AnsLogUsed;
    QByteArray AnsLogRecs;
    QByteArray AnsLogFmt;
    QByteArray AnsLogRate;
    QByteArray AnsLogDist;
    QByteArray AnsLogSpd;
    QByteArray AnsLogMethod;
    QByteArray AnsDgps;
    QByteArray AnsSbas;
    QByteArray AnsMacAdr;
    QByteArray AnsDatum;
    QByteArray AnsPmtk591;
    QByteArray AnsSettings;
    QByteArray AnsNmeaOut;
    QByteArray AnsTrigSpd;
    QByteArray AnsQK4Set;

    // Every slot but LoggerRelease (and AnsQK4Set when keepQK4Set) emptied.
    void ClearAnswers(bool keepQK4Set);
};

struct ReplyAction {
    enum Kind {
        Log,          // logged only
        Value,        // a value stored; the wait goes on (an acknowledgement follows)
        EndWait,      // the reply ends the wait for the sentence sent
        Ident,        // identification: ends the wait, WM_LOGGERIDENT on an empty queue
        DataLine,     // a memory data line ("182,8,"), for the memory reception
        FrameError,   // dropped: bad frame or checksum
        Rejected,     // dropped: too short for its fields
    };
    Kind kind = Log;
    int errorCode = 0;        // FrameError: 0 no "*" in its place, 1 checksum
    bool postError = false;   // FrameError: WM_COMERROR is posted (abort)
    bool badSum = false;      // DataLine: the checksum was wrong
    QByteArray log;           // the communication log's line, empty for none
};

// line: a complete line beginning "$PMTK" (or "$PTSI"), without CR LF.
ReplyAction ParsePmtkLine(QByteArrayView line, AnswerSlots& answers, const ProbeFlags& probe);
ReplyAction ParsePtsiLine(QByteArrayView line, AnswerSlots& answers);

// Whether a reply that ends a wait (or a status value) belongs to the
// sentence body curCmd that was sent, so that late, duplicated or unasked
// replies don't end the wait of another sentence.
bool ReplyAnswers(QByteArrayView curCmd, QByteArrayView line);

} // namespace vel
