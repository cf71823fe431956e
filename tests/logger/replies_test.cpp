#include <gtest/gtest.h>
#include "logger/framing.h"
#include "logger/replies.h"

using namespace vel;

namespace {
QByteArray Line(const QByteArray& body) { return FrameSentence(body).chopped(2); }
}

TEST(Replies, SlotsAndTheirActions) {
    struct Case {
        QByteArray body;
        QByteArray AnswerSlots::*slot;
        QByteArray value;
        ReplyAction::Kind kind;
    };
    const Case cases[] = {
        {"PMTK705,QK4,V1.20,0007", &AnswerSlots::LoggerRelease, "QK4,V1.20,0007", ReplyAction::Ident},
        {"PMTK500,200,0,0,0,0", &AnswerSlots::AnsFixIntv, "200", ReplyAction::EndWait},
        {"PMTK182,3,8,0012A400", &AnswerSlots::AnsLogUsed, "0012A400", ReplyAction::Value},
        {"PMTK182,3,10,1F", &AnswerSlots::AnsLogRecs, "1F", ReplyAction::Value},
        {"PMTK182,3,2,8004107D", &AnswerSlots::AnsLogFmt, "8004107D", ReplyAction::Value},
        {"PMTK182,3,3,1", &AnswerSlots::AnsLogRate, "1", ReplyAction::Value},
        {"PMTK182,3,6,2", &AnswerSlots::AnsLogMethod, "2", ReplyAction::Value},
        {"PMTK592,FFFFFF881C00", &AnswerSlots::AnsMacAdr, "FFFFFF881C00", ReplyAction::EndWait},
        {"PMTK514,0,1,0,0", &AnswerSlots::AnsNmeaOut, "0,1,0,0", ReplyAction::EndWait},
        {"PMTK590,0,10,115200", &AnswerSlots::AnsSettings, "0,10,115200", ReplyAction::EndWait},
        {"PTSI777,1,30.00", &AnswerSlots::AnsTrigSpd, "30.00", ReplyAction::EndWait},
        {"PTSI990,2,0,27", &AnswerSlots::AnsQK4Set, "27", ReplyAction::EndWait},
    };
    for (const Case& c : cases) {
        AnswerSlots s;
        const QByteArray line = Line(c.body);
        const ReplyAction a = line.startsWith("$PTSI") ? ParsePtsiLine(line, s) : ParsePmtkLine(line, s, {});
        EXPECT_EQ(a.kind, c.kind) << c.body.constData();
        EXPECT_EQ(s.*c.slot, c.value) << c.body.constData();
        EXPECT_EQ(a.log, line);
    }
}

TEST(Replies, AcknowledgementsAndOthers) {
    AnswerSlots s;
    // Memory-read acknowledgements end the wait without a log line.
    ReplyAction a = ParsePmtkLine(Line("PMTK001,182,7,3"), s, {});
    EXPECT_EQ(a.kind, ReplyAction::EndWait);
    EXPECT_TRUE(a.log.isEmpty());
    a = ParsePmtkLine(Line("PMTK001,300,3"), s, {});
    EXPECT_EQ(a.kind, ReplyAction::EndWait);
    EXPECT_FALSE(a.log.isEmpty());
    a = ParsePmtkLine(Line("PMTK999,1"), s, {});
    EXPECT_EQ(a.kind, ReplyAction::Log);
    a = ParsePmtkLine(Line("PMTK182,8,00000000,FFFF"), s, {});
    EXPECT_EQ(a.kind, ReplyAction::DataLine);
    EXPECT_FALSE(a.badSum);
    a = ParsePtsiLine(Line("PTSI009,777,2"), s);
    EXPECT_EQ(a.kind, ReplyAction::EndWait);
}

TEST(Replies, FrameErrorsByModel) {
    AnswerSlots s;
    const ProbeFlags qk4{true, true, true}, older{};
    QByteArray bad = Line("PMTK500,100,0,0,0,0");
    bad[bad.size() - 1] = bad[bad.size() - 1] == '0' ? '1' : '0';
    struct Case { QByteArray line; ProbeFlags probe; int code; bool post; const char* log; };
    const Case cases[] = {
        {"$PMTK500,100,0,0", older, 0, true, "MTK * error."},
        {"$PMTK500,100,0,0", qk4, 0, false, "MTK * error."},
        {bad, older, 1, true, "MTK checksum error."},
        {bad, qk4, 1, false, "MTK checksum error."},
    };
    for (const Case& c : cases) {
        const ReplyAction a = ParsePmtkLine(c.line, s, c.probe);
        EXPECT_EQ(a.kind, ReplyAction::FrameError);
        EXPECT_EQ(a.errorCode, c.code);
        EXPECT_EQ(a.postError, c.post);
        EXPECT_EQ(a.log, c.log);
    }
    EXPECT_TRUE(s.AnsFixIntv.isEmpty());
    // A "$PTSI" frame error always aborts.
    const ReplyAction p = ParsePtsiLine("$PTSI777,1,30.00", s);
    EXPECT_TRUE(p.postError);
    EXPECT_EQ(p.log, "TSI * error.");
    // A mis-summed memory data line goes to the memory reception.
    QByteArray data = Line("PMTK182,8,00000000,00FF");
    data[data.size() - 1] = data[data.size() - 1] == '0' ? '1' : '0';
    const ReplyAction d = ParsePmtkLine(data, s, qk4);
    EXPECT_EQ(d.kind, ReplyAction::DataLine);
    EXPECT_TRUE(d.badSum);
}

TEST(Replies, TooShortForItsFieldsIsRejected) {
    AnswerSlots s;
    s.LoggerRelease = "QK4,old";
    for (const char* body : {"PMTK705,", "PMTK182,3,8,", "PMTK500,"}) {
        const ReplyAction a = ParsePmtkLine(Line(body), s, {});
        EXPECT_EQ(a.kind, ReplyAction::Rejected) << body;
        EXPECT_TRUE(a.log.contains("too short")) << body;
    }
    EXPECT_EQ(ParsePtsiLine(Line("PTSI990,2,"), s).kind, ReplyAction::Rejected);
    EXPECT_EQ(s.LoggerRelease, "QK4,old");
}

TEST(Replies, WhichReplyAnswersWhichSentence) {
    struct Case { const char* cmd; QByteArray reply; bool answers; };
    const Case cases[] = {
        {"PMTK605", Line("PMTK705,QK4,1"), true},
        {"PMTK400", Line("PMTK705,QK4,1"), false},
        {"PMTK400", Line("PMTK500,100,0"), true},
        {"PMTK300,100,0,0,0,0", Line("PMTK001,300,3"), true},
        {"PMTK300,100,0,0,0,0", Line("PMTK001,604,3"), false},
        {"PMTK182,2,8", Line("PMTK001,182,2,3"), true},
        {"PMTK182,2,8", Line("PMTK001,182,7,3"), false},
        {"PMTK182,2,8", Line("PMTK182,3,8,00FF"), true},
        {"PMTK182,2,3", Line("PMTK182,3,8,00FF"), false},
        {"PTSI777,1", Line("PTSI777,1,30.00"), true},
        {"PMTK400", Line("PTSI777,1,30.00"), false},
        {"", Line("PMTK001,300,3"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplyAnswers(c.cmd, c.reply), c.answers) << c.cmd << " / " << c.reply.constData();
}
