#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include "views/key_poll.h"
#include "views/view_fixture.h"

using namespace vel;
using namespace vel::test;

namespace {

// A window with a focused text field, the poll over it and a clock the test moves.
struct KeyPollTest : ::testing::Test {
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    FakeClock clock;
    KeyPoll poll{&window, &clock};
    bool allowed = true;
    bool playing = false;
    QStringList acts;

    KeyPollTest() {
        poll.Timer2->stop();   // the test polls by hand
        poll.canAct = [this] { return allowed; };
        poll.playing = [this] { return playing; };
        poll.onSpace = [this] {
            acts << "play";
            playing = !playing;
        };
        poll.onForward = [this] { acts << "fwd"; };
        poll.onBack = [this] { acts << "bwd"; };
        new QVBoxLayout(&window);
        window.layout()->addWidget(field);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        field->setFocus();
    }
    void Poll(double afterSeconds = 0.1) {
        clock.Advance(afterSeconds);
        poll.Timer2Timer();
    }
};

} // namespace

// A held Space toggles at most once per 300 ms; F and B step only while
// stopped, the poll that starts playback taking no step.
TEST_F(KeyPollTest, SpaceTogglesNoFasterThanThreeTimesASecond) {
    QTest::keyPress(field, Qt::Key_Space);
    QTest::keyPress(field, Qt::Key_F);
    for (int i = 0; i < 7; ++i) Poll();
    QTest::keyRelease(field, Qt::Key_Space);
    // Polls at 0.1 .. 0.7 s: toggles at 0.1 (start, no step), 0.4 (stop,
    // then steps while stopped) and 0.7 s.
    EXPECT_EQ(acts, QStringList({"play", "play", "fwd", "fwd", "fwd", "play"}));
    acts.clear();
    Poll();
    QTest::keyRelease(field, Qt::Key_F);
    Poll();
    EXPECT_EQ(acts, QStringList({}));   // still playing: F ignored
    playing = false;
    QTest::keyClick(field, Qt::Key_B);   // a tap between two polls counts
    Poll();
    Poll();
    EXPECT_EQ(acts, QStringList({"bwd"}));
}

// Another tab, a file dialog or a modal dialog keep the keys idle.
TEST_F(KeyPollTest, IdleWhileNotAllowed) {
    allowed = false;
    QTest::keyPress(field, Qt::Key_Space);
    Poll();
    QTest::keyRelease(field, Qt::Key_Space);
    allowed = true;
    Poll();
    EXPECT_TRUE(acts.isEmpty());
}
