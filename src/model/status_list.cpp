#include "model/status_list.h"

namespace vel {

void StatusList::Add(const QString& line) {
    if (lines_.size() > MaxLines - 1) lines_.removeLast();
    lines_.prepend(line);
    if (onChanged) onChanged();
}

} // namespace vel
