#pragma once
// SIGTERM, SIGINT and SIGHUP (the desktop session ending, kill, Ctrl+C)
// turned into a call on the main thread, so the program can shut down in
// order. The handler itself only writes a byte to a socket pair; a socket
// notifier reads it in the event loop and runs the call.
#include <functional>
#include <memory>
#include <QObject>

class QSocketNotifier;

namespace vel {

class TerminationSignals : public QObject {
public:
    // One at a time: a second one installs nothing (Active() false).
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    // Puts back the handlers that were there before.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool Active() const { return active_; }

private:
    void Read();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool active_ = false;
};

} // namespace vel
