// The logger tab's commands against the simulator: what the logger receives
// and how its settings change, the status view and the refusals.
#include <QGuiApplication>
#include <QProgressBar>
#include <QSpinBox>
#include "logger/logger_fixture.h"
#include "logger/logger_requests.h"

using namespace vel;
using namespace vel::test;

namespace {

using CommandsTest = LoggerFixture;

TEST_F(CommandsTest, SetUpCommandsChangeTheLoggersSettings) {
    struct Case {
        const char* model;
        std::function<void(LoggerCommands&)> click;
        QStringList sent;       // in this order among the received sentences
        QStringList state;      // parts of the simulator's state afterwards
        const char* mode;       // LabelCurrntMode afterwards
    };
    const Case cases[] = {
        {"qk4", [](LoggerCommands& c) { c.ButtonSet5HzClick(); },
         {"PMTK182,1,2,0004103F", "PMTK182,1,3,1", "PMTK182,1,6,2", "PMTK300,200,0,0,0,0", "PTSI990,2,1,27"},
         {"fix=200", "rate=1", "fmt=0004103F", "qk4set=27"}, "5Hzモード"},
        {"qk4", [](LoggerCommands& c) { c.ButtonSet2HzClick(); }, {"PMTK300,50,0,0,0,0"}, {"fix=50"}, "20Hzモード"},
        {"qk3", [](LoggerCommands& c) { c.ButtonSet5HzClick(); },
         {"PMTK182,1,2,8004107D", "PMTK182,1,3,2", "PMTK300,200,0,0,0,0", "PTSI999,9"}, {"fix=200", "rate=2"},
         "5Hzモード"},
        {"887", [](LoggerCommands& c) { c.ButtonSet10HzClick(); },
         {"PMTK490", "PMTK182,1,3,1", "PMTK300,100,0,0,0,0", "PMTK301,0", "PMTK313,0", "PMTK330,0",
          "PMTK314,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0"},
         {"fix=100", "rate=1", "dgps=0", "sbas=0", "datum=0"}, "10Hzモード"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        SimProcess sim({"--model", c.model});
        ASSERT_TRUE(sim.ready);
        Use(sim);
        prompts.calls.clear();
        c.click(*cmds);
        ASSERT_TRUE(WaitFor([&] { return !prompts.calls.empty(); }, 15000));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(Messages(), QStringList{"inform: " + QString::fromUtf8(LoggerText::SetUp)});
        const QStringList got = sim.Control("received").section(' ', 1).split(';');
        qsizetype at = 0;
        for (const QString& s : c.sent) {
            const qsizetype i = got.indexOf(s, at);
            EXPECT_GE(i, 0) << s.toStdString() << " in " << got.join(';').toStdString();
            if (i >= 0) at = i + 1;
        }
        const QString state = sim.Control("state");
        for (const QString& s : c.state) EXPECT_TRUE(state.contains(s)) << state.toStdString();
        EXPECT_EQ(controls->LabelCurrntMode->text(), QString::fromUtf8(c.mode));
        EXPECT_EQ(controls->LabelPort->text(), "ポート = " + sim.link);
    }
}

TEST_F(CommandsTest, TriggerSpeedGoesOutInEachModelsFormat) {
    struct Case {
        const char* model;
        int speed;
        const char* sent;
        const char* label2;
    };
    const Case cases[] = {
        {"qk4", 5, "PTSI777,2,05.00", ""},
        {"qk4", 0, "PTSI777,2,00.01", ""},
        {"qk4", 42, "PTSI777,2,42.00", ""},
        {"qk3", 0, "PTSI777,2,00.00", "この設定はログを停止しません。"},
        {"860ed", 12, "PTSI777,2,12.0000", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        SimProcess sim({"--model", c.model});
        ASSERT_TRUE(sim.ready);
        Use(sim);
        controls->UpDownTrigSpd->setValue(c.speed);
        cmds->ButtonSetTrigSpdClick();
        ASSERT_TRUE(WaitFor([&] { return !controls->LabelTrigSpd->text().isEmpty(); }, 15000));
        ASSERT_TRUE(Idle());
        EXPECT_TRUE(sim.Control("received").split(';').contains(c.sent));
        EXPECT_TRUE(sim.Control("state").contains(QString("trig=") + QString(c.sent).section(',', 2)));
        EXPECT_EQ(controls->LabelTrigSpd2->text(), QString::fromUtf8(c.label2));
    }
}

TEST_F(CommandsTest, TwentyHertzIsRefusedBelowTheQK4) {
    SimProcess sim({"--model", "qk3"});
    ASSERT_TRUE(sim.ready);
    Use(sim);
    cmds->ButtonSet2HzClick();
    ASSERT_TRUE(WaitFor([&] { return !prompts.calls.empty(); }, 15000));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Messages(), QStringList{"warn: " + QString::fromUtf8(LoggerText::Only20HzQK4)});
    EXPECT_TRUE(link->GpsReqQueue.isEmpty());
    const QString got = sim.Control("received");
    EXPECT_FALSE(got.contains("PMTK300")) << got.toStdString();
    EXPECT_FALSE(got.contains("PTSI999")) << got.toStdString();
}

TEST_F(CommandsTest, EraseAsksThenErasesAndShowsTheStatus) {
    SimProcess sim({"--model", "qk4", "--image", WriteImage(RandomImage(5000, 9)), "--erase-ms", "3000"});
    ASSERT_TRUE(sim.ready);
    Use(sim);
    prompts.answers = {Answer::Cancel};
    cmds->ButtonLogEraseClick();
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(sim.Requests(), 0);

    prompts.calls.clear();
    prompts.answers = {Answer::Yes};
    EXPECT_FALSE(controls->Erasing());
    // Earlier connections closed within their first half second may leave
    // the link's short busy cursor behind: start from none.
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    cmds->ButtonLogEraseClick();
    // While the logger erases, the tab shows it is busy: a running bar and
    // the busy cursor, however long the erase takes.
    ASSERT_TRUE(WaitFor([&] { return sim.Control("received").contains("PMTK182,6,1"); }, 15000));
    EXPECT_TRUE(controls->ProgressErase->isVisibleTo(controls.get()));
    EXPECT_EQ(controls->ProgressErase->maximum(), 0);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ASSERT_TRUE(WaitFor([&] { return !controls->LabelLogStat->text().isEmpty(); }, 15000));
    ASSERT_TRUE(Idle());
    EXPECT_FALSE(controls->ProgressErase->isVisibleTo(controls.get()));
    EXPECT_TRUE(WaitFor([&] { return QGuiApplication::overrideCursor() == nullptr; }, 5000));
    EXPECT_EQ(Messages(), QStringList({"yescancel: " + QString::fromUtf8(LoggerText::EraseAsk),
                                       "inform: " + QString::fromUtf8(LoggerText::Erased)}));
    EXPECT_TRUE(sim.Control("state").contains("erased=1"));
    EXPECT_EQ(controls->LabelLogStat->text(), "空き領域 100.0%");
    EXPECT_EQ(controls->LabelCurrntMode->text(), "10Hzモード");
    EXPECT_EQ(controls->LabelDtVer->text(), "QK4,V1.20,0007,27");
    EXPECT_EQ(controls->LabelTrigSpd->text(), "ログ開始速度 = 30 km/h");
}

} // namespace
