#pragma once
#include "platform/prompts.h"
#include "platform/single_instance.h"

namespace vel {

inline const QString AlreadyRunningText = QStringLiteral("ヴェルマリスはすでに起動しています。");

// true when this process may run. Otherwise tells the user, asks the running
// instance to raise its window and returns false, touching no file.
bool CheckSingleInstance(SingleInstance& instance, Prompts& prompts);

} // namespace vel
