#pragma once
#include "platform/prompts.h"
#include <memory>
#include "platform/single_instance.h"
#include "platform/termination.h"

class QWidget;

namespace vel {

inline const QString AlreadyRunningText = QStringLiteral("ヴェルマリスはすでに起動しています。");

// true when this process may run. Otherwise tells the user, asks the running
// instance to raise its window and returns false, touching no file.
bool CheckSingleInstance(SingleInstance& instance, Prompts& prompts);

// On SIGTERM, SIGINT, SIGHUP or the desktop session ending: the window's
// close query, then the event loop ends, so the window's destruction runs
// the shut-down steps as after a normal close.
std::unique_ptr<TerminationSignals> ShutDownInOrderOnTermination(QWidget& window);

} // namespace vel
