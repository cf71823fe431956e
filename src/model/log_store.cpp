#include "model/log_store.h"

#include <type_traits>

namespace vel {

// calloc'ed memory is used as objects directly: the records must be plain.
static_assert(std::is_trivially_copyable_v<TMotionSens>);

bool LogStore::Allocate() {
    LogItemNum = 0;
    LogBlock.clear();
    // TLogItem holds only numbers and a bool, all zero-valid.
    return LogItem.Allocate(LogItemMax) && MotionSens.Allocate(LogItemMax) &&
           LogDump.Allocate(LogDumpSize);
}

} // namespace vel
