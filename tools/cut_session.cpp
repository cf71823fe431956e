// Cuts a log at a control line the way the "GPSログ読込" command does and
// prints the kept laps, one line each: lap-list columns 0 to 7, tab-separated.
//
//   cut_session FILE LAT1 LON1 LAT2 LON2
//       FILE opens by its extension (".bnx4", ".binx", ".bin", ".dtb",
//       ".bon", ".bon4", ".bonz", ".bnz4"); every block is selected and the
//       line runs from (LAT1, LON1) to (LAT2, LON2), in degrees. FILE is only
//       read; the lap working files go to a temporary folder.
//   cut_session
//       Generates a 20-lap QK4 session of its own and cuts it at a line
//       across its start straight.
//
// The count of samples and laps goes to stderr, so stdout holds laps only.
#include <cmath>
#include <cstdio>
#include <memory>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "import/control_line_dialog_iface.h"
#include "import/log_import_commands.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "platform/timezone.h"
#include "support/image_builder.h"

namespace {

// Answers the open dialog with the file; every message goes to stderr and
// marks the run as failed.
class ToolPrompts : public vel::Prompts {
public:
    explicit ToolPrompts(QString file) : file_(std::move(file)) {}
    bool failed = false;

    void Inform(const QString& text) override { Say(text); }
    void Warn(const QString& text) override { Say(text); }
    void Error(const QString& text) override { Say(text); }
    vel::Answer AskYesNo(const QString& text) override {
        Say(text);
        return vel::Answer::No;
    }
    vel::Answer AskOkCancel(const QString& text) override {
        Say(text);
        return vel::Answer::Cancel;
    }
    vel::Answer AskYesCancel(const QString& text) override {
        Say(text);
        return vel::Answer::Cancel;
    }
    vel::Answer WarnYesNo(const QString& text) override {
        Say(text);
        return vel::Answer::No;
    }
    QStringList OpenFiles(const vel::FileDialogSpec&) override { return {file_}; }
    QString SaveFile(const vel::FileDialogSpec&) override { return {}; }

private:
    void Say(QString text) {
        failed = true;
        text.replace('\r', '\n');
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    QString file_;
};

// The control-line dialog closed with OK at once: every block selected, the
// given control line set.
class SelectAllDialog : public vel::ControlLineDialog {
public:
    explicit SelectAllDialog(const vel::LineEnds& line) : line_(line) {}
    bool opened = false;

    bool Exec(vel::Session& session, const vel::ControlLineDialogInput&) override {
        opened = true;
        vel::LogStore& st = session.logStore;
        for (vel::TLogBlock& b : st.LogBlock) b.Act = true;
        st.SetMbActAndRect();
        vel::LineChoice lines;
        lines.CtrlLine = line_;
        lines.CtrlLineSet = true;
        session.lineChoice = lines;
        return true;
    }

private:
    vel::LineEnds line_;
};

int Cut(const QString& file, const vel::LineEnds& line, const QString& tempDir) {
    auto session = std::make_unique<vel::Session>();
    session->LocalEpoch = vel::LocalEpochFromBias(vel::TimeZoneBiasMinutes());
    session->folders.TempDir = tempDir + "/temp/";
    session->folders.RawDir = QFileInfo(file).absolutePath() + "/";
    if (!QDir().mkpath(session->folders.TempDir) || !session->logStore.Allocate()) {
        std::fprintf(stderr, "cannot prepare the working folder or the log store\n");
        return 1;
    }
    if (!QFileInfo(file).isFile()) {
        std::fprintf(stderr, "%s: no such file\n", qPrintable(file));
        return 1;
    }

    ToolPrompts prompts(file);
    SelectAllDialog dialog(line);
    vel::RankingService ranking;   // the ranking colours show nothing here
    vel::LogImportCommands flow(*session, prompts, ranking, dialog);
    flow.SpeedButtonLdLogFileClick();

    const vel::LogStore& st = session->logStore;
    if (!dialog.opened) {
        // The import stops without a word for a kind it does not know and
        // for a log with fewer than two samples.
        if (!prompts.failed)
            std::fprintf(stderr, "%s: not a log this program reads, or fewer than two samples\n",
                         qPrintable(file));
        return 1;
    }
    std::fprintf(stderr, "%d samples, %d laps\n", st.LogItemNum, session->lapList.LapStrLstNum());
    for (const vel::LapRow& r : session->lapList.Rows) {
        QStringList cells;
        for (int c = 0; c <= 7; ++c) cells << r.Cells[c];
        std::printf("%s\n", qPrintable(cells.join('\t')));
    }
    return prompts.failed ? 1 : 0;
}

// Twenty laps of the oval and three seconds, written as a QK4 image; the
// line crosses the start straight just after the start.
int CutOwnSession(const QString& tempDir) {
    vel::test::ImageCircuit c;
    c.shape = vel::test::CircuitShape::Oval;
    c.hz = 10;
    c.kmh = 90;
    const double lapSec = vel::test::ImageCircuitLength(c) / (c.kmh / 3.6);
    const int count = static_cast<int>(std::ceil((20 * lapSec + 3) * c.hz));
    const std::vector<vel::test::ImageSample> samples = vel::test::ImageCircuitSamples(c, count);
    const QByteArray bytes = vel::test::BlockImage(samples);
    const QString image = tempDir + "/session.bnx4";
    QFile out(image);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(image));
        return 1;
    }
    out.close();

    const vel::test::ImageSample& a = samples[5];
    const vel::test::ImageSample& b = samples[6];
    const long double halfDeg = 20.0L / vel::EarthR * 180.0L / vel::Pi;
    const long double ido = (a.lat + b.lat) / 2, kdo = (a.lon + b.lon) / 2;
    return Cut(image, vel::LineEnds{ido - halfDeg, kdo, ido + halfDeg, kdo}, tempDir);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid()) return 2;
    if (argc == 1) return CutOwnSession(tmp.path());
    if (argc != 6) {
        std::fprintf(stderr, "usage: cut_session [FILE LAT1 LON1 LAT2 LON2]\n");
        return 2;
    }
    long double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = QString::fromLocal8Bit(argv[2 + i]).toDouble(&ok);
        if (!ok || !std::isfinite(static_cast<double>(v[i]))) {
            std::fprintf(stderr, "not a number: %s\n", argv[2 + i]);
            return 2;
        }
    }
    return Cut(QString::fromLocal8Bit(argv[1]), vel::LineEnds{v[0], v[1], v[2], v[3]}, tmp.path());
}
