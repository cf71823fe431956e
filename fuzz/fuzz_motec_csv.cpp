// A MoTeC CSV export read as a run, and its G channels laid onto a lap.
#include "fuzz_support.h"
#include "import/motec_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = vel::fuzz::WriteScratch(QStringLiteral("export.csv"), data, size);
    vel::LoadLapFileToGrigMotecCsv(path, vel::fuzz::FreshSession());
    static vel::TLapDtRec lap = [] {
        vel::TLapDtRec l;
        l.ElmNum = 64;
        l.Elm.resize(64);
        l.GElm.resize(64);
        return l;
    }();
    QString error;
    vel::LoadMotecGCsv(lap, path, &error);
    return 0;
}
