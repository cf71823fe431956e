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
#include "logger/framing.h"
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
    {
        // Records without the header line, which the loader refuses at line 1,
        // so the records themselves are read: with and without satellites.
        QList<QByteArray> lines = LapCsv(circle).split('\n');
        lines.removeFirst();
        Seed("fuzz_csvv", "circle_records", lines.join('\n'));
        QByteArray eight;
        for (const QByteArray& l : LapCsv(squareLap).split('\n').mid(1)) {
            const qsizetype last = l.lastIndexOf(',');
            if (last > 0) eight += l.left(last) + "\r\n";
        }
        Seed("fuzz_csvv", "square_no_satellites", eight);
    }

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

    // The link's receive side: probe byte, request index, then what the
    // logger sends.
    auto frame = [](const char* body) { return FrameSentence(QByteArray(body)); };
    QByteArray replies = frame("PMTK705,QK4,A,10000") + frame("PMTK001,605,3") + frame("PMTK182,3,8,00012000") +
                         frame("PMTK001,182,2,3") + frame("PMTK500,100,0,0,0,0") + frame("PTSI777,1,30.00") +
                         frame("PTSI990,2,0,27") + frame("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") +
                         frame("PMTK182,8,00000000,00112233445566778899AABBCCDDEEFF") + frame("PMTK001,182,7,3") +
                         QByteArray("$PMTK182,8,00000800,FFFF*00\r\n$PMTK001,18") + frame("PMTK010,001") +
                         QByteArray("$PMTK500,100*7F\r\n");
    for (int p = 0; p < 8; p += 3)
        Seed("fuzz_link_lines", QStringLiteral("replies%1").arg(p), QByteArray(1, char(p)) + QByteArray(1, char(p)) + replies);

    // Memory reception scripts: model, first flag, flag count, rate, then
    // steps (0 data line: address, length, seed; 2 request: kind, address;
    // 3 raw block: address, seed, cut; the step taken modulo 5, its bit 0x80
    // saying the queue is empty).
    Seed("fuzz_memory_reception", "qk4_lines",
         QByteArray("\x00\x00\x03\x00" "\x00\x00\x00\x01" "\x00\x01\x00\x02" "\x00\x02\x08\x03"
                    "\x00\xE0\x02\x04", 20));
    Seed("fuzz_memory_reception", "qk3_lines",
         QByteArray("\x01\x00\x03\x00" "\x02\x00\x00" "\x00\x00\x00\x05" "\x82\x01\x01\x06" "\x02\x01\x02"
                    "\x00\x42\x01\x07" "\x82\x02\x09\x08", 26));
    Seed("fuzz_memory_reception", "qk3_raw",
         QByteArray("\x01\x00\x03\x00" "\x02\x04\x00" "\x03\x40\x09\x00" "\x02\x04\x01" "\x80\x41\x0A\x00"
                    "\x02\x04\x02" "\x03\x40\x0B\x03", 25));
    Seed("fuzz_memory_reception", "older_lines",
         QByteArray("\x02\x00\x02\x00" "\x00\x00\x00\x05" "\x00\x01\x08\x06" "\x01\x10" "$PMTK182,8,0000" "\x00\x02\x01\x07", 33));

    // Downloads: kind and reads, memory seed, then a damage a reply (0 none).
    const char* downloads[] = {"qk4", "qk3_hex", "qk3_raw", "older"};
    for (int k = 0; k < 4; ++k) {
        const char head = char(k | 4);
        Seed("fuzz_link_download", QStringLiteral("%1_clean").arg(downloads[k]), QByteArray(1, head) + '\x07');
        Seed("fuzz_link_download", QStringLiteral("%1_damaged").arg(downloads[k]),
             QByteArray(1, head) + QByteArray("\x07" "\x00" "\x03\x00\x00\x21\x05" "\x02\x00" "\x06\x00"
                                             "\x07\x00" "\x01\x00" "\x04\x00\x00\x30" "\x05\x04$PMT", 25));
    }

    // Video-sync files.
    Seed("fuzz_vsy", "plain", "C:\\Video\\run 1.mp4\r\n2024/04/14 09:59:52.500\r\n");
    Seed("fuzz_vsy", "utf8", QStringLiteral("/home/u/走行動画.mp4\r\n2024/04/14 10:00:00.000\r\n").toUtf8());
    Seed("fuzz_vsy", "cp932", QByteArray("C:\\\x83\x72\x83\x66\x83\x49.avi\r\n2023/12/31 23:59:59\r\n"));
    Seed("fuzz_vsy", "lf", "/v.mp4\n2024/4/1 7:05\n");
    return ok ? 0 : 1;
}
