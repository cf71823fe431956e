#pragma once
// Runs the logger simulator program on a private pty path for one test and
// talks to its control channel.
#include <atomic>
#include <functional>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

namespace vel::test {

class SimProcess {
public:
    // args: the simulator's options but --link, which is made here.
    explicit SimProcess(const QStringList& args) {
        static std::atomic<int> serial{0};
        // The port's lock file is named after the link's file name: unique per run.
        link = dir_.filePath(QString("velsim-%1-%2").arg(QCoreApplication::applicationPid()).arg(++serial));
        proc_.setProgram(VEL_LOGGER_SIM);
        proc_.setArguments(QStringList(args) << "--link" << link);
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start();
        // A loaded machine may take long to start it: the wait ends at its
        // "ready" line or its exit, the limit is only a guard against a hang.
        if (!proc_.waitForStarted(GuardMs)) return;
        QElapsedTimer t;
        t.start();
        while (!proc_.canReadLine() && proc_.state() == QProcess::Running && t.elapsed() < GuardMs)
            proc_.waitForReadyRead(200);
        ready = proc_.canReadLine() && proc_.readLine().startsWith("ready");
    }
    ~SimProcess() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.write("quit\n");
            if (!proc_.waitForFinished(3000)) proc_.kill();
            proc_.waitForFinished(1000);
        }
    }
    // Sends a control line and returns the simulator's answer.
    QString Control(const QString& line) {
        proc_.write((line + "\n").toUtf8());
        proc_.waitForBytesWritten(GuardMs);
        QElapsedTimer t;
        t.start();
        while (!proc_.canReadLine() && proc_.state() == QProcess::Running && t.elapsed() < GuardMs)
            proc_.waitForReadyRead(100);
        return QString::fromUtf8(proc_.readLine()).trimmed();
    }
    int Requests() { return Control("requests").section(' ', 1).toInt(); }

    QString link;
    bool ready = false;

private:
    static constexpr int GuardMs = 120000;
    QTemporaryDir dir_;
    QProcess proc_;
};

// Runs the event loop until pred holds or ms pass (a failure guard only).
inline bool WaitFor(const std::function<bool()>& pred, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

} // namespace vel::test
