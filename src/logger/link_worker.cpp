#include "logger/link_worker.h"

#include <chrono>
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
            [this](LinkEvent&& ev) {
                bool wake = false;
                {
                    std::lock_guard<std::mutex> lock(outMx_);
                    wake = outbox_.empty();
                    outbox_.push_back(std::move(ev));
                }
                if (wake && wakeMain_) wakeMain_();
            }) {}

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
    case LinkCommand::ClearQueue:
        core_.ClearQueue();
        break;
    }
}

void LinkWorker::ClosePort() {
    core_.Stop();
    if (timer_) timer_->stop();
    if (port_) {
        port_->disconnect(this);
        port_->close();
        delete port_;
        port_ = nullptr;
    }
}

void LinkWorker::OnReadyRead() {
    if (!port_) return;
    const QByteArray data = port_->readAll();
    core_.OnBytes(data, NowMs());
    ArmTimer();
}

void LinkWorker::OnTimer() {
    core_.OnTimer(NowMs());
    ArmTimer();
}

void LinkWorker::ArmTimer() {
    if (!timer_) return;
    const int64_t d = core_.Deadline();
    if (d < 0) {
        timer_->stop();
        return;
    }
    timer_->start(int(std::max<int64_t>(0, d - NowMs())));
}

} // namespace vel
