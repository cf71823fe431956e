// A run file (".dtb") read as a log into the store and as a run into the
// lap list.
#include "fuzz_support.h"
#include "import/log_store_loaders.h"
#include "import/run_loaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = vel::fuzz::WriteScratch(QStringLiteral("run.dtb"), data, size);
    vel::Session& s = vel::fuzz::FreshSession();
    s.logStore.Clear();
    QString error;
    vel::LoadLapFileBinToLogItems(path, s.logStore, s.statusList, &error);
    vel::LoadLapFileToGrigBin(path, s);
    return 0;
}
