// Exports: the per-lap CSV of a 36,000-sample lap (one hour at 10 Hz),
// computed and written; a 1600 x 1000 pane picture saved as PNG at level 5.
#include <benchmark/benchmark.h>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include "analysis/lap_derive.h"
#include "common/textfile.h"
#include "support/lap_builder.h"
#include "views/export/lap_csv.h"
#include "views/export/picture.h"
#include "qt_main.h"

using namespace vel;

namespace {

QVector<TLapElmRec> LongLap() {
    test::Drive d;
    d.spd = 120;
    // 36,000 samples: laps of a 1 km circle at 120 km/h and 10 Hz.
    QVector<TLapElmRec> recs = test::CircleLap(d, 160, test::Turn::Right, 120);
    recs.resize(36000);
    recs[0].Dir = 180.01L;   // a logged heading, so the drift test runs too
    return recs;
}

void BM_LapCsv36000(benchmark::State& state) {
    const QVector<TLapElmRec> recs = LongLap();
    QTemporaryDir tmp;
    const QString file = tmp.path() + "/lap.csv";
    for (auto _ : state) {
        const QByteArray bytes = LapCsvBytes(recs, {});
        WriteFileAtomic(file, bytes);
        benchmark::DoNotOptimize(bytes.size());
    }
    state.counters["bytes"] = double(QFileInfo(file).size());
}
BENCHMARK(BM_LapCsv36000)->Unit(benchmark::kMillisecond);

void BM_LapCsv36000Text(benchmark::State& state) {
    const QVector<TLapElmRec> recs = LongLap();
    for (auto _ : state) benchmark::DoNotOptimize(LapCsvBytes(recs, {}).size());
}
BENCHMARK(BM_LapCsv36000Text)->Unit(benchmark::kMillisecond);

void BM_LapCsv36000Analysis(benchmark::State& state) {
    const QVector<TLapElmRec> recs = LongLap();
    for (auto _ : state) {
        TLapDtRec lap;
        lap.Elm = recs;
        SetGElm(lap);
        benchmark::DoNotOptimize(lap.GElm.size());
    }
}
BENCHMARK(BM_LapCsv36000Analysis)->Unit(benchmark::kMillisecond);

// Something like a speed graph: grid, four curves, captions.
void DrawGraph(QPainter& p, const QRect& r) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(192, 192, 192));
    for (int x = 0; x < r.width(); x += 50) p.drawLine(x, 0, x, r.height());
    for (int y = 0; y < r.height(); y += 40) p.drawLine(0, y, r.width(), y);
    const QColor colours[] = {Qt::red, Qt::blue, QColor(0, 128, 128), QColor(128, 128, 0)};
    for (int k = 0; k < 4; ++k) {
        QPainterPath path;
        for (int x = 0; x < r.width(); ++x) {
            const double y = r.height() / 2 + std::sin(x / (60.0 + 7 * k)) * (200 + 30 * k) + std::sin(x / 7.0) * 5;
            if (x == 0) path.moveTo(x, y);
            else path.lineTo(x, y);
        }
        p.setPen(colours[k]);
        p.drawPath(path);
    }
    p.setPen(Qt::black);
    for (int i = 0; i < 20; ++i) p.drawText(10 + i * 75, 20, QString("%1 km/h").arg(i * 10));
}

void BM_Png1600x1000(benchmark::State& state) {
    const QImage img = PanePicture(QSize(1600, 1000), DrawGraph);
    QTemporaryDir tmp;
    const QString file = tmp.path() + "/pane.png";
    for (auto _ : state) benchmark::DoNotOptimize(WritePicture(img, PictureFormat::Png, file));
    state.counters["bytes"] = double(QFileInfo(file).size());
}
BENCHMARK(BM_Png1600x1000)->Unit(benchmark::kMillisecond);

} // namespace

// Fonts for the captions.
int main(int argc, char** argv) { return vel::bench::RunWithQt<QGuiApplication>(argc, argv); }
