#include "views/key_poll.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include "views/play_clock.h"

namespace vel {

KeyPoll::KeyPoll(QWidget* window, MonotonicClock* clock) : window_(window) {
    if (!clock) {
        ownClock_ = std::make_unique<SteadyClock>();
        clock = ownClock_.get();
    }
    clock_ = clock;
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(Timer2IntervalMs);
    connect(Timer2, &QTimer::timeout, this, &KeyPoll::Timer2Timer);
    qApp->installEventFilter(this);
    Timer2->start();
}

KeyPoll::~KeyPoll() { qApp->removeEventFilter(this); }

bool KeyPoll::WindowActive() const {
    return window_ && window_->isActiveWindow() && !QApplication::activeModalWidget() &&
           !QApplication::activePopupWidget();
}

void KeyPoll::Forget() {
    heldSpace_ = heldF_ = heldB_ = false;
    tapSpace_ = tapF_ = tapB_ = false;
}

bool KeyPoll::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type t = e->type();
    if (t == QEvent::KeyPress || t == QEvent::KeyRelease) {
        if (!WindowActive()) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        // Auto-repeat sends release-press pairs while the key stays down.
        if (t == QEvent::KeyRelease && k->isAutoRepeat()) return false;
        const bool down = t == QEvent::KeyPress;
        switch (k->key()) {
        case Qt::Key_Space:
            heldSpace_ = down;
            tapSpace_ |= down;
            break;
        case Qt::Key_F:
            heldF_ = down;
            tapF_ |= down;
            break;
        case Qt::Key_B:
            heldB_ = down;
            tapB_ |= down;
            break;
        default: break;
        }
        return false;
    }
    if (t == QEvent::Wheel && onWheel && WindowActive()) {
        auto* w = static_cast<QWheelEvent*>(e);
        // The event reaches each widget up the chain; take it at the first.
        if (!watched->isWidgetType()) return false;
        const int delta = w->angleDelta().y();
        if (delta == 0) return false;
        return onWheel(delta > 0, w->globalPosition().toPoint());
    }
    if (t == QEvent::ApplicationDeactivate) Forget();
    return false;
}

void KeyPoll::Timer2Timer() {
    Timer2->stop();
    if (!WindowActive() || (canAct && !canAct())) {
        Forget();
        Timer2->start();
        return;
    }
    const bool space = heldSpace_ || tapSpace_;
    const bool f = heldF_ || tapF_;
    const bool b = heldB_ || tapB_;
    tapSpace_ = tapF_ = tapB_ = false;
    if (space) {
        const qint64 now = clock_->NowNs();
        if (!spaceSeen_ || now - lastSpace_ >= SpaceQuietNs) {
            spaceSeen_ = true;
            lastSpace_ = now;
            if (onSpace) onSpace();
        }
    }
    // Tested after Space: the poll that starts playback takes no step.
    if (!(playing && playing())) {
        if (f) {
            if (onForward) onForward();
        } else if (b) {
            if (onBack) onBack();
        }
    }
    Timer2->start();
}

} // namespace vel
