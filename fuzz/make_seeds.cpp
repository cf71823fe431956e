// Writes the starting corpus of every fuzz target from the test builders,
// so that no binary corpus lives in the repository.
// Usage: make_seeds CORPUS_DIR
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "model/settings.h"
#include "support/bluetooth_builder.h"
#include "support/image_builder.h"
#include "support/lap_builder.h"
#include "support/motec_builder.h"
#include "support/sample_builder.h"

using namespace vel;
using namespace vel::test;

namespace {

QString corpus;
bool ok = true;

void Seed(const QString& target, const QString& name, const QByteArray& bytes) {
    const QString dir = corpus + "/" + target;
    QDir().mkpath(dir);
    QFile f(dir + "/" + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", qPrintable(f.fileName()));
        ok = false;
    }
}

QByteArray Prefixed(QByteArray prefix, const QByteArray& bytes) { return prefix + bytes; }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Lines(const QStringList& lines) { return (lines.join("\r\n") + "\r\n").toUtf8(); }

QByteArray RunBytes(const QVector<TLapElmRec>& recs, const QString& scratch) {
    const QString path = scratch + "/run.dtb";
    if (!WriteWorkingFile(path, recs)) ok = false;
    return ReadAll(path);
}

QByteArray LapCsv(const QVector<TLapElmRec>& recs) {
    QStringList lines{QStringLiteral("日付時刻,経過,緯度,経度,標高,速度,方位,距離,衛星")};
    for (const TLapElmRec& r : recs)
        lines << QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9")
                     .arg(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", r.DtTm))
                     .arg(FormatDateTime("hh:nn:ss.zzz", static_cast<double>(r.Tm)))
                     .arg(static_cast<double>(r.Ido), 0, 'f', 7)
                     .arg(static_cast<double>(r.Kdo), 0, 'f', 7)
                     .arg(static_cast<double>(r.Elv), 0, 'f', 1)
                     .arg(static_cast<double>(r.Spd), 0, 'f', 2)
                     .arg(static_cast<double>(r.Dir), 0, 'f', 1)
                     .arg(static_cast<double>(r.Dist), 0, 'f', 4)
                     .arg(r.UseSat);
    return Lines(lines);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds CORPUS_DIR\n");
        return 2;
    }
    corpus = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;

    // Memory images: a short square session, in each record format.
    ImageCircuit square;
    const std::vector<ImageSample> shortRun = ImageCircuitSamples(square, 300);
    Seed("fuzz_sector_image", "std", SectorImage(shortRun, SectorWord));
    Seed("fuzz_sector_image", "nodir", SectorImage(shortRun, LogFmtNoDir));
    Seed("fuzz_sector_image", "sat", SectorImage(shortRun, LogFmtSat));
    Seed("fuzz_block_image", "square", BlockImage(shortRun));
    Seed("fuzz_block_image", "sample", BlockImage(SampleSession()));
    {
        // A gap and a jump back make more blocks.
        std::vector<ImageSample> gaps = shortRun;
        ShiftImageSamples(gaps, 100, 600);
        ShiftImageSamples(gaps, 200, -30);
        Seed("fuzz_block_image", "gaps", BlockImage(gaps));
        Seed("fuzz_sector_image", "gaps", SectorImage(gaps));
    }

    // Images to cut: 3.5 laps of the square; layout, sample pick, line kind.
    const std::vector<ImageSample> laps = ImageCircuitSamples(square, 2240);
    Seed("fuzz_image_cut", "blocks_circuit", Prefixed(QByteArray("\x01\x05\x00", 3), BlockImage(laps)));
    Seed("fuzz_image_cut", "blocks_stagoal", Prefixed(QByteArray("\x01\x05\x01", 3), BlockImage(laps)));
    Seed("fuzz_image_cut", "sectors_circuit", Prefixed(QByteArray("\x00\x05\x00", 3), SectorImage(laps)));
    Seed("fuzz_image_cut", "sample", Prefixed(QByteArray("\x01\x30\x00", 3), BlockImage(SampleSession())));

    // Bluetooth logs of each kind; the first byte picks the kind.
    const BtKind kinds[] = {BtKind::Bon, BtKind::Bon4, BtKind::BonZ, BtKind::Bnz4};
    for (int k = 0; k < 4; ++k)
        Seed("fuzz_bluetooth", QStringLiteral("kind%1").arg(k),
             Prefixed(QByteArray(1, static_cast<char>(k)), BuildBtLog(kinds[k], OvalRun(120, kinds[k]))));

    // Run files and lap CSV.
    Drive drive;
    const QVector<TLapElmRec> circle = CircleLap(drive, 60, Turn::Left);
    const QVector<TLapElmRec> squareLap = SquareLap(drive, 80, Turn::Right);
    Seed("fuzz_dtb", "circle", RunBytes(circle, scratch.path()));
    Seed("fuzz_dtb", "square", RunBytes(squareLap, scratch.path()));
    Seed("fuzz_csvv", "circle", LapCsv(circle));
    Seed("fuzz_csvv", "square", LapCsv(squareLap));

    // MoTeC exports, without and with GPS channels.
    MotecFile motec;
    motec.data = MotecData(motec.channels, MotecLap(40, 20, 80, 300));
    Seed("fuzz_motec_csv", "plain", Lines(MotecLines(motec)));
    motec.channels << QStringLiteral("GPS Latitude") << QStringLiteral("GPS Longitude") << QStringLiteral("Vehicle Speed");
    motec.data = MotecData(motec.channels, MotecLap(40, 20, 80, 300));
    Seed("fuzz_motec_csv", "gps", Lines(MotecLines(motec)));

    // The small text files and the catalogue, from the shipped samples.
    const QString data = scratch.path() + "/data";
    QString error;
    if (!WriteSampleData(data, &error)) {
        std::fprintf(stderr, "make_seeds: %s\n", qPrintable(error));
        return 1;
    }
    const QByteArray pth = ReadAll(data + "/" + SamplePthFile);
    const QByteArray cln = ReadAll(data + "/" + SampleClnFile);
    const QByteArray sci = ReadAll(data + "/" + SampleSciFile);
    Seed("fuzz_text_files", "pth", Prefixed(QByteArray(1, 0), pth));
    Seed("fuzz_text_files", "cln", Prefixed(QByteArray(1, 1), cln));
    Seed("fuzz_text_files", "sci", Prefixed(QByteArray(1, 2), sci));
    Seed("fuzz_text_files", "settings", Prefixed(QByteArray(1, 3), Lines(DefaultSettingsLines())));
    Seed("fuzz_catalogue", "sample", pth + '\0' + cln + '\0' + sci);
    return ok ? 0 : 1;
}
