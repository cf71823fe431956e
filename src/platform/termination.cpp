#include "platform/termination.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>

namespace vel {

namespace {

constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

int pairFds[2] = {-1, -1};   // [0] written by the handler, [1] read by the notifier
struct sigaction previous[std::size(Signals)];

void OnSignal(int) {
    // Only async-signal-safe calls here.
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pairFds[0], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (pairFds[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pairFds) != 0) {
        pairFds[0] = pairFds[1] = -1;
        return;
    }
    // A full pipe must never block the handler; one byte pending is enough.
    ::fcntl(pairFds[0], F_SETFL, ::fcntl(pairFds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(pairFds[1], F_SETFL, ::fcntl(pairFds[1], F_GETFL) | O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(pairFds[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Read(); });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(Signals); ++i) ::sigaction(Signals[i], &sa, &previous[i]);
    active_ = true;
}

TerminationSignals::~TerminationSignals() {
    if (!active_) return;
    for (size_t i = 0; i < std::size(Signals); ++i) ::sigaction(Signals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(pairFds[0]);
    ::close(pairFds[1]);
    pairFds[0] = pairFds[1] = -1;
}

void TerminationSignals::Read() {
    char buf[64];
    while (::read(pairFds[1], buf, sizeof buf) > 0) {
    }
    if (onSignal_) onSignal_();
}

} // namespace vel
