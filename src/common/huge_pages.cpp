#include "common/huge_pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace vel {

void PreferHugePages(const void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t Huge = uintptr_t(2) << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(data) + Huge - 1) & ~(Huge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(Huge - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace vel
