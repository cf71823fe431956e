#include "app/entry.h"

namespace vel {

bool CheckSingleInstance(SingleInstance& instance, Prompts& prompts) {
    if (instance.TryAcquire()) return true;
    prompts.Inform(AlreadyRunningText);
    instance.AskToRaise();
    return false;
}

} // namespace vel
