// Download plans, the status view's judgement, the range scale and the
// reception's handling of damaged, misplaced and out-of-range data.
#include <gtest/gtest.h>
#include "logger/framing.h"
#include "logger/logger_requests.h"
#include "logger/memory_reception.h"

using namespace vel;

namespace {

AnswerSlots Qk4Answers() {
    AnswerSlots a;
    a.LoggerRelease = "QK4,V1.20,0007";
    a.AnsLogRate = "1";
    a.AnsFixIntv = "100";
    a.AnsLogFmt = "0004103F";
    a.AnsLogDist = "0";
    a.AnsLogSpd = "0";
    a.AnsLogMethod = "2";
    a.AnsQK4Set = "27";
    a.AnsLogUsed = "00000000";
    a.AnsTrigSpd = "30.00";
    return a;
}

TEST(DownloadPlan, SizesPerModel) {
    AnswerSlots a = Qk4Answers();
    a.AnsLogUsed = "0";
    DownloadPlan p = PlanQK4(a);
    EXPECT_EQ(p.bodies, (QList<QByteArray>{"PMTK182,7,0,0000", "PMTK182,7,FFFFF0,10"}));
    EXPECT_EQ(p.flagCount, 0);
    EXPECT_EQ(p.dlTotal, 0);
    a.AnsLogUsed = "1";
    p = PlanQK4(a);
    EXPECT_EQ(p.bodies.front(), "PMTK182,7,0,1000");
    EXPECT_EQ(p.dlTotal, 2);
    a.AnsLogUsed = "FFFFFF";
    EXPECT_EQ(PlanQK4(a).bodies.front(), "PMTK182,7,0,FFE000");

    AnswerSlots old;
    old.LoggerRelease = "AXN_1.0,887,0001";
    old.AnsLogRate = "5";
    p = PlanSectors(old, LoggerModel::Older, 0, LastUsedSector(old));
    EXPECT_EQ(p.bodies.size(), 4098);
    EXPECT_EQ(p.bodies.front(), "PMTK300,1000,0,0,0,0");
    EXPECT_EQ(p.bodies.back(), "PMTK300,500,0,0,0,0");

    AnswerSlots qk3;
    qk3.LoggerRelease = "AXN_5.1.7,QK3,10210,0007";
    qk3.AnsLogUsed = "00170000";   // sector 23: no range dialog is needed
    EXPECT_EQ(LastUsedSector(qk3), 23);
    p = PlanSectors(qk3, LoggerModel::QK3, 1, 1);
    EXPECT_EQ(p.bodies.size(), 64);
    EXPECT_EQ(p.bodies[1], "PTSI870,7,00066560,1024");
    EXPECT_EQ(p.firstFlag, 64);
    qk3.LoggerRelease = "AXN_5.1.7,QK3,9821,0007";
    EXPECT_EQ(PlanSectors(qk3, LoggerModel::QK3, 1, 1).bodies[1], "PMTK182,7,00010800,800");
}

TEST(RangeScale, ClicksMoveTheMarkersWithinTheUsedTicks) {
    LoadRange r = InitialRange(40);
    EXPECT_EQ(r.max, 3);   // sectors 32 to 40 lie in the third MiB
    const int w = 341, h = 90, step = (w - 21) / 16;
    RangeMouseDown(r, w - 5, 80, w, h);   // right of the last tick, lower third
    EXPECT_EQ(r.end, 3);
    RangeMouseDown(r, 10 + 4 * step, 10, w, h);   // tick 2, upper third
    EXPECT_EQ(r.start, 2);
    RangeMouseDown(r, 10 + 2 * step, 80, w, h);   // end to tick 1 pulls the start back
    EXPECT_EQ(r.end, 1);
    EXPECT_EQ(r.start, 0);
    LoadRange eight = InitialRange(127);
    eight.end = 4;
    RangeMouseDown(eight, w - 5, 80, w, h);
    EXPECT_EQ(eight.end, 8);
    LoadRange narrow = InitialRange(40);
    RangeMouseDown(narrow, 5, 10, 30, h);   // too narrow for ticks: nothing, no division by zero
    EXPECT_EQ(narrow.start, 0);
    int first = 0, last = 40;
    ApplyRange(LoadRange{40, 3, 1, 2}, first, last);
    EXPECT_EQ(first, 16);
    EXPECT_EQ(last, 31);
}

TEST(StatusView, JudgesTheSetUp) {
    AnswerSlots a = Qk4Answers();
    StatusView v = EvaluateStatus(a, "/dev/ttyUSB0", true);
    EXPECT_EQ(v.mode, "10Hzモード");
    EXPECT_FALSE(v.wrongSetup);
    EXPECT_EQ(v.logStat, "空き領域 100.0%");
    EXPECT_EQ(v.logStatColour, LabelColour::Black);
    a.AnsLogUsed = "00FFE000";
    v = EvaluateStatus(a, "", true);
    EXPECT_EQ(v.logStat, "空き領域 0.0%");
    EXPECT_EQ(v.logStatColour, LabelColour::Red);
    a.AnsQK4Set = "26";
    EXPECT_TRUE(EvaluateStatus(a, "", true).wrongSetup);

    AnswerSlots old;
    old.LoggerRelease = "AXN_1.0,887,0001";
    old.AnsLogRate = "2";
    old.AnsFixIntv = "100";
    old.AnsLogFmt = "8004107D";
    old.AnsLogDist = old.AnsLogSpd = "0";
    old.AnsLogMethod = "2";
    old.AnsDatum = "0";
    old.AnsNmeaOut = "0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0";
    EXPECT_FALSE(EvaluateStatus(old, "", false).wrongSetup);   // MTK_VIEW_STAT accepts ("2", 100)
    EXPECT_TRUE(EvaluateStatus(old, "", true).wrongSetup);
    EXPECT_FALSE(EvaluateStatus(old, "", true).trigShown);
}

QByteArray DataLine(uint32_t addr, const QByteArray& bytes) {
    return FrameSentence("PMTK182,8," + QByteArray::number(addr, 16).toUpper().rightJustified(8, '0') + "," +
                         bytes.toHex().toUpper())
        .chopped(2);
}

TEST(Reception, QK4SentinelSweepsFourPendingBlocksAtATime) {
    MemoryReception m;
    // Flags 3, 7, 9, 12 and 20 pending: set by beginning with 21 and storing the rest.
    m.Begin(LoggerModel::QK4, 0, 21, "1");
    const QByteArray block(2048, '\x11');
    for (int i = 0; i < 21; ++i)
        if (i != 3 && i != 7 && i != 9 && i != 12 && i != 20)
            m.OnDataLine(DataLine(uint32_t(i) * 2048, block), false, "PMTK182,7,0,15000", true);
    EXPECT_EQ(m.QK4BlocksDone(), 16);
    const ReceptionStep s = m.OnDataLine(DataLine(0xFFFFF0, QByteArray(16, '\xFF')), false, "PMTK182,7,FFFFF0,10", true);
    EXPECT_EQ(s.sendNow, (QList<QByteArray>{"PMTK182,7,1800,800", "PMTK182,7,3800,800", "PMTK182,7,4800,800",
                                            "PMTK182,7,6000,800", "PMTK182,7,FFFFF0,10"}));
    EXPECT_EQ(s.next, ReceptionStep::Wait);
}

TEST(Reception, DamagedMisplacedAndOutOfRangeDataIsNotTrusted) {
    MemoryReception m;
    m.Begin(LoggerModel::QK3, 0, 64, "1");
    const QByteArray kb(1024, '\x22');
    // A mis-summed line is not stored; the asked block is read again as two halves.
    QByteArray bad = DataLine(0x800, kb + kb);
    ReceptionStep s = m.OnDataLine(bad, true, "PMTK182,7,00000800,800", false);
    EXPECT_FALSE(s.stored);
    EXPECT_EQ(s.queue, (QList<QByteArray>{"PMTK182,7,00000800,400", "PMTK182,7,00000C00,400"}));
    EXPECT_EQ(uint8_t(m.Image()[0x800]), 0xFF);
    // Another address than asked: stored where it says, the asked block again.
    s = m.OnDataLine(DataLine(0x1200, kb), false, "PMTK182,7,00001000,800", false);
    EXPECT_TRUE(s.stored);
    EXPECT_EQ(s.queue, (QList<QByteArray>{"PMTK182,7,00001000,400", "PMTK182,7,00001400,400"}));
    EXPECT_TRUE(m.Pending(4));    // 0x1000: only partly covered by 0x1200..0x15FF
    EXPECT_EQ(s.next, ReceptionStep::EndWait);
    // Lines that break the format or leave the memory change nothing. A
    // well-summed line with a stray character is not taken for zeros.
    const QByteArray kbHex = kb.toHex().toUpper();
    const auto framed = [](const QByteArray& body) { return FrameSentence(body).chopped(2); };
    for (const QByteArray& line :
         {QByteArray("$PMTK182,8,0000*00"), DataLine(0xFFFC00, QByteArray(2048, 'x')),
          DataLine(0, kb).replace(19, 1, ";"), framed("PMTK182,8,00000000," + kbHex + "2"),
          framed("PMTK182,8,00000000," + QByteArray(kbHex).replace(100, 1, "G")),
          framed("PMTK182,8,0000000G," + kbHex), framed("PMTK182,8,0000000 ," + kbHex)}) {
        s = m.OnDataLine(line, false, "PMTK182,7,00000000,800", false);
        EXPECT_FALSE(s.stored) << line.left(30).constData();
    }
    EXPECT_TRUE(m.Pending(0));
    EXPECT_EQ(uint8_t(m.Image()[0]), 0xFF);
    // Re-reads of one block are capped.
    ReceptionStep last;
    for (int i = 0; i <= MemoryReception::MaxRereads; ++i) last = m.OnDataLine(bad, true, "PMTK182,7,00000800,800", false);
    EXPECT_EQ(last.next, ReceptionStep::Fail);
}

TEST(Reception, WhatIsStillPendingAtTheEndIsReadAgainUntilTheCap) {
    struct Case { LoggerModel model; bool raw; QList<QByteArray> reads; };
    const Case cases[] = {
        {LoggerModel::QK3, false, {"PMTK182,7,00000000,400", "PMTK182,7,00000400,400", "PMTK182,7,00000800,400"}},
        {LoggerModel::QK3, true, {"PTSI870,7,00000000,1024", "PTSI870,7,00001024,1024", "PTSI870,7,00002048,1024"}},
        // An older logger reads 2 KiB: one read covers two pending blocks.
        {LoggerModel::Older, false, {"PMTK182,7,00000000,800", "PMTK182,7,00000800,800"}},
    };
    for (const Case& c : cases) {
        MemoryReception m;
        m.Begin(c.model, 0, 3, "1");
        ReceptionStep s = m.RereadPending(c.raw);
        EXPECT_EQ(s.queue, c.reads);
        for (int i = 1; i < MemoryReception::MaxRereads; ++i) EXPECT_NE(m.RereadPending(c.raw).next, ReceptionStep::Fail);
        EXPECT_EQ(m.RereadPending(c.raw).next, ReceptionStep::Fail);
    }
}

TEST(Reception, RawBlocksAreCommittedOnlyWhole) {
    MemoryReception m;
    m.Begin(LoggerModel::QK3, 0, 64, "1");
    auto feed = [&](const QByteArray& bytes, ReceptionStep& step) {
        bool done = false;
        for (char c : bytes) {
            if (!m.RawMode()) break;
            done = m.OnRawByte(c, false, step) || done;
        }
        return done;
    };
    const QByteArray data(1024, '\x33');
    ReceptionStep step;
    // A header of nine digits is refused; nothing is stored.
    m.OnSend("PTSI870,7,00000000,1024");
    EXPECT_FALSE(feed("$000000000," + data + "\r\n", step));
    EXPECT_EQ(uint8_t(m.Image()[0]), 0xFF);
    // A block cut short is never written, even when bytes fill its length.
    m.OnSend("PTSI870,7,00000000,1024");
    EXPECT_FALSE(feed("$0," + data.left(600) + "\r\n", step));
    EXPECT_EQ(uint8_t(m.Image()[0]), 0xFF);
    m.OnSend("PTSI870,7,00000000,1024");
    ASSERT_TRUE(feed("$400," + data + "\r\n", step));
    EXPECT_EQ(uint8_t(m.Image()[0x400]), 0x33);
    EXPECT_EQ(step.queue.front(), "PTSI870,7,00000000,1024");   // the asked block again
    EXPECT_EQ(step.next, ReceptionStep::Wait);
    EXPECT_FALSE(m.Pending(1));
    EXPECT_TRUE(m.Pending(0));
    // The receiver stays armed: the asked block, coming after it, ends the wait.
    ASSERT_TRUE(feed("$0," + data + "\r\n", step));
    EXPECT_EQ(step.next, ReceptionStep::EndWait);
    EXPECT_FALSE(m.Pending(0));
}

// A logger streams its position between answers: a sentence, or the rest of
// one, that comes after the raw read went out and before its block is no
// part of the block and does not lose it.
TEST(Reception, PositionSentencesBeforeARawBlockArePassedOver) {
    const QByteArray position = "$GPRMC,020000.000,A,3450.400,N,13632.400,E,0.0,0.0,140523,,,A*00\r\n";
    const QByteArray before[] = {position, position.mid(30), "\r\n", position + position};
    const QByteArray data(1024, '\x44');
    for (const QByteArray& b : before) {
        SCOPED_TRACE(b.constData());
        MemoryReception m;
        m.Begin(LoggerModel::QK3, 0, 64, "1");
        m.OnSend("PTSI870,7,00001024,1024");
        ReceptionStep step;
        bool done = false;
        for (char c : b + "$400," + data + "\r\n") {
            ASSERT_TRUE(m.RawMode());
            done = m.OnRawByte(c, false, step);
        }
        ASSERT_TRUE(done);
        EXPECT_EQ(step.next, ReceptionStep::EndWait);
        EXPECT_EQ(uint8_t(m.Image()[0x400]), 0x44);
        EXPECT_FALSE(m.Pending(1));
    }
}

// The free memory shown near a full memory: below the floor it reads 0.
TEST(StatusView, FreeMemoryNearlyFull) {
    struct Case {
        const char* used;   // AnsLogUsed of a QK3 (8,192,000 bytes)
        const char* shown;
    };
    const Case cases[] = {
        {"007C0333", "空き領域 0.0%"},   // 0.79 % free
        {"007BFCCD", "空き領域 0.8%"},   // 0.81 % free
    };
    AnswerSlots a;
    a.LoggerRelease = "AXN_5.1.7,QK3,9821,0007";
    a.AnsLogRate = "1";
    for (const Case& c : cases) {
        a.AnsLogUsed = c.used;
        EXPECT_EQ(EvaluateStatus(a, "", true).logStat, QString::fromUtf8(c.shown)) << c.used;
    }
}

// The fix interval an older logger is given back, by its rate code: at the
// end of a download plan, after a damaged line (the restore queued again
// behind the re-read) and on the connection after an abort.
TEST(DownloadPlan, FixIntervalRestoreByRateCode) {
    struct Case {
        const char* rate;
        const char* planEnd;
        const char* afterAbort;
    };
    const Case cases[] = {
        {"1", "PMTK300,100,0,0,0,0", "PMTK300,100,0,0,0,0"},
        {"2", "PMTK300,200,0,0,0,0", "PMTK300,200,0,0,0,0"},
        {"5", "PMTK300,500,0,0,0,0", "PMTK300,500,0,0,0,0"},
        {"", "PMTK300,200,0,0,0,0", "PMTK300,1000,0,0,0,0"},
        {"3", "PMTK300,200,0,0,0,0", "PMTK300,1000,0,0,0,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        AnswerSlots a;
        a.LoggerRelease = "AXN_1.0,887,0001";
        a.AnsLogRate = c.rate;
        a.AnsLogUsed = "00000000";
        EXPECT_EQ(PlanSectors(a, LoggerModel::Older, 0, 0).bodies.back(), c.planEnd);
        MemoryReception m;
        m.Begin(LoggerModel::Older, 0, 64, c.rate);
        const ReceptionStep s = m.OnDataLine(DataLine(0x800, QByteArray(2048, '\x44')), true,
                                             "PMTK182,7,00000800,800", false);
        EXPECT_EQ(s.queue, (QList<QByteArray>{"PMTK182,7,00000800,800", c.planEnd}));
        const SentenceRequest r = SentencesFor(Req::RetDtFix, a, 30);
        EXPECT_EQ(r.bodies, QList<QByteArray>{c.afterAbort});
    }
}

} // namespace
