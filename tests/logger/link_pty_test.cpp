// The link over a real pseudo-terminal, against the logger simulator.
#include <memory>
#include <gtest/gtest.h>
#include "logger/logger_link.h"
#include "logger/sim_process.h"
#include "model/session.h"
#include "support/fake_prompts.h"

using namespace vel;
using vel::test::SimProcess;
using vel::test::WaitFor;

namespace {

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        link = std::make_unique<LoggerLink>(session, prompts);
        link->scanUsbPorts = false;
        // The simulator answers within milliseconds: short probe attempts.
        link->firstProbeMs = 250;
        link->probeMs = 250;
        link->AcptMTKGPSreq = [this] {
            ++accepted;
            if (onAccept) onAccept();
            else link->EndConnection();
        };
    }
    bool StatusHas(const QString& prefix) const {
        for (const QString& l : session.statusList.Lines())
            if (l.startsWith(prefix)) return true;
        return false;
    }
    // Finds the logger on the given ports and keeps the connection open.
    bool Connect(const QStringList& ports, int ms = 5000) {
        link->SetExtraPorts(ports);
        onAccept = [] {};
        const int before = accepted;
        link->StartMTKGPS();
        return WaitFor([&] { return accepted > before; }, ms);
    }
    // Sends bodies on the open connection and waits for WM_COMQUEUEDONE.
    bool Exchange(const QList<QByteArray>& bodies, int ms = 5000) {
        int doneCount = 0;
        QObject ctx;
        QObject::connect(link.get(), &LoggerLink::ComQueueDone, &ctx, [&] { ++doneCount; });
        link->QueueSentences(bodies);
        return WaitFor([&] { return doneCount > 0; }, ms);
    }

    Session session;
    vel::test::FakePrompts prompts;
    std::unique_ptr<LoggerLink> link;
    int accepted = 0;
    std::function<void()> onAccept;
};

TEST_F(LinkFixture, IdentifiesEachModelAtItsSpeed) {
    struct Case {
        QStringList args;
        const char* release;
        ProbeFlags probe;   // the attempt that fits
    };
    const Case cases[] = {
        {{"--model", "qk4"}, "QK4,", {true, true, true}},
        {{"--model", "qk3"}, ",QK3,9821", {false, true, true}},
        {{"--model", "qk3", "--baud", "460800"}, ",QK3,9821", {false, false, true}},
        // The first attempt takes a QK3 too; the QK3's rules apply from then on.
        {{"--model", "qk3", "--baud", "115200"}, ",QK3,9821", {false, true, true}},
        {{"--model", "qk3raw"}, ",QK3,10210", {false, true, true}},
        {{"--model", "887"}, "887", {false, false, false}},
        {{"--model", "860ed"}, "TSI_860ED", {false, false, false}},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.args);
        ASSERT_TRUE(sim.ready);
        session.statusList = StatusList();
        ASSERT_TRUE(Connect({sim.link})) << c.args.join(' ').toStdString();
        EXPECT_TRUE(link->Answers.LoggerRelease.contains(c.release)) << link->Answers.LoggerRelease.constData();
        EXPECT_EQ(link->Probe.ProbeQK4, c.probe.ProbeQK4);
        EXPECT_EQ(link->Probe.ProbeQK3Fast, c.probe.ProbeQK3Fast);
        EXPECT_EQ(link->Probe.ProbeQK3Slow, c.probe.ProbeQK3Slow);
        EXPECT_TRUE(link->IsPortOpen());
        EXPECT_TRUE(link->ControlsLocked);
        // The communication log first lists the port once per attempt.
        EXPECT_EQ(session.statusList.Lines().count(sim.link), 4);
        link->EndConnection();
        EXPECT_FALSE(link->IsPortOpen());
        EXPECT_FALSE(link->ControlsLocked);
        EXPECT_FALSE(link->TimerComm.isActive());
    }
    EXPECT_EQ(prompts.calls.size(), 0u);
}

TEST_F(LinkFixture, ProbesEveryPortUntilOneAnswers) {
    // Ports are tried from the end of the list; the logger sits on the one tried last.
    SimProcess logger({"--model", "qk4"});
    SimProcess mute1({"--model", "qk4"}), mute2({"--model", "qk4"});
    ASSERT_TRUE(logger.ready && mute1.ready && mute2.ready);
    mute1.Control("silent");
    mute2.Control("silent");
    ASSERT_TRUE(Connect({logger.link, mute1.link, mute2.link}, 12000));
    EXPECT_EQ(link->ComPortName, logger.link);
    // The silent ports were asked at their line speed (attempts 1 and 4) before.
    EXPECT_GE(mute1.Requests(), 2);
    EXPECT_GE(mute2.Requests(), 2);
    EXPECT_TRUE(link->Answers.LoggerRelease.startsWith("QK4,"));
    link->EndConnection();
}

TEST_F(LinkFixture, EachAttemptsTimeCountsFromItsQuestion) {
    SimProcess mute({"--model", "qk4"});
    ASSERT_TRUE(mute.ready);
    mute.Control("silent");
    link->firstProbeMs = LoggerLink::FirstProbeMs;
    link->probeMs = LoggerLink::ProbeMs;
    link->SetExtraPorts({mute.link});
    link->StartMTKGPS();
    // The first question goes out a moment after the port opens: the
    // logger's time starts then, not at the open.
    ASSERT_TRUE(link->IsPortOpen());
    EXPECT_FALSE(link->TimerComm.isActive());
    ASSERT_TRUE(WaitFor([&] { return link->TimerComm.isActive(); }));
    EXPECT_EQ(link->TimerComm.interval(), 650);
    // The later attempts ask at once and wait longer.
    ASSERT_TRUE(WaitFor([&] { return link->ComPortList.size() == 3; }));
    EXPECT_TRUE(link->TimerComm.isActive());
    EXPECT_EQ(link->TimerComm.interval(), 750);
    ASSERT_TRUE(WaitFor([&] { return prompts.count("inform") > 0; }, 20000));
    EXPECT_FALSE(link->ControlsLocked);
}

TEST_F(LinkFixture, NoAnswerAnywhereGivesTheConnectionMessage) {
    SimProcess mute({"--model", "qk4"});
    ASSERT_TRUE(mute.ready);
    mute.Control("silent");
    link->SetExtraPorts({mute.link});
    link->StartMTKGPS();
    ASSERT_TRUE(WaitFor([&] { return prompts.count("inform") > 0; }, 6000));
    EXPECT_EQ(prompts.texts("inform").value(0), QString::fromUtf8(LoggerText::ConnectFailed));
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_FALSE(link->ControlsLocked);
    EXPECT_EQ(accepted, 0);

    // No port at all: the message, and nothing locked.
    prompts.calls.clear();
    link->SetExtraPorts({"/nonexistent/velmaris-port"});
    link->StartMTKGPS();
    EXPECT_EQ(prompts.count("inform"), 1);
    EXPECT_FALSE(link->ControlsLocked);
}

TEST_F(LinkFixture, APortErrorWhileProbingMovesOnAtOnce) {
    // Probe attempts that never time out: only the port error moves on.
    link->firstProbeMs = 600000;
    link->probeMs = 600000;
    SimProcess sim({"--model", "qk4"});
    ASSERT_TRUE(sim.ready);
    sim.Control("silent");
    link->SetExtraPorts({sim.link});
    link->StartMTKGPS();
    ASSERT_TRUE(WaitFor([&] { return link->TimerComm.isActive(); }));   // the question is out
    const qsizetype attempts = link->ComPortList.size();
    ASSERT_EQ(sim.Control("hangup"), "ok");
    ASSERT_TRUE(WaitFor([&] { return link->ComPortList.size() < attempts; }, 20000));
    EXPECT_TRUE(StatusHas("Port error."));
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_TRUE(link->ControlsLocked);   // still probing: the next attempts follow
}

TEST_F(LinkFixture, WatchdogFiresOnASilentLogger) {
    SimProcess sim({"--model", "qk4"});
    ASSERT_TRUE(sim.ready && Connect({sim.link}));
    sim.Control("silent");
    link->ArmWatchdog(400);   // the sequencer's 7 s, shortened for the test
    link->QueueSentences({"PMTK400"});
    ASSERT_TRUE(WaitFor([&] { return prompts.count("inform") > 0; }));
    EXPECT_EQ(prompts.texts("inform").value(0), QString::fromUtf8(LoggerText::TimeoutQK4));
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_FALSE(link->ControlsLocked);
    EXPECT_EQ(link->TimerGpsCommSv.interval(), LoggerLink::WatchdogMs);
    // Resends went out meanwhile, at most five.
    EXPECT_TRUE(StatusHas("R)PMTK400"));
    EXPECT_LE(sim.Requests(), 1 + 1 + LinkCore::MaxRetries);
}

TEST_F(LinkFixture, ResendsAfterADroppedReply) {
    SimProcess sim({"--model", "qk4"});
    ASSERT_TRUE(sim.ready && Connect({sim.link}));
    sim.Control("fault drop");
    ASSERT_TRUE(Exchange({"PMTK400"}));
    EXPECT_TRUE(StatusHas("R)PMTK400"));
    EXPECT_EQ(link->Answers.AnsFixIntv, "100");
    EXPECT_EQ(sim.Requests(), 3);
    link->EndConnection();
}

TEST_F(LinkFixture, NoResendWhileALongLineArrivesSlowly) {
    // 2 KiB of memory as one 4,121-byte line at 115,200 bit/s: 358 ms on the wire.
    SimProcess sim({"--model", "qk4", "--pace", "--nmea-hz", "20"});
    ASSERT_TRUE(sim.ready && Connect({sim.link}));
    ASSERT_TRUE(Exchange({"PMTK182,7,0,800"}));
    EXPECT_FALSE(StatusHas("R)"));
    EXPECT_EQ(sim.Requests(), 2);
    link->EndConnection();
}

TEST_F(LinkFixture, NoResendForOlderLoggers) {
    SimProcess sim({"--model", "887"});
    ASSERT_TRUE(sim.ready && Connect({sim.link}));
    session.statusList = StatusList();
    const int before = sim.Requests();
    sim.Control("fault drop");
    link->QueueSentences({"PMTK400"});
    WaitFor([] { return false; }, 700);
    EXPECT_FALSE(StatusHas("R)"));
    EXPECT_EQ(sim.Requests(), before + 1);
    link->EndConnection();
}

TEST_F(LinkFixture, PositionSentencesGoToTheMonitor) {
    SimProcess sim({"--model", "qk4", "--nmea-hz", "50"});
    ASSERT_TRUE(sim.ready && Connect({sim.link}));
    ASSERT_TRUE(WaitFor([&] { return link->monitor.Lines().size() >= SentenceMonitor::MaxLines; }));
    EXPECT_TRUE(link->monitor.Lines().first().startsWith("$GPRMC"));
    EXPECT_EQ(link->monitor.Lines().size(), SentenceMonitor::MaxLines);
    EXPECT_FALSE(StatusHas("$GPRMC"));
    link->EndConnection();
}

// Each fault gives its message or status line, and the link works afterwards.
TEST_F(LinkFixture, InjectedFaults) {
    struct Case {
        const char* model;
        const char* fault;
        QByteArray body;
        const char* status;      // a status line that must appear (prefix), or null
        const char* message;     // the message shown, or null when the exchange completes
        int settleMs;            // time for late or duplicated replies to land
    };
    const Case cases[] = {
        {"qk4", "badsum", "PMTK400", "MTK checksum error.", nullptr, 0},
        {"qk4", "truncate", "PMTK400", "MTK * error.", nullptr, 0},
        {"qk4", "dup", "PMTK182,2,8", nullptr, nullptr, 300},
        {"qk4", "late 450", "PMTK400", "R)PMTK400", nullptr, 600},
        {"qk4", "partial", "PMTK400", "<break>$PMTK5", nullptr, 0},
        {"qk4", "garbage", "PMTK400", "<break>\x01", nullptr, 0},
        {"qk4", "unsolicited", "PMTK400", "$PMTK001,604,3", nullptr, 0},
        {"qk4", "badsum", "PTSI777,1", "TSI checksum error.", LoggerText::CommFailedQK4, 0},
        {"887", "badsum", "PMTK400", "MTK checksum error.", LoggerText::CommFailed, 0},
        {"887", "truncate", "PMTK400", "MTK * error.", LoggerText::CommFailed, 0},
    };
    // One simulator per model: each fault is used up by the answer it spoils,
    // and every case ends on a clean exchange.
    std::unique_ptr<SimProcess> simOwner;
    QString simModel;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.fault);
        if (simModel != c.model) {
            simOwner.reset();
            simOwner = std::make_unique<SimProcess>(QStringList{"--model", c.model});
            simModel = c.model;
        }
        SimProcess& sim = *simOwner;
        ASSERT_TRUE(sim.ready);
        session.statusList = StatusList();
        prompts.calls.clear();
        ASSERT_TRUE(Connect({sim.link}, 6000));
        EXPECT_EQ(sim.Control(QString("fault ") + c.fault), "ok");
        int doneCount = 0;
        QObject ctx;
        QObject::connect(link.get(), &LoggerLink::ComQueueDone, &ctx, [&] { ++doneCount; });
        // Two sentences: a fault on the first must not upset the second.
        link->QueueSentences({c.body, "PMTK182,2,3"});
        if (c.message) {
            ASSERT_TRUE(WaitFor([&] { return prompts.count("inform") > 0; }));
            EXPECT_EQ(prompts.texts("inform").value(0), QString::fromUtf8(c.message));
            EXPECT_FALSE(link->IsPortOpen());
            EXPECT_FALSE(link->ControlsLocked);
        } else {
            ASSERT_TRUE(WaitFor([&] { return doneCount > 0; }));
            if (c.settleMs) WaitFor([] { return false; }, c.settleMs);
            EXPECT_EQ(doneCount, 1);
            EXPECT_EQ(link->Answers.AnsLogRate, "1");
            EXPECT_EQ(prompts.calls.size(), 0u);
        }
        if (c.status) {
            const QString want = QString::fromLatin1(c.status);
            EXPECT_TRUE(StatusHas(want)) << session.statusList.Lines().join(" | ").toStdString();
        }
        // Still usable: a fresh exchange (on a new connection after an abort).
        if (!link->IsPortOpen()) {
            ASSERT_TRUE(Connect({sim.link}, 6000));
        }
        link->ClearAnswers(false);
        ASSERT_TRUE(Exchange({"PMTK182,2,8", "PMTK400"}));
        EXPECT_FALSE(link->Answers.AnsLogUsed.isEmpty());
        EXPECT_EQ(link->Answers.AnsFixIntv, "100");
        link->EndConnection();
    }
}

TEST_F(LinkFixture, ClosingMidReplyDropsTheRestAndReopens) {
    SimProcess sim({"--model", "qk4", "--pace"});
    ASSERT_TRUE(sim.ready && Connect({sim.link}));
    int doneCount = 0;
        QObject ctx;
        QObject::connect(link.get(), &LoggerLink::ComQueueDone, &ctx, [&] { ++doneCount; });
    link->QueueSentences({"PMTK182,7,0,800"});   // one 4,121-byte line: 358 ms on the wire
    WaitFor([] { return false; }, 150);
    link->CloseComPort();
    EXPECT_FALSE(link->IsPortOpen());
    WaitFor([] { return false; }, 400);   // the logger finishes its line into the closed port
    EXPECT_EQ(doneCount, 0);
    link->EnaGPSbutton();
    // The next connection finds the logger again, the old bytes notwithstanding.
    ASSERT_TRUE(Connect({sim.link}, 6000));
    ASSERT_TRUE(Exchange({"PMTK400"}, 6000));
    EXPECT_EQ(link->Answers.AnsFixIntv, "100");
    link->EndConnection();
}

} // namespace
