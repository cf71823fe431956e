#pragma once
// Large buffers filled once (a run's samples) are mostly the cost of
// faulting in fresh pages, which is slow on virtual machines: backed by
// 2 MiB pages where the kernel allows it, they fault in 512 times less often.
#include <cstddef>

namespace vel {

// Advises huge pages for the whole 2 MiB pages inside [data, data + bytes);
// a no-op for smaller buffers or where the kernel refuses.
void PreferHugePages(const void* data, size_t bytes);

} // namespace vel
