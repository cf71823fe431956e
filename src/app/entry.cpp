#include "app/entry.h"

#include <QApplication>
#include <QPointer>
#include <QSessionManager>
#include <QWidget>

namespace vel {

bool CheckSingleInstance(SingleInstance& instance, Prompts& prompts) {
    if (instance.TryAcquire()) return true;
    prompts.Inform(AlreadyRunningText);
    instance.AskToRaise();
    return false;
}

std::unique_ptr<TerminationSignals> ShutDownInOrderOnTermination(QWidget& window) {
    QPointer<QWidget> w(&window);
    auto shutDown = [w] {
        if (w) w->close();
        QCoreApplication::quit();
    };
    auto signals_ = std::make_unique<TerminationSignals>(shutDown);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, signals_.get(), shutDown);
    return signals_;
}

} // namespace vel
