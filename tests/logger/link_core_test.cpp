// The protocol engine without a port: a fake line and a fake clock.
#include <gtest/gtest.h>
#include "logger/link_core.h"

using namespace vel;

namespace {

class CoreFixture : public ::testing::Test {
protected:
    CoreFixture()
        : core([this](const QByteArray& b) { sent << b; return true; },
               [this](LinkEvent&& e) { events.push_back(std::move(e)); }) {}

    void Reply(const QByteArray& body) { core.OnBytes(FrameSentence(body), now); }
    void Advance(int64_t ms) {
        for (int64_t end = now + ms; now < end;) {
            ++now;
            core.OnTimer(now);
        }
    }
    int Count(LinkEvent::Kind k) const {
        int n = 0;
        for (const LinkEvent& e : events) n += e.kind == k;
        return n;
    }

    LinkCore core;
    QList<QByteArray> sent;
    std::vector<LinkEvent> events;
    int64_t now = 1000;
};

TEST_F(CoreFixture, RepliesSendTheNextSentenceAndEndTheRun) {
    core.Start(ProbeFlags::All(), 1);
    core.Run({"PMTK605", "PMTK400"}, 7, now);
    ASSERT_EQ(sent, QList<QByteArray>{FrameSentence("PMTK605")});
    Reply("PMTK705,QK4,V1");   // with a sentence still queued: it goes out, nothing is posted
    EXPECT_EQ(sent.size(), 2);
    EXPECT_EQ(Count(LinkEvent::LoggerIdent), 0);
    Reply("PMTK500,100,0,0,0,0");
    ASSERT_EQ(Count(LinkEvent::QueueDone), 1);
    EXPECT_EQ(events.back().run, 7u);
    EXPECT_EQ(events.back().answers.AnsFixIntv, "100");
    EXPECT_EQ(events.back().answers.LoggerRelease, "QK4,V1");
    // Late or unasked replies end nothing more.
    Reply("PMTK500,100,0,0,0,0");
    Reply("PMTK001,300,3");
    EXPECT_EQ(Count(LinkEvent::QueueDone), 1);
    // The identification on an empty queue is WM_LOGGERIDENT.
    core.Run({"PMTK605"}, 8, now);
    Reply("PMTK705,QK4,V1");
    EXPECT_EQ(Count(LinkEvent::LoggerIdent), 1);
}

TEST_F(CoreFixture, StatusQueriesWaitForValueAndAcknowledgement) {
    core.Start(ProbeFlags::All(), 1);
    core.Run({"PMTK182,2,8", "PMTK182,2,3"}, 1, now);
    Reply("PMTK182,3,8,0000F000");
    EXPECT_EQ(sent.size(), 1);            // the value alone does not end the wait
    Reply("PMTK001,182,2,3");
    EXPECT_EQ(sent.size(), 2);
    Reply("PMTK001,182,2,3");             // a duplicated acknowledgement: no value for item 3 yet
    EXPECT_EQ(Count(LinkEvent::QueueDone), 0);
    Reply("PMTK182,3,3,1");
    Reply("PMTK001,182,2,3");
    ASSERT_EQ(Count(LinkEvent::QueueDone), 1);
    EXPECT_EQ(events.back().answers.AnsLogUsed, "0000F000");
    EXPECT_EQ(events.back().answers.AnsLogRate, "1");
}

TEST_F(CoreFixture, ResendRules) {
    struct Case { ProbeFlags probe; QByteArray body; int resends; };
    const Case cases[] = {
        {ProbeFlags::All(), "PMTK400", LinkCore::MaxRetries},
        {{false, false, true}, "PMTK400", LinkCore::MaxRetries},
        {{}, "PMTK400", 0},                        // older loggers: never
        {ProbeFlags::All(), "PMTK182,6,1", 0},     // the erase: never
    };
    for (const Case& c : cases) {
        sent.clear();
        events.clear();
        core.Start(c.probe, 1);
        core.Run({c.body}, 1, now);
        Advance(300);
        EXPECT_EQ(sent.size(), 1) << "not before 300 ms";
        Advance(5000);
        EXPECT_EQ(sent.size(), 1 + c.resends) << c.body.constData();
        EXPECT_EQ(Count(LinkEvent::TxLog), c.resends);
        if (c.resends) {
            EXPECT_EQ(events.front().text, "R)" + c.body);
        }
        EXPECT_EQ(core.Deadline(), -1);
    }
}

TEST_F(CoreFixture, ALongReplyLineHoldsTheResendBack) {
    core.Start(ProbeFlags::All(), 1);
    core.Run({"PMTK182,7,0,800"}, 1, now);
    const QByteArray line = FrameSentence("PMTK182,8,00000000," + QByteArray(4096, 'A'));
    // 4,121 bytes at 11,520 bytes a second, a position sentence in between.
    qsizetype pos = 0;
    for (int ms = 1; pos < line.size(); ++ms) {
        ++now;
        const qsizetype n = qMin<qsizetype>(12, line.size() - pos);
        core.OnBytes(QByteArrayView(line).sliced(pos, n), now);
        pos += n;
        core.OnTimer(now);
    }
    EXPECT_GT(now - 1000, 300);
    EXPECT_EQ(sent.size(), 1);
    Reply("PMTK001,182,7,3");
    EXPECT_EQ(Count(LinkEvent::QueueDone), 1);

    // A partial line that stops: resent 300 ms after its last byte, and the
    // partial line is kept, to be reported when the next line begins.
    core.Run({"PMTK400"}, 2, now);
    core.OnBytes("$PMTK500,1", now + 100);
    Advance(399);
    EXPECT_EQ(sent.size(), 2);
    Advance(2);
    EXPECT_EQ(sent.size(), 3);
    Reply("PMTK500,100,0,0,0,0");
    EXPECT_EQ(Count(LinkEvent::QueueDone), 2);
    bool broken = false;
    for (const LinkEvent& e : events) broken |= e.text == "<break>$PMTK500,1";
    EXPECT_TRUE(broken);
}

TEST_F(CoreFixture, PositionSentencesDoNotExtendTheWait) {
    // A command, and a raw-block read whose receiver skips the sentences.
    struct Case { QByteArray body; bool raw; int shown; };
    const Case cases[] = {{"PMTK400", false, 40}, {"PTSI870,7,00000000,1024", true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.constData());
        sent.clear();
        events.clear();
        core.Start(c.raw ? ProbeFlags{false, true, true} : ProbeFlags::All(), 1);
        if (c.raw) {
            core.SetModel(LoggerModel::QK3);
            core.BeginDownload(LoggerModel::QK3, 0, 1, "1");
        }
        core.Run({c.body}, 1, now);
        for (int i = 0; i < 40; ++i) {
            Advance(10);
            core.OnBytes("$GPRMC,1,2,3*00\r\n", now);
        }
        EXPECT_EQ(sent.size(), 2);
        EXPECT_EQ(Count(LinkEvent::NmeaLine), c.shown);
    }
}

TEST_F(CoreFixture, AFrameErrorStopsTheRun) {
    core.Start({}, 3);
    core.Run({"PMTK400", "PMTK401"}, 1, now);
    core.OnBytes("$PMTK500,100*00\r\n", now);
    ASSERT_EQ(Count(LinkEvent::ComError), 1);
    EXPECT_EQ(events.back().param, 1);
    EXPECT_EQ(events.back().conn, 3u);
    EXPECT_EQ(core.QueueSize(), 0);
    Reply("PMTK500,100,0,0,0,0");
    EXPECT_EQ(sent.size(), 1);
    EXPECT_EQ(Count(LinkEvent::QueueDone), 0);
}

// After an aborted download the logger finishes the answer it was sending
// and goes on sending its position: only the answer's data holds the line.
TEST_F(CoreFixture, ACutOffLineIsQuietOnceItsDownloadDataEnds) {
    const QByteArray position = "$GPRMC,020000.000,A,3450.400,N,13632.400,E,0.0,0.0,140523,,,A*00\r\n";
    const QByteArray memoryLine = FrameSentence("PMTK182,8,00000800," + QByteArray(128, 'A'));
    const QByteArray rawBlock = "$800," + QByteArray(1024, '$') + "\r\n";
    const QByteArray others = "$PMTK001,182,7,3*21\r\n$PTSI999,1*00\r\n";
    struct Case {
        const char* name;
        QByteArray read;      // the read under way at the cut
        QByteArray atCut;     // what had come of its answer
        QByteArray rest;      // comes 100 ms after the cut
        QByteArray every;     // comes every 100 ms ...
        int forMs;            // ... for this long after the cut
        int quietMs;          // quiet this long after the cut; -1: overrun at the limit
    };
    const Case cases[] = {
        {"positions", "PMTK182,7,00000000,800", "", "", position, 2500, 300},
        {"memory lines", "PMTK182,7,00000000,800", "", "", memoryLine, 1000, 1300},
        {"the rest of a memory line", "PMTK182,7,00000000,800", memoryLine.left(40), memoryLine.mid(40), position, 2500, 400},
        {"raw blocks", "PTSI870,7,00000000,1024", "", "", rawBlock, 1000, 1300},
        {"the rest of a raw block", "PTSI870,7,00000000,1024", "$0," + QByteArray(100, 'G'), QByteArray(924, 'G') + "\r\n",
         position, 2500, 400},
        {"memory lines past the limit", "PMTK182,7,00000000,800", "", "", memoryLine, 2500, -1},
        {"acknowledgements and others", "PMTK182,7,00000000,800", "", "", others, 2500, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sent.clear();
        events.clear();
        core.Start({false, true, true}, 1);
        core.SetModel(LoggerModel::QK3);
        core.BeginDownload(LoggerModel::QK3, 0, 64, "1");
        core.Run({c.read, "PMTK182,7,00000800,800"}, 1, now);
        core.OnBytes(c.atCut, now);
        const int64_t cut = now;
        core.BeginDrain(300, 2000, cut);
        for (int t = 100; t <= 2500; t += 100) {
            Advance(100);
            if (core.DrainStateAt(now) != LinkCore::DrainState::Busy) break;
            EXPECT_LE(core.Deadline(), cut + 2000);
            if (t == 100) core.OnBytes(c.rest, now);
            if (t <= c.forMs) core.OnBytes(c.every, now);
        }
        if (c.quietMs < 0) {
            EXPECT_EQ(core.DrainStateAt(now), LinkCore::DrainState::Overrun);
            EXPECT_EQ(now - cut, 2000);
        } else {
            EXPECT_EQ(core.DrainStateAt(now), LinkCore::DrainState::Quiet);
            EXPECT_EQ(now - cut, c.quietMs);
        }
        // Nothing was sent, resent or reported after the cut.
        EXPECT_EQ(sent.size(), 1);
        EXPECT_EQ(Count(LinkEvent::QueueDone) + Count(LinkEvent::ComProgress) + Count(LinkEvent::TxLog), 0);
        core.Stop();
    }
}

} // namespace

TEST_F(CoreFixture, ADuplicatedMemoryAnswerDoesNotEndTheNextReadsWait) {
    // A resent read answered twice: the second copy's data and acknowledgement
    // arrive while the next read waits. They must not end that wait, or every
    // later answer lands one request late and each counts as misplaced.
    core.Start({false, true, true}, 1);
    core.SetModel(LoggerModel::QK3);
    core.BeginDownload(LoggerModel::QK3, 0, 4, "1");
    const QByteArray x = "PMTK182,7,00000000,800", y = "PMTK182,7,00000800,800";
    core.Run({x, y}, 1, now);
    auto data = [](const char* addr) { return QByteArray("PMTK182,8,") + addr + "," + QByteArray(4096, 'A'); };
    Reply(data("00000000"));
    Reply("PMTK001,182,7,3");
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(core.CurCmd(), y);
    // The duplicate of the first answer.
    Reply(data("00000000"));
    Reply("PMTK001,182,7,3");
    EXPECT_EQ(sent.size(), 2);
    EXPECT_EQ(core.CurCmd(), y);
    EXPECT_TRUE(core.AwaitReply());
    // The real answer is taken as the answer of its own read.
    Reply(data("00000800"));
    EXPECT_EQ(sent.size(), 2);
    Reply("PMTK001,182,7,3");
    EXPECT_EQ(core.Reception().PendingCount(), 0);
    EXPECT_EQ(Count(LinkEvent::ComError), 0);
}

TEST_F(CoreFixture, ALateCopyOfAShortAnswerEndsNoOtherRead) {
    // 1 KiB re-reads; the first is answered twice (the resend's answer, then
    // the late one). The late copy must not end the second read's wait, or
    // every later answer is taken for the read after it.
    core.Start({false, true, true}, 1);
    core.SetModel(LoggerModel::QK3);
    core.BeginDownload(LoggerModel::QK3, 0, 3, "1");
    core.Run({"PMTK182,7,00000000,400", "PMTK182,7,00000400,400", "PMTK182,7,00000800,400"}, 1, now);
    auto answer = [&](const QByteArray& addr) {
        Reply("PMTK182,8," + addr + "," + QByteArray(2048, 'B'));
        Reply("PMTK001,182,7,3");
    };
    answer("00000000");
    ASSERT_EQ(core.CurCmd(), "PMTK182,7,00000400,400");
    answer("00000000");
    EXPECT_EQ(core.CurCmd(), "PMTK182,7,00000400,400");
    EXPECT_EQ(sent.size(), 2);
    EXPECT_TRUE(core.AwaitReply());
    // Each read answered as asked: the download ends with nothing pending.
    for (int i = 0; i < 6 && Count(LinkEvent::QueueDone) == 0; ++i) answer(core.CurCmd().mid(10, 8));
    EXPECT_EQ(Count(LinkEvent::QueueDone), 1);
    EXPECT_EQ(core.Reception().PendingCount(), 0);
}

TEST_F(CoreFixture, OnlyTheOutstandingSentinelsAnswerSweeps) {
    // The logger falls silent mid-stream, the sentinel is resent twice and
    // all three copies are answered: one sweep, not three of the same blocks.
    core.Start(ProbeFlags::All(), 1);
    core.BeginDownload(LoggerModel::QK4, 0, 8, "1");
    const QByteArray sentinel = "PMTK182,7,FFFFF0,10";
    core.Run({"PMTK182,7,0,4000", sentinel}, 1, now);
    auto data = [](uint32_t addr, int n) {
        return "PMTK182,8," + QByteArray::number(addr, 16).toUpper().rightJustified(8, '0') + "," +
               QByteArray(2 * n, 'A');
    };
    auto reads = [&](std::initializer_list<const char*> addrs) {
        QList<QByteArray> out;
        for (const char* a : addrs) out << FrameSentence(QByteArray("PMTK182,7,") + a + ",800");
        return out << FrameSentence(sentinel);
    };
    Reply(data(0, 2048));
    ASSERT_EQ(sent.size(), 2);
    Advance(700);
    ASSERT_EQ(sent.size(), 4);
    for (int i = 0; i < 3; ++i) Reply(data(0xFFFFF0, 16));
    EXPECT_EQ(sent.mid(4).join(' '), reads({"800", "1000", "1800", "2000"}).join(' '));
    // The sweep's answers, then its sentinel's: the next sweep, then the end.
    for (uint32_t a : {0x800u, 0x1000u, 0x1800u, 0x2000u}) Reply(data(a, 2048));
    Reply(data(0xFFFFF0, 16));
    EXPECT_EQ(sent.mid(9).join(' '), reads({"2800", "3000", "3800"}).join(' '));
    for (uint32_t a : {0x2800u, 0x3000u, 0x3800u}) Reply(data(a, 2048));
    Reply(data(0xFFFFF0, 16));
    EXPECT_EQ(Count(LinkEvent::QueueDone), 1);
    EXPECT_EQ(Count(LinkEvent::ComError), 0);
    EXPECT_EQ(core.Reception().PendingCount(), 0);
}
