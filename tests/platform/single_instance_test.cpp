// The second start of the program is another process, so some cases run
// this test program again as that process (SingleInstanceChild.Run, which
// does nothing in an ordinary run).
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QUuid>

#include "platform/single_instance.h"

namespace {

constexpr char kChildVar[] = "VELMARIS_SINGLE_INSTANCE_CHILD";

QString UniqueKey() {
    return "VelmarisTest-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

// Runs the event loop until done() holds or a generous limit passes.
bool WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct ChildResult {
    int exitCode = -1;   // -1 when it did not finish normally
    QByteArray output;
};

// Runs this program as another instance; mode is "crash" or "second".
ChildResult RunChild(const QString& mode, const QString& key) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The child's own start-up points XDG_RUNTIME_DIR elsewhere; pass ours.
    env.insert(kChildVar, mode + " " + key + " " + qEnvironmentVariable("XDG_RUNTIME_DIR"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(),
            {"--gtest_filter=SingleInstanceChild.Run"});
    ChildResult r;
    if (!p.waitForStarted()) return r;
    // Keep serving our own socket while the child talks to it.
    WaitFor([&] { return p.waitForFinished(20); }, 120000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    r.output = p.readAll();
    if (p.exitStatus() == QProcess::NormalExit) r.exitCode = p.exitCode();
    return r;
}

TEST(SingleInstanceChild, Run) {
    const QStringList args = qEnvironmentVariable(kChildVar).split(' ');
    if (args.size() != 3) GTEST_SKIP() << "only runs as a child of another test";
    qputenv("XDG_RUNTIME_DIR", args[2].toUtf8());
    vel::SingleInstance instance(args[1]);
    if (args[0] == "crash") {
        ASSERT_TRUE(instance.TryAcquire());
        instance.Listen([] {});
        // Die as a crash would: no unlock, no server shutdown.
        std::_Exit(0);
    }
    if (args[0] == "second") {
        EXPECT_FALSE(instance.TryAcquire());
        EXPECT_TRUE(instance.AskToRaise(5000));
    }
}

TEST(SingleInstance, SecondIsRefusedAndRaisesTheFirstUntilItReleases) {
    const QString key = UniqueKey();
    int raised = 0;
    vel::SingleInstance first(key);
    ASSERT_TRUE(first.TryAcquire());
    EXPECT_TRUE(first.TryAcquire());   // asking again keeps it
    first.Listen([&] { ++raised; });

    vel::SingleInstance second(key);
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(second.AskToRaise());
    EXPECT_TRUE(WaitFor([&] { return raised == 1; }));
    EXPECT_TRUE(second.AskToRaise());
    EXPECT_TRUE(WaitFor([&] { return raised == 2; }));

    first.Release();
    EXPECT_FALSE(QFileInfo::exists(vel::SingleInstance::LockPath(key)));
    EXPECT_FALSE(second.AskToRaise(200));
    EXPECT_TRUE(second.TryAcquire());
    EXPECT_FALSE(first.TryAcquire());
}

TEST(SingleInstance, DestructionReleases) {
    const QString key = UniqueKey();
    {
        vel::SingleInstance first(key);
        ASSERT_TRUE(first.TryAcquire());
    }
    vel::SingleInstance again(key);
    EXPECT_TRUE(again.TryAcquire());
}

TEST(SingleInstance, DifferentKeysDoNotMeet) {
    vel::SingleInstance a(UniqueKey()), b(UniqueKey());
    EXPECT_TRUE(a.TryAcquire());
    EXPECT_TRUE(b.TryAcquire());
    a.Listen([] {});
    EXPECT_FALSE(b.AskToRaise(200));
}

TEST(SingleInstance, OnlyTheRaiseLineRaises) {
    const QString key = UniqueKey();
    int raised = 0;
    vel::SingleInstance first(key);
    ASSERT_TRUE(first.TryAcquire());
    first.Listen([&] { ++raised; });

    // Strangers: half a word, other words, then an endless line.
    QLocalSocket half;
    half.connectToServer(vel::SingleInstance::SocketPath(key));
    ASSERT_TRUE(half.waitForConnected(5000));
    half.write("rai");
    half.flush();
    half.disconnectFromServer();
    QLocalSocket noise;
    noise.connectToServer(vel::SingleInstance::SocketPath(key));
    ASSERT_TRUE(noise.waitForConnected(5000));
    noise.write("hello\nraise please\nRAISEx\n\n");
    noise.write(QByteArray(64 * 1024, 'r'));
    noise.flush();
    // The endless one is cut off.
    EXPECT_TRUE(WaitFor([&] {
        noise.waitForBytesWritten(0);
        return noise.state() == QLocalSocket::UnconnectedState;
    }));
    EXPECT_EQ(raised, 0);

    // And the server still serves.
    vel::SingleInstance second(key);
    EXPECT_TRUE(second.AskToRaise());
    EXPECT_TRUE(WaitFor([&] { return raised == 1; }));
}

TEST(SingleInstance, EmptyKeyNeverAcquires) {
    vel::SingleInstance s{QString()};
    EXPECT_FALSE(s.TryAcquire());
    s.Listen([] {});
    EXPECT_FALSE(s.AskToRaise(100));
}

TEST(SingleInstance, OtherProcessIsRefusedAndRaisesUs) {
    const QString key = UniqueKey();
    int raised = 0;
    vel::SingleInstance first(key);
    ASSERT_TRUE(first.TryAcquire());
    first.Listen([&] { ++raised; });

    const ChildResult child = RunChild("second", key);
    EXPECT_EQ(child.exitCode, 0) << child.output.toStdString();
    EXPECT_TRUE(WaitFor([&] { return raised == 1; }));
}

TEST(SingleInstance, CrashedInstanceIsTakenOver) {
    const QString key = UniqueKey();
    const ChildResult child = RunChild("crash", key);
    ASSERT_EQ(child.exitCode, 0) << child.output.toStdString();
    // What a crash leaves behind.
    ASSERT_TRUE(QFileInfo::exists(vel::SingleInstance::LockPath(key)));
    ASSERT_TRUE(QFileInfo::exists(vel::SingleInstance::SocketPath(key)));

    int raised = 0;
    vel::SingleInstance next(key);
    EXPECT_TRUE(next.TryAcquire());
    next.Listen([&] { ++raised; });
    vel::SingleInstance second(key);
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(second.AskToRaise());
    EXPECT_TRUE(WaitFor([&] { return raised == 1; }));
}

} // namespace
