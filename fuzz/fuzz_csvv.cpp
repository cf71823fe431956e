// A lap CSV (".csvv") read as a run into the lap list.
#include "fuzz_support.h"
#include "import/run_loaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = vel::fuzz::WriteScratch(QStringLiteral("lap.csvv"), data, size);
    vel::LoadLapFileToGrig(path, vel::fuzz::FreshSession());
    return 0;
}
