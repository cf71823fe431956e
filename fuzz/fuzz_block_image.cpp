// A ".bnx4" memory image of 4 KiB blocks, decoded as the import does.
#include "fuzz_support.h"
#include "import/memory_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vel::Session& s = vel::fuzz::FreshSession();
    s.logStore.Clear();
    const int64_t n = s.logStore.PutLogImage(data, static_cast<int64_t>(size));
    const int32_t blocks = static_cast<int32_t>((n + vel::LogBlockSize - 1) / vel::LogBlockSize);
    vel::DecodeLogImage(s.logStore, vel::LogImageLayout::Blocks4K, blocks, s.LocalEpoch, s.statusList);
    return 0;
}
