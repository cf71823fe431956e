#include "logger/link_worker.h"

#include <chrono>
#include <cstring>
#include <QSerialPort>
#include <QTimer>

namespace vel {

LinkWorker::LinkWorker(std::function<void()> wakeMain)
    : wakeMain_(std::move(wakeMain)),
      core_([this](const QByteArray& bytes) {
                if (!port_ || !port_->isOpen()) return false;
                const qint64 n = port_->write(bytes);
                // Out at once, not at the next turn of the event loop.
                port_->flush();
                return n == bytes.size();
            },
            [this](LinkEvent&& ev) { PostEvent(std::move(ev)); }) {}

void LinkWorker::PostEvent(LinkEvent&& ev) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(outMx_);
        wake = outbox_.empty();
        outbox_.push_back(std::move(ev));
    }
    if (wake && wakeMain_) wakeMain_();
}

LinkWorker::~LinkWorker() = default;

int64_t LinkWorker::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void LinkWorker::Post(LinkCommand cmd) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(inMx_);
        wake = inbox_.empty();
        inbox_.push_back(std::move(cmd));
    }
    if (wake) QMetaObject::invokeMethod(this, &LinkWorker::Drain, Qt::QueuedConnection);
}

std::vector<LinkEvent> LinkWorker::TakeEvents() {
    std::vector<LinkEvent> out;
    std::lock_guard<std::mutex> lock(outMx_);
    out.swap(outbox_);
    return out;
}

void LinkWorker::Drain() {
    for (;;) {
        LinkCommand cmd;
        {
            std::lock_guard<std::mutex> lock(inMx_);
            if (inbox_.empty()) break;
            cmd = std::move(inbox_.front());
            inbox_.pop_front();
        }
        Execute(cmd);
    }
    ArmTimer();
}

void LinkWorker::Execute(LinkCommand& cmd) {
    switch (cmd.kind) {
    case LinkCommand::Open: {
        ClosePort();
        if (!timer_) {
            timer_ = new QTimer(this);
            timer_->setSingleShot(true);
            timer_->setTimerType(Qt::PreciseTimer);
            connect(timer_, &QTimer::timeout, this, &LinkWorker::OnTimer);
        }
        port_ = new QSerialPort(this);
        port_->setPortName(QString::fromStdString(cmd.path));
        bool ok = port_->open(QIODevice::ReadWrite);
        if (ok) {
            ok = port_->setBaudRate(ProbeBaudRate(cmd.probe)) && port_->setDataBits(QSerialPort::Data8) &&
                 port_->setParity(QSerialPort::NoParity) && port_->setStopBits(QSerialPort::OneStop) &&
                 port_->setFlowControl(QSerialPort::NoFlowControl);
            // A pseudo-terminal refuses the modem lines; the link works without them.
            port_->setDataTerminalReady(true);
            port_->setRequestToSend(true);
            port_->clear();
            port_->clearError();
        }
        if (!ok) {
            ClosePort();
        } else {
            connect(port_, &QSerialPort::readyRead, this, &LinkWorker::OnReadyRead);
            connect(port_, &QSerialPort::errorOccurred, this,
                    [this](QSerialPort::SerialPortError e) { OnPortError(int(e)); });
            conn_ = cmd.conn;
            core_.Start(cmd.probe, cmd.conn);
        }
        if (cmd.done) cmd.done->set_value(ok);
        break;
    }
    case LinkCommand::Close:
        ClosePort();
        if (cmd.done) cmd.done->set_value(true);
        break;
    case LinkCommand::Run:
        core_.Run(cmd.bodies, cmd.run, NowMs());
        break;
    case LinkCommand::ClearAnswers:
        core_.ClearAnswers(cmd.keepQK4Set);
        break;
    case LinkCommand::Identified:
        core_.SetModel(cmd.model);
        break;
    case LinkCommand::BeginDownload:
        core_.BeginDownload(cmd.model, cmd.firstFlag, cmd.flagCount, cmd.rateCode);
        break;
    case LinkCommand::CopyImage:
        core_.EndDownload();
        if (cmd.dest && core_.Reception().Image())
            std::memcpy(cmd.dest, core_.Reception().Image(), size_t(LoggerMemoryBytes));
        if (cmd.done) cmd.done->set_value(cmd.dest && core_.Reception().Image());
        break;
    case LinkCommand::Drain:
        // The port stays with this thread until the logger has finished what
        // it was sending; a port already gone has nothing left to drain.
        if (port_ && conn_ == cmd.conn && core_.Started()) {
            core_.BeginDrain(cmd.quietMs, cmd.limitMs, NowMs());
        } else {
            LinkEvent ev;
            ev.kind = LinkEvent::LineQuiet;
            ev.conn = cmd.conn;
            PostEvent(std::move(ev));
        }
        break;
    }
}

void LinkWorker::ClosePort() {
    core_.Stop();
    if (timer_) timer_->stop();
    if (port_) {
        port_->disconnect(this);
        port_->close();
        port_->deleteLater();
        port_ = nullptr;
    }
}

void LinkWorker::OnPortError(int error) {
    // A port that went away (cable pulled, device closed) or fails to read
    // or write ends the link at once: no resend or watchdog can help it.
    switch (QSerialPort::SerialPortError(error)) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        break;
    default:
        return;
    }
    if (!port_) return;
    // Closed from the event loop: the error may come from inside a write
    // that the protocol engine is still busy with.
    const uint64_t conn = conn_;
    QMetaObject::invokeMethod(this, [this, conn, error] {
        if (!port_ || conn_ != conn) return;
        ClosePort();
        LinkEvent ev;
        ev.kind = LinkEvent::PortError;
        ev.param = error;
        ev.conn = conn;
        PostEvent(std::move(ev));
    }, Qt::QueuedConnection);
}

void LinkWorker::OnReadyRead() {
    if (!port_) return;
    const QByteArray data = port_->readAll();
    core_.OnBytes(data, NowMs());
    ArmTimer();
}

void LinkWorker::OnTimer() {
    const int64_t now = NowMs();
    core_.OnTimer(now);
    if (core_.Draining()) {
        const LinkCore::DrainState state = core_.DrainStateAt(now);
        if (state != LinkCore::DrainState::Busy) EndDrain(state);
    }
    ArmTimer();
}

void LinkWorker::EndDrain(LinkCore::DrainState state) {
    // Closed before it is said: the next connection opens the same port.
    const uint64_t conn = conn_;
    ClosePort();
    LinkEvent ev;
    ev.kind = LinkEvent::LineQuiet;
    ev.param = state == LinkCore::DrainState::Overrun ? 1 : 0;
    ev.conn = conn;
    PostEvent(std::move(ev));
}

void LinkWorker::ArmTimer() {
    queueLeft_.store(core_.QueueSize(), std::memory_order_relaxed);
    if (!timer_) return;
    const int64_t d = core_.Deadline();
    if (d < 0) {
        timer_->stop();
        return;
    }
    timer_->start(int(std::max<int64_t>(0, d - NowMs())));
}

} // namespace vel
