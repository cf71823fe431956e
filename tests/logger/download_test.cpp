// Memory downloads from the simulator, with and without faults.
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include "logger/loading_dialog.h"
#include "logger/logger_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

using DownloadTest = LoggerFixture;

TEST_F(DownloadTest, EveryModelDownloadsTheWholeMemoryEvenWithFaults) {
    struct Case {
        const char* name;
        QStringList args;
        int bytes;
        QStringList controls;   // simulator control lines before the download
    };
    const Case cases[] = {
        {"qk4", {"--model", "qk4"}, 150000, {}},
        {"qk4 lost acknowledgements", {"--model", "qk4"}, 150000, {"noack on"}},
        {"qk4 wrong sums", {"--model", "qk4"}, 150000, {"every badsum 7"}},
        {"qk4 dropped line", {"--model", "qk4"}, 150000, {"fault dropline 3"}},
        {"qk4 dropped answer", {"--model", "qk4"}, 150000, {"fault memdrop"}},
        {"qk3 hex", {"--model", "qk3"}, 140000, {}},
        {"qk3 hex wrong sums", {"--model", "qk3"}, 140000, {"every badsum 5"}},
        {"qk3 hex dropped line", {"--model", "qk3"}, 140000, {"fault dropline 1"}},
        {"qk3 raw", {"--model", "qk3raw"}, 140000, {}},
        {"qk3 raw truncated block", {"--model", "qk3raw"}, 140000, {"fault rawtruncate"}},
        {"887", {"--model", "887"}, 70000, {}},
        {"887 wrong sums", {"--model", "887"}, 70000, {"every badsum 6"}},
        {"860ed", {"--model", "860ed"}, 70000, {}},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray image = RandomImage(c.bytes, seed++);
        SimProcess sim(QStringList(c.args) << "--image" << WriteImage(image));
        ASSERT_TRUE(sim.ready);
        for (const QString& line : c.controls) ASSERT_EQ(sim.Control(line), "ok");
        Use(sim);
        prompts.calls.clear();
        const int before = loaded;
        cmds->SpeedButtonLdGPSClick();
        ASSERT_TRUE(WaitFor([&] { return loaded > before; }, 30000)) << Messages().join('\n').toStdString();
        ASSERT_TRUE(Idle());
        EXPECT_TRUE(SameAsMemory(image));
        EXPECT_TRUE(prompts.calls.empty()) << Messages().join('\n').toStdString();
        EXPECT_EQ(session.loggerHandover.LoggerRelease, link->Answers.LoggerRelease);
        EXPECT_FALSE(session.loggerHandover.LoggerUsedBytes.isEmpty());
    }
}

TEST_F(DownloadTest, LateDuplicatedAndOddAnswersStillGiveTheWholeMemory) {
    // Each ends with the logger's memory handed over as it is, and no message.
    struct Case {
        const char* name;
        QStringList args;
        int bytes;
        QStringList controls;
    };
    const Case cases[] = {
        {"qk3 raw duplicated block", {"--model", "qk3raw"}, 140000, {"at 400/400 dup"}},
        {"qk3 raw block 350 ms late", {"--model", "qk3raw"}, 140000, {"at 800/400 late 350"}},
        {"qk3 hex 1 KiB re-read answered late", {"--model", "qk3"}, 140000, {"fault badline 1", "at 0/400 late 350"}},
        {"qk3 hex malformed line on the last read", {"--model", "qk3"}, 131000, {"at 1F800/800 odd"}},
        {"887 malformed line on the last read", {"--model", "887"}, 131000, {"at 1F800/800 odd"}},
        {"887 short answer to a 2 KiB read", {"--model", "887"}, 131000, {"at 10000/800 short"}},
        {"qk4 empty memory", {"--model", "qk4", "--used", "0"}, 0, {}},
        {"qk3 raw position sentences streaming", {"--model", "qk3raw", "--nmea-hz", "10"}, 70000, {}},
        {"qk4 sentinel answered twice", {"--model", "qk4"}, 150000, {"fault dropline 3", "at FFFFF0/10 late 350"}},
    };
    unsigned seed = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray image = c.bytes ? RandomImage(c.bytes, seed++) : QByteArray();
        QStringList args = c.args;
        if (c.bytes) args << "--image" << WriteImage(image);
        SimProcess sim(args);
        ASSERT_TRUE(sim.ready);
        for (const QString& line : c.controls) ASSERT_EQ(sim.Control(line), "ok");
        Use(sim);
        prompts.calls.clear();
        const int before = loaded;
        cmds->SpeedButtonLdGPSClick();
        ASSERT_TRUE(WaitFor([&] { return loaded > before || !prompts.calls.empty(); }, 30000));
        ASSERT_TRUE(Idle());
        EXPECT_TRUE(prompts.calls.empty()) << Messages().join('\n').toStdString();
        EXPECT_EQ(loaded, before + 1);
        EXPECT_TRUE(SameAsMemory(image));
    }
}

TEST_F(DownloadTest, ABlockThatNeverComesWholeEndsInTheFailureMessage) {
    // The re-reads give up and nothing is handed over.
    struct Case { const char* model; QStringList controls; };
    const Case cases[] = {
        {"qk3", {"every badsum 1"}},
        {"887", {"every badsum 1"}},
        {"qk3", {"at F800/800 odd", "at F800/400 odd 9"}},
        {"887", {"at F800/800 odd 9"}},
        {"887", {"at 8000/800 short", "at 8400/800 odd 9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + (" " + c.controls.join(", ").toStdString()));
        SimProcess sim({"--model", c.model, "--image", WriteImage(RandomImage(9000, 3))});
        ASSERT_TRUE(sim.ready);
        for (const QString& line : c.controls) ASSERT_EQ(sim.Control(line), "ok");
        Use(sim);
        prompts.calls.clear();
        cmds->SpeedButtonLdGPSClick();
        ASSERT_TRUE(WaitFor([&] { return !prompts.calls.empty(); }, 20000)) << session.statusList.Lines().mid(0, 30).join("\n").toStdString() << " loaded " << loaded;
        ASSERT_TRUE(Idle());
        EXPECT_EQ(prompts.texts("inform"),
                  QStringList{QString::fromUtf8(LoggerText::CommFailed)});
        EXPECT_EQ(loaded, 0);
    }
}

TEST_F(DownloadTest, SilenceMidDownloadTimesOutWithoutAHandOver) {
    link->watchdogMs = 1200;
    SimProcess sim({"--model", "qk3", "--pace", "--image", WriteImage(RandomImage(200000, 4))});
    ASSERT_TRUE(sim.ready);
    Use(sim);
    cmds->SpeedButtonLdGPSClick();
    ASSERT_TRUE(WaitFor([&] { return cmds->LoadingDialog() && cmds->Progress() > 5; }, 20000));
    EXPECT_TRUE(cmds->LoadingDialog()->AbortBtn->isVisibleTo(cmds->LoadingDialog()));
    ASSERT_EQ(sim.Control("silent"), "ok");
    ASSERT_TRUE(WaitFor([&] { return !prompts.calls.empty(); }, 10000));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(prompts.texts("inform"), QStringList{QString::fromUtf8(LoggerText::Timeout)});
    EXPECT_EQ(loaded, 0);
}

// The abort button: the logger finishes the cut-off answer and a new
// connection shows the status; an older logger gets its fix interval back.
// A logger streaming its position is never silent, but that is no download data.
TEST_F(DownloadTest, AbortHandsNothingOverAndLeavesTheLinkUsable) {
    struct Case {
        const char* model;
        int nmeaHz;
    };
    const Case cases[] = {{"887", 0}, {"887", 5}, {"qk3", 5}, {"qk3raw", 5}};
    unsigned seed = 5;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " positions at " + std::to_string(c.nmeaHz) + " Hz");
        const bool older = QByteArray(c.model) == "887";
        SimProcess sim({"--model", c.model, "--pace", "--nmea-hz", QString::number(c.nmeaHz), "--image",
                        WriteImage(RandomImage(200000, seed++))});
        ASSERT_TRUE(sim.ready);
        Use(sim);
        prompts.calls.clear();
        cmds->SpeedButtonLdGPSClick();
        ASSERT_TRUE(WaitFor([&] { return cmds->LoadingDialog() && cmds->Progress() > 5; }, 20000));
        // The download button is refused while the download runs.
        cmds->SpeedButtonLdGPSClick();
        (void)sim.Control("received");
        cmds->LoadingDialog()->AbortBtn->click();
        ASSERT_TRUE(WaitFor([&] { return !controls->LabelPort->text().isEmpty() || !prompts.calls.empty(); }, 20000));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(loaded, 0);
        EXPECT_TRUE(prompts.calls.empty()) << Messages().join('\n').toStdString();
        EXPECT_EQ(controls->LabelPort->text(), "ポート = " + sim.link);
        EXPECT_EQ(controls->LabelCurrntMode->text(), "10Hzモード");
        // Only the older logger's download slowed the fix interval.
        const QString got = sim.Control("received");
        EXPECT_EQ(got.contains("PMTK300,"), older) << got.toStdString();
        if (older) {
            EXPECT_TRUE(got.contains("PMTK300,100,0,0,0,0")) << got.toStdString();
        }
        EXPECT_TRUE(sim.Control("state").contains("fix=100"));
    }
}

TEST_F(DownloadTest, ALargeQK3MemoryAsksForTheRange) {
    // 40 used sectors: the range dialog; the first two MiB are chosen.
    const QByteArray image = RandomImage(40 * 65536 + 100, 6);
    SimProcess sim({"--model", "qk3raw", "--image", WriteImage(image)});
    ASSERT_TRUE(sim.ready);
    Use(sim);
    rangeAnswer = [](LoadRange& r) {
        EXPECT_EQ(r.used, 40);
        EXPECT_EQ(r.max, 3);
        r.start = 0;
        r.end = 1;
        return true;
    };
    cmds->SpeedButtonLdGPSClick();
    ASSERT_TRUE(WaitFor([&] { return loaded > 0; }, 30000)) << Messages().join('\n').toStdString();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(rangeAsked, 1);
    EXPECT_EQ(std::memcmp(session.logStore.LogDump.data(), image.constData(), 65536 * 16), 0);
    EXPECT_EQ(uint8_t(session.logStore.LogDump[65536 * 16]), 0xFF);
}

// Faults of the line rather than of the answers: each download ends in the
// whole image, or in the model's message with nothing handed over.
TEST_F(DownloadTest, LineFaultsEndInTheWholeImageOrTheMessage) {
    struct Case {
        const char* name;
        QStringList args;
        int bytes;
        QString control;       // simulator control line once the download runs
        const char* message;   // null: the image arrives whole
    };
    const Case cases[] = {
        {"qk3 answering at 115,200", {"--model", "qk3", "--baud", "115200"}, 140000, {}, nullptr},
        {"qk3 port closed mid-download", {"--model", "qk3", "--pace"}, 200000, "hangup", LoggerText::Timeout},
        {"qk4 port closed mid-download", {"--model", "qk4", "--pace"}, 60000, "hangup", LoggerText::TimeoutQK4},
    };
    // A port that goes away is noticed at once, not by the watchdog.
    link->watchdogMs = 600000;
    unsigned seed = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray image = RandomImage(c.bytes, seed++);
        SimProcess sim(QStringList(c.args) << "--image" << WriteImage(image));
        ASSERT_TRUE(sim.ready);
        Use(sim);
        prompts.calls.clear();
        const int before = loaded;
        cmds->SpeedButtonLdGPSClick();
        if (!c.message) {
            ASSERT_TRUE(WaitFor([&] { return loaded > before; }, 30000)) << Messages().join('\n').toStdString();
            ASSERT_TRUE(Idle());
            EXPECT_TRUE(SameAsMemory(image));
            EXPECT_TRUE(prompts.calls.empty()) << Messages().join('\n').toStdString();
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return cmds->LoadingDialog() && cmds->Progress() > 5; }, 20000));
        ASSERT_EQ(sim.Control(c.control), "ok");
        ASSERT_TRUE(WaitFor([&] { return !prompts.calls.empty(); }, 20000));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(prompts.texts("inform"), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(loaded, before);
    }
}

TEST_F(DownloadTest, TheTabStaysLockedUntilTheRestoreAfterAnAbortHasStarted) {
    SimProcess sim({"--model", "887", "--pace", "--image", WriteImage(RandomImage(200000, 50))});
    ASSERT_TRUE(sim.ready);
    Use(sim);
    cmds->SpeedButtonLdGPSClick();
    ASSERT_TRUE(WaitFor([&] { return cmds->LoadingDialog() && cmds->Progress() > 5; }, 20000));
    cmds->LoadingDialog()->AbortBtn->click();
    // A click at once, while the logger is given its moment, does nothing.
    EXPECT_FALSE(controls->ButtonLogSpace->isEnabled());
    controls->ButtonLogSpace->click();
    ASSERT_TRUE(WaitFor([&] { return !controls->LabelPort->text().isEmpty(); }, 20000));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(prompts.calls.empty()) << Messages().join('\n').toStdString();
    EXPECT_TRUE(sim.Control("state").contains("fix=100"));
    EXPECT_EQ(loaded, 0);
}

// Esc or the title bar's close of the progress dialog is the abort; a QK4,
// which has no abort button, asks first.
TEST_F(DownloadTest, ClosingTheProgressDialogAborts) {
    struct Case {
        const char* name;
        const char* model;
        int bytes;
        bool esc;                     // else the window's close
        std::deque<Answer> answers;   // to the question
        bool aborted;
        int nmeaHz = 0;               // position sentences a second
    };
    const Case cases[] = {
        {"887 Esc", "887", 200000, true, {}, true},
        {"887 close", "887", 200000, false, {}, true},
        {"qk4 Esc, Cancel", "qk4", 30000, true, {Answer::Cancel}, false},
        {"qk4 close, Yes", "qk4", 30000, false, {Answer::Yes}, true},
        {"887 Esc, positions at 10 Hz", "887", 200000, true, {}, true, 10},
        {"qk3 close, positions at 10 Hz", "qk3", 200000, false, {}, true, 10},
        {"qk3 raw Esc, positions at 10 Hz", "qk3raw", 200000, true, {}, true, 10},
    };
    const QString ask = QStringLiteral("ダウンロードを中止しますか?");
    unsigned seed = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool qk4 = QByteArray(c.model) == "qk4";
        const QByteArray image = RandomImage(c.bytes, seed++);
        SimProcess sim({"--model", c.model, "--pace", "--nmea-hz", QString::number(c.nmeaHz), "--image",
                        WriteImage(image)});
        ASSERT_TRUE(sim.ready);
        Use(sim);
        prompts.calls.clear();
        prompts.answers = c.answers;
        const int before = loaded;
        cmds->SpeedButtonLdGPSClick();
        ASSERT_TRUE(WaitFor([&] { return cmds->LoadingDialog() && cmds->Progress() > 5; }, 20000));
        TOKBottomDlgGPSloading* dlg = cmds->LoadingDialog();
        EXPECT_EQ(dlg->AbortBtn->isVisibleTo(dlg), !qk4);
        if (c.esc) {
            QTest::keyClick(dlg, Qt::Key_Escape);
        } else {
            dlg->close();
        }
        if (qk4) {
            ASSERT_TRUE(WaitFor([&] { return prompts.count("yescancel") == 1; }));
        }
        if (c.aborted) {
            ASSERT_TRUE(Idle());
            EXPECT_EQ(loaded, before);
            EXPECT_FALSE(cmds->LoadingDialog());
        } else {
            EXPECT_TRUE(cmds->LoadingDialog());
            ASSERT_TRUE(WaitFor([&] { return loaded > before; }, 30000)) << Messages().join('\n').toStdString();
            ASSERT_TRUE(Idle());
            EXPECT_TRUE(SameAsMemory(image));
        }
        EXPECT_EQ(prompts.texts("yescancel"), qk4 ? QStringList{ask} : QStringList{});
        if (c.aborted) {
            // The abort's own connection restored the fix interval and showed
            // the status; a QK4 still streaming its memory did not spoil it.
            const QStringList messages = Messages();
            for (const char* failed : {LoggerText::ConnectFailed, LoggerText::TimeoutQK4, LoggerText::Timeout})
                EXPECT_FALSE(prompts.texts("inform").contains(QString::fromUtf8(failed))) << messages.join('\n').toStdString();
            if (!qk4) {
                EXPECT_TRUE(prompts.calls.empty()) << messages.join('\n').toStdString();
            }
            // A QK4's download never changes its fix interval, so nothing is
            // restored there and no setup request follows.
            EXPECT_TRUE(prompts.texts("inform").isEmpty()) << messages.join('\n').toStdString();
            EXPECT_EQ(controls->LabelPort->text(), "ポート = " + sim.link);
            // An older logger's fix interval, slowed for the download, is back.
            EXPECT_TRUE(sim.Control("state").contains("fix=100"));
        }
    }
}

// A QK3 whose memory reaches sector 24 offers the range first; up to 23 not.
TEST_F(DownloadTest, TheRangeIsOfferedFromSector24) {
    for (int sector : {23, 24}) {
        SCOPED_TRACE(sector);
        SimProcess sim({"--model", "qk3raw", "--image", WriteImage(RandomImage(4096, 70)), "--used",
                        QString::number(sector * 65536)});
        ASSERT_TRUE(sim.ready);
        Use(sim);
        rangeAsked = 0;
        cmds->SpeedButtonLdGPSClick();
        ASSERT_TRUE(WaitFor([&] { return cmds->LoadingDialog() != nullptr; }, 20000));
        EXPECT_EQ(rangeAsked, sector >= 24 ? 1 : 0);
        cmds->LoadingDialog()->AbortBtn->click();
        ASSERT_TRUE(WaitFor([&] { return !controls->LabelPort->text().isEmpty(); }, 20000));
        ASSERT_TRUE(Idle());
    }
}

} // namespace
