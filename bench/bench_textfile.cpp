// Text files: a tiny file (read at every start-up and for every small file
// the program opens), and a sector file whose four lines are followed by
// 64 MiB of junk lines (read up to its fourth line only).
#include <benchmark/benchmark.h>
#include <QFile>
#include <QTemporaryDir>
#include "common/textfile.h"
#include "model/sector_lines.h"

namespace {

QTemporaryDir& Dir() {
    static QTemporaryDir dir;
    return dir;
}

QString Write(const QString& name, const QByteArray& head, qint64 junkBytes) {
    const QString path = Dir().path() + "/" + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(head);
    const QByteArray junk = QByteArray("x,y\r\n").repeated(64 * 1024 / 5);
    for (qint64 n = 0; n < junkBytes; n += junk.size()) f.write(junk);
    return path;
}

void BM_ReadTinyFile(benchmark::State& state) {
    const QString path = Write("tiny.txt", "Ver 4.8.3\r\nsecond line\r\n", 0);
    for (auto _ : state) {
        QStringList lines;
        benchmark::DoNotOptimize(vel::ReadTextLines(path, lines));
    }
}
BENCHMARK(BM_ReadTinyFile)->Unit(benchmark::kMicrosecond);

void BM_ReadSectorFileBeforeJunk(benchmark::State& state) {
    const QString path = Write("big.sci",
                               "35.1,139.1,35.2,139.2,1\r\n35.3,139.3,35.4,139.4\r\n"
                               "35.5,139.5,35.6,139.6\r\n35.7,139.7,35.8,139.8\r\n",
                               63LL * 1024 * 1024);
    for (auto _ : state) {
        vel::SectorLines s;
        benchmark::DoNotOptimize(vel::ReadSectFile(path, s));
    }
}
BENCHMARK(BM_ReadSectorFileBeforeJunk)->Unit(benchmark::kMicrosecond);

// The worst case left: junk lines all the way, none of them accepted.
void BM_ReadSectorFileAllJunk(benchmark::State& state) {
    const QString path = Write("junk.sci", "", 63LL * 1024 * 1024);
    for (auto _ : state) {
        vel::SectorLines s;
        benchmark::DoNotOptimize(vel::ReadSectFile(path, s));
    }
}
BENCHMARK(BM_ReadSectorFileAllJunk)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
