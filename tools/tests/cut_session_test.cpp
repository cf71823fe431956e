// cut_session prints the laps that the open command cuts in the program,
// for every kind of log, and leaves the file as it was.
#include <cmath>
#include <vector>
#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "common/geodesy.h"
#include "common/records.h"
#include "import/bluetooth_records.h"
#include "import/log_import_commands.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/timezone.h"
#include "support/bluetooth_builder.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/image_builder.h"
#include "support/image_logs.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

// 3.5 laps of the builder's square circuit (64 s a lap) at 10 Hz.
constexpr int SessionSamples = 2240;

struct ToolRun {
    int exitCode = -1;
    QStringList out;   // stdout lines
    QString err;
};

ToolRun CutSession(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(CUT_SESSION_PROGRAM), args);
    ToolRun r;
    if (!p.waitForFinished(120000)) return r;   // a guard only
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString Deg(long double v) { return QString::number(static_cast<double>(v), 'g', 17); }

struct CutSessionTest : ::testing::Test {
    QTemporaryDir tmp;
    ImageCircuit circuit;
    LineEnds line;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        // A north-south line across the south side, 10 m after the start.
        const double degPerRad = 180.0 / static_cast<double>(Pi);
        const double r = static_cast<double>(EarthR);
        const double lat = circuit.centreLat - circuit.sizeM / 2 / r * degPerRad;
        const double lon = circuit.centreLon + 10.3 / (r * std::cos(circuit.centreLat / degPerRad)) * degPerRad;
        line = LineEnds{lat - 20 / r * degPerRad, lon, lat + 20 / r * degPerRad, lon};
    }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = tmp.path() + "/logs/" + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // Lap-list columns 0 to 7 of what the open command cuts in this process.
    QStringList ImportInProcess(const QString& path) {
        Session session;
        session.folders = FoldersUnder(tmp.path() + "/inproc");
        QDir().mkpath(session.folders.TempDir);
        EXPECT_TRUE(session.logStore.Allocate());
        session.LocalEpoch = LocalEpochFromBias(TimeZoneBiasMinutes());
        FakePrompts prompts;
        prompts.openResults.push_back({path});
        FakeLineDialog dialog;
        FakeLineDialog::Script s;
        s.ticks = QVector<bool>(1000, true);
        LineChoice lines;
        lines.CtrlLine = line;
        lines.CtrlLineSet = true;
        s.lines = lines;
        dialog.scripts.push_back(s);
        RankingService ranking;
        LogImportCommands flow(session, prompts, ranking, dialog);
        flow.SpeedButtonLdLogFileClick();
        EXPECT_EQ(dialog.openings.size(), 1u) << qPrintable(path);
        QStringList out;
        for (const LapRow& r : session.lapList.Rows) {
            QStringList cells;
            for (int c = 0; c <= 7; ++c) cells << r.Cells[c];
            out << cells.join('\t');
        }
        return out;
    }

    QStringList Args(const QString& path) const {
        return {path, Deg(line.Ido1), Deg(line.Kdo1), Deg(line.Ido2), Deg(line.Kdo2)};
    }
};

} // namespace

TEST_F(CutSessionTest, PrintsTheLapsTheImportCutsForEachKindOfLog) {
    const std::vector<ImageSample> samples = ImageCircuitSamples(circuit, SessionSamples);
    const double localEpoch = LocalEpochFromBias(TimeZoneBiasMinutes());
    const std::vector<std::pair<QString, QByteArray>> files = {
        {"session.bnx4", BlockImage(samples)},
        {"session.binx", SectorImage(samples)},
        {"session.bon", BtBytes(BtKind::Bon, samples)},
        {"session.bonz", BtBytes(BtKind::BonZ, samples)},
        {"session.dtb", DtbBytes(samples, localEpoch)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(qPrintable(name));
        const QString path = Write(name, bytes);
        const QDateTime modified = QFileInfo(path).lastModified();
        const QStringList expected = ImportInProcess(path);
        // The out-lap of 10 m is dropped; three whole laps and the half in-lap stay.
        ASSERT_EQ(expected.size(), 4);
        const ToolRun run = CutSession(Args(path));
        EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
        EXPECT_EQ(run.out, expected);
        EXPECT_TRUE(run.err.contains(" 4 laps")) << qPrintable(run.err);
        // Read only: the file is as it was and nothing appeared beside it.
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
        EXPECT_EQ(QFileInfo(path).lastModified(), modified);
        EXPECT_EQ(QDir(tmp.path() + "/logs").entryList(QDir::Files).size(), 1);
        QFile::remove(path);
    }
}

TEST_F(CutSessionTest, RefusesWhatItCannotCut) {
    struct Case {
        const char* what;
        QStringList args;
        int exitCode;
        QString err;
    };
    const QString small = Write("short.bnx4", QByteArray(100, '\0'));
    const QString odd = Write("notes.txt", QByteArray("not a log"));
    const std::vector<Case> cases = {
        {"raw log of a wrong size", Args(small), 1, LogWrongSize},
        {"unknown kind", Args(odd), 1, QStringLiteral("not a log")},
        {"missing file", Args(tmp.path() + "/none.bnx4"), 1, QStringLiteral("no such file")},
        {"bad number", {small, "35.0", "north", "35.1", "136.5"}, 2, QStringLiteral("not a number")},
        {"too few arguments", {small, "35.0"}, 2, QStringLiteral("usage")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = CutSession(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(c.err)) << qPrintable(run.err);
    }
    QFile f(small);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(100, '\0'));
}
