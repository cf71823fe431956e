// Bluetooth logs, the first byte picking the kind: read as logs into the
// store (".bon", ".bon4", ".bonz", ".bnz4") and, for ".bon" and ".bonz", as
// runs into the lap list.
#include "fuzz_support.h"
#include "import/log_store_loaders.h"
#include "import/run_loaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const char* const names[] = {"log.bon", "log.bon4", "log.bonz", "log.bnz4"};
    const int kind = data[0] % 4;
    const QString path = vel::fuzz::WriteScratch(names[kind], data + 1, size - 1);
    vel::Session& s = vel::fuzz::FreshSession();
    vel::LogStore& st = s.logStore;
    st.Clear();
    QString error;
    switch (kind) {
    case 0: vel::LoadLapFileBleToLogItems(path, st, s.statusList, &error); break;
    case 1: vel::LoadLapFileBle4ToLogItems(path, st, s.statusList, &error); break;
    case 2: vel::LoadLapFileBleZToLogItems(path, st, s.statusList, &error); break;
    default: vel::LoadLapFileBleZ4ToLogItems(path, st, s.statusList, &error); break;
    }
    if ((kind == 1 || kind == 3) && st.LogItemNum > 0) st.SmoothLogSpd();
    if (kind == 0) vel::LoadLapFileToGrigBon(path, s);
    if (kind == 2) vel::LoadLapFileToGrigBonZ(path, s);
    return 0;
}
