#pragma once
// A logger tab without a window: link, controls and commands over a session,
// with short probe ticks, against the simulator.
#include <cstring>
#include <memory>
#include <random>
#include <gtest/gtest.h>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include "logger/logger_commands.h"
#include "logger/logger_controls.h"
#include "logger/logger_link.h"
#include "logger/sim_process.h"
#include "model/session.h"
#include "support/fake_prompts.h"

namespace vel::test {

class LoggerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        link = std::make_unique<LoggerLink>(session, prompts);
        link->scanUsbPorts = false;
        // The simulator answers at once: short probe attempts keep the tests quick.
        link->firstProbeMs = 200;
        link->probeMs = 200;
        controls = std::make_unique<LoggerControls>();
        controls->Attach(*link);
        cmds = std::make_unique<LoggerCommands>(*link, *controls);
        cmds->rangeDialog = [this](LoadRange& r) {
            ++rangeAsked;
            return rangeAnswer ? rangeAnswer(r) : false;
        };
        QObject::connect(link.get(), &LoggerLink::LogLoaded, link.get(), [this] { ++loaded; });
    }
    void TearDown() override {
        cmds.reset();
        controls.reset();
        link.reset();
    }
    // The connection is over and nothing waits.
    bool Idle(int ms = 20000) {
        return WaitFor([&] {
            return !link->IsPortOpen() && !link->ControlsLocked && !cmds->LoadingDialog() && !link->TimerComm.isActive();
        }, ms);
    }
    void Use(SimProcess& sim) { link->SetExtraPorts({sim.link}); }
    QString WriteImage(const QByteArray& image) {
        const QString path = dir.filePath(QString("image%1.bin").arg(++images));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(image);
        return path;
    }
    // The download in LogDump equals the logger's memory (image, then erased bytes).
    ::testing::AssertionResult SameAsMemory(const QByteArray& image) {
        const uint8_t* d = session.logStore.LogDump.data();
        if (!d) return ::testing::AssertionFailure() << "no LogDump";
        if (std::memcmp(d, image.constData(), size_t(image.size())) != 0)
            return ::testing::AssertionFailure() << "image differs";
        for (int64_t i = image.size(); i < LogDumpSize; ++i)
            if (d[i] != 0xFF) return ::testing::AssertionFailure() << "byte " << i << " is not erased";
        return ::testing::AssertionSuccess();
    }
    QStringList Messages() const {
        QStringList out;
        for (const auto& c : prompts.calls) out << c.kind + ": " + c.text;
        return out;
    }

    Session session;
    FakePrompts prompts;
    QTemporaryDir dir;
    std::unique_ptr<LoggerLink> link;
    std::unique_ptr<LoggerControls> controls;
    std::unique_ptr<LoggerCommands> cmds;
    std::function<bool(LoadRange&)> rangeAnswer;
    int rangeAsked = 0;
    int loaded = 0;
    int images = 0;
};

// Random bytes that do not end in erased memory.
inline QByteArray RandomImage(int bytes, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray out(bytes, '\0');
    for (char& c : out) c = char(rng() & 0xFF);
    out[bytes - 1] = 0x5A;
    return out;
}

} // namespace vel::test
