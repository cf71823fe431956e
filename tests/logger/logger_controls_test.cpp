// The logger tab's controls lock while a connection runs, over the simulator.
#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include "logger/logger_controls.h"
#include "logger/logger_link.h"
#include "logger/sim_process.h"
#include "model/session.h"
#include "support/fake_prompts.h"

using namespace vel;

TEST(LoggerControls, LockFollowsTheConnection) {
    Session session;
    vel::test::FakePrompts prompts;
    LoggerLink link(session, prompts);
    link.scanUsbPorts = false;
    LoggerControls controls;
    controls.Attach(link);
    vel::test::SimProcess sim({"--model", "qk4"});
    ASSERT_TRUE(sim.ready);
    link.SetExtraPorts({sim.link});
    bool lockedWhenFound = false;
    link.AcptMTKGPSreq = [&] {
        lockedWhenFound = !controls.ButtonLogSpace->isEnabled() && !controls.UpDownTrigSpd->isEnabled();
        link.EndConnection();
    };
    link.StartMTKGPS();
    ASSERT_TRUE(vel::test::WaitFor([&] { return !link.ControlsLocked && !link.IsPortOpen(); }));
    EXPECT_TRUE(lockedWhenFound);
    EXPECT_TRUE(controls.SpeedButtonLdGPS->isEnabled());   // never part of the lock
    for (QWidget* w : {static_cast<QWidget*>(controls.ButtonSet10Hz), static_cast<QWidget*>(controls.ButtonLogErase),
                       static_cast<QWidget*>(controls.UpDownTrigSpd)})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(prompts.calls.size(), 0u);
}

// The busy cursor a lock sets goes back after a moment, and at the latest
// with the link.
TEST(LoggerControls, BusyCursorGoesWithTheLink) {
    Session session;
    vel::test::FakePrompts prompts;
    {
        LoggerLink link(session, prompts);
        link.DisGPSbutton();
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    LoggerLink link(session, prompts);
    link.DisGPSbutton();
    link.DisGPSbutton();
    EXPECT_TRUE(vel::test::WaitFor([] { return QGuiApplication::overrideCursor() == nullptr; }));
}
