// A ".bin" / ".binx" memory image of 64 KiB sectors, decoded as the import
// does after its size test; a short input is erased memory behind its end.
#include "fuzz_support.h"
#include "import/memory_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vel::Session& s = vel::fuzz::FreshSession();
    s.logStore.Clear();
    const int64_t n = s.logStore.PutLogImage(data, static_cast<int64_t>(size));
    const int32_t sectors = static_cast<int32_t>((n + vel::LogSectorSize - 1) / vel::LogSectorSize);
    vel::DecodeLogImage(s.logStore, vel::LogImageLayout::Sectors64K, sectors, s.LocalEpoch, s.statusList);
    return 0;
}
