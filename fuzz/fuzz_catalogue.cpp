// The catalogue scan of the user folder: the input, split at the first two
// NUL bytes, becomes a ".pth", a ".cln" and a ".sci" file; the scan reads
// their positions and each list is searched from the first one found.
#include "fuzz_support.h"
#include <QByteArray>
#include <QList>
#include "model/catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> parts =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\0');
    vel::Session& s = vel::fuzz::FreshSession();
    vel::fuzz::WriteScratch(QStringLiteral("doc/Velmaris/Circuit/a.pth"), parts.value(0));
    vel::fuzz::WriteScratch(QStringLiteral("doc/Velmaris/ControlLine/a.cln"), parts.value(1));
    vel::fuzz::WriteScratch(QStringLiteral("doc/Velmaris/Sector/sub/a.sci"), parts.value(2));
    vel::Catalogue cat;
    vel::BuildCatalogue(cat, s.folders);
    long double ido = 35, kdo = 137;
    if (!cat.PthDat.isEmpty()) {
        ido = cat.PthDat[0].ido;
        kdo = cat.PthDat[0].kdo;
    }
    vel::CalPthGap(cat, kdo, ido);
    vel::CalClnGap(cat, kdo, ido);
    vel::CalSciGap(cat, kdo, ido);
    vel::SetSelCirLstPth(cat, vel::SelCircuitRadiusKm);
    vel::SetSelCirLstCln(cat, vel::SelCircuitRadiusKm);
    vel::SetSelCirLstSci(cat, vel::SelCircuitRadiusKm);
    vel::CandidatePath(cat.SelCirLstPth, cat.PthDat, 0);
    vel::CandidateNames(cat.SelCirLstCln);
    return 0;
}
