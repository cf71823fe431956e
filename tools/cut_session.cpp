// Generates a 20-lap session as a QK4 memory image (".bnx4"), opens it as the
// program does and cuts it at a control line across the start straight,
// printing each lap with its time. Usage: cut_session [image.bnx4]
#include <cmath>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "import/lap_cutting.h"
#include "import/memory_image.h"
#include "model/session.h"
#include "support/image_builder.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid()) return 2;
    const QString image = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path() + "/session.bnx4";

    vel::test::ImageCircuit c;
    c.shape = vel::test::CircuitShape::Oval;
    c.hz = 10;
    c.kmh = 90;
    const double lapSec = vel::test::ImageCircuitLength(c) / (c.kmh / 3.6);
    // Twenty laps and three seconds: the short tail is no lap.
    const int count = static_cast<int>(std::ceil((20 * lapSec + 3) * c.hz));
    const std::vector<vel::test::ImageSample> samples = vel::test::ImageCircuitSamples(c, count);
    const QByteArray bytes = vel::test::BlockImage(samples);
    QFile out(image);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(image));
        return 1;
    }
    out.close();

    auto session = std::make_unique<vel::Session>();
    session->folders.TempDir = tmp.path() + "/temp/";
    QDir().mkpath(session->folders.TempDir);
    if (!session->logStore.Allocate()) return 1;
    QFile in(image);
    if (!in.open(QIODevice::ReadOnly)) return 1;
    const QByteArray read = in.readAll();
    vel::LogStore& store = session->logStore;
    store.Clear();
    store.PutLogImage(reinterpret_cast<const uint8_t*>(read.constData()), read.size());
    vel::DecodeLogImage(store, vel::LogImageLayout::Blocks4K, static_cast<int32_t>(read.size() / 4096),
                        session->LocalEpoch, session->statusList);
    for (vel::TLogBlock& b : store.LogBlock) b.Act = true;
    store.SetMbActAndRect();

    // A north-south line across the start straight, just after the start.
    const vel::TLogItem& a = store.LogItem[5];
    const vel::TLogItem& b = store.LogItem[6];
    const long double halfDeg = 20.0L / vel::EarthR * 180.0L / vel::Pi;
    vel::LineChoice lines;
    lines.CtrlLineSet = true;
    lines.CtrlLine = {(a.Ido + b.Ido) / 2 - halfDeg, (a.Kdo + b.Kdo) / 2, (a.Ido + b.Ido) / 2 + halfDeg,
                      (a.Kdo + b.Kdo) / 2};
    QString error;
    if (!vel::CutLapCircuit(*session, lines, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d samples, %d laps\n", store.LogItemNum, session->lapList.LapStrLstNum());
    for (const vel::LapRow& r : session->lapList.Rows)
        std::printf("%s  %s  %s km\n", qPrintable(r.Cells[1]), qPrintable(r.Cells[4]), qPrintable(r.Cells[6]));
    return 0;
}
