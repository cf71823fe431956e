#include <cmath>
#include <memory>
#include <optional>
#include <vector>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "common/datetime.h"
#include "common/geodesy.h"
#include "common/records.h"
#include "import/bluetooth_records.h"
#include "import/log_import_commands.h"
#include "model/lap_file.h"
#include "model/session.h"
#include "support/bluetooth_builder.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/image_builder.h"
#include "support/image_logs.h"
#include "support/lap_builder.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double Jst = 25569.0 + 9.0 / 24.0;   // LocalEpoch at UTC+9
constexpr int32_t FirstGroup = 5;
const double NowLocal = EncodeDateTime(2024, 5, 1, 12, 34, 56, 0);
const QString Stamp = QStringLiteral("202405011234");

// The square circuit of the image builder: 400 m sides at 90 km/h, 64 s a
// lap, 3.5 laps at 10 Hz from the middle of the south side.
constexpr int SessionSamples = 2240;
constexpr double FullLapSec = 64.0;
constexpr int CircuitRows = 4;   // the 10 m out-lap is dropped, the half in-lap kept

double LatAt(const ImageCircuit& c, double y) {
    return c.centreLat + y / static_cast<double>(EarthR) * (180.0 / static_cast<double>(Pi));
}
double LonAt(const ImageCircuit& c, double x) {
    const double degPerRad = 180.0 / static_cast<double>(Pi);
    return c.centreLon + x / (static_cast<double>(EarthR) * std::cos(c.centreLat / degPerRad)) * degPerRad;
}
// A north-south line through (x, y) metres from the centre.
LineEnds LineAcross(const ImageCircuit& c, double x, double y) {
    return LineEnds{LatAt(c, y - 20), LonAt(c, x), LatAt(c, y + 20), LonAt(c, x)};
}

QByteArray Padded(QByteArray image, qsizetype size) {
    image.append(size - image.size(), static_cast<char>(0xFF));
    return image;
}

struct ImportFlowTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    FakePrompts prompts;
    CallLog log;
    RecordingRanking ranking{log};
    FakeLineDialog dialog;
    std::unique_ptr<LogImportCommands> flow;
    ImageCircuit circuit;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        session.folders = FoldersUnder(tmp.path());
        ASSERT_TRUE(QDir().mkpath(session.folders.TempDir));
        ASSERT_TRUE(QDir().mkpath(session.folders.RawDir));
        ASSERT_TRUE(session.logStore.Allocate());
        session.LocalEpoch = Jst;
        session.lapList.GrpNo = FirstGroup;
        flow = std::make_unique<LogImportCommands>(session, prompts, ranking, dialog);
        flow->onShowDataTab = [this] { log.calls << "ShowDataTab"; };
        flow->onBusy = [this](bool on) { log.calls << (on ? "Busy" : "Idle"); };
        flow->nowLocal = [] { return NowLocal; };
    }

    std::vector<ImageSample> Session35() const { return ImageCircuitSamples(circuit, SessionSamples); }

    LineChoice ControlLine() const {
        LineChoice l;
        l.CtrlLine = LineAcross(circuit, 10.3, -circuit.sizeM / 2);
        l.CtrlLineSet = true;
        return l;
    }

    void ScriptOk(const LineChoice& lines, std::optional<QVector<bool>> ticks = std::nullopt) {
        FakeLineDialog::Script s;
        s.lines = lines;
        s.ticks = std::move(ticks);
        dialog.scripts.push_back(s);
    }

    // A file in a folder of its own, so that the open command's folder shows.
    QString LogFile(const QString& name, const QByteArray& bytes) {
        const QString path = tmp.path() + "/logs/" + name;
        WriteFile(path, bytes);
        return path;
    }

    void Open(const QString& path) {
        prompts.openResults.push_back({path});
        flow->SpeedButtonLdLogFileClick();
    }

    void NewRound() {
        session.lapList = LapList{};
        session.lapList.GrpNo = FirstGroup;
        log.calls.clear();
        ranking.written.clear();
        prompts = FakePrompts{};
        dialog = FakeLineDialog{};
    }

    // A log of three samples and a marked LogDump, to see that nothing touched them.
    void MarkStore() {
        LogStore& st = session.logStore;
        st.Clear();
        const auto samples = Session35();
        for (int i = 0; i < 3; ++i) {
            TLogItem it;
            it.DtTm = Jst + UtcDays(samples[i]) - UnixEpochDays;
            it.Ido = samples[i].lat;
            it.Kdo = samples[i].lon;
            ASSERT_TRUE(st.AppendLogItem(it, session.statusList));
        }
        const QByteArray mark(64, 'Z');
        st.PutLogImage(reinterpret_cast<const uint8_t*>(mark.constData()), mark.size());
    }

    QStringList Cells(int column) const {
        QStringList out;
        for (const LapRow& r : session.lapList.Rows) out << r.Cells[column];
        return out;
    }

    QStringList Messages() const {
        QStringList out;
        for (const auto& c : prompts.calls)
            if (c.kind == "inform" || c.kind == "warn" || c.kind == "error") out << c.kind + ": " + c.text;
        return out;
    }

    QString TopStatus() const {
        const QStringList& l = session.statusList.Lines();
        return l.isEmpty() ? QString() : l.first();
    }

    const QStringList CutCalls = {"Busy", "Idle", "SetBestLapRank", "SetSectTmList", "SetDriftAngleList",
                                  "ShowDataTab"};
};

} // namespace

TEST_F(ImportFlowTest, EachKindOfLogOpensAndIsCutIntoLaps) {
    struct Case {
        const char* name;
        QByteArray bytes;
        int rows;
    };
    const auto samples = Session35();
    const std::vector<Case> cases = {
        {"laps.bnx4", BlockImage(samples), CircuitRows},
        {"laps.binx", SectorImage(samples), CircuitRows},
        {"laps.bin", Padded(SectorImage(samples), BinFileSize), CircuitRows},
        {"laps.dtb", DtbBytes(samples, Jst), CircuitRows},
        {"laps.bon", BtBytes(BtKind::Bon, samples), CircuitRows},
        {"laps.bon4", BtBytes(BtKind::Bon4, samples), CircuitRows},
        {"laps.bonz", BtBytes(BtKind::BonZ, samples), CircuitRows},
        {"laps.bnz4", BtBytes(BtKind::Bnz4, samples), CircuitRows},
        // Opened as it is named, whatever the case of its extension.
        {"UPPER.BINX", SectorImage(samples), CircuitRows},
        // A ".binx" of the largest size and a ".bnx4" as large as the buffer.
        {"full.binx", Padded(SectorImage(samples), BinxFileMax), CircuitRows},
        {"full.bnx4", Padded(BlockImage(samples), Bnx4FileMax), CircuitRows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewRound();
        const QString path = LogFile(c.name, c.bytes);
        ScriptOk(ControlLine());
        Open(path);

        EXPECT_EQ(prompts.lastSpec.title, LogOpenTitle);
        EXPECT_EQ(prompts.lastSpec.filters, LogOpenFilters());
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join("\n").toStdString();
        EXPECT_EQ(TopStatus(), QString("%1 records").arg(SessionSamples));
        const QString base = QFileInfo(c.name).completeBaseName();
        EXPECT_EQ(session.logStore.LogName, base);
        EXPECT_EQ(session.folders.RawDir, tmp.path() + "/logs/");

        ASSERT_EQ(dialog.openings.size(), 1u);
        const auto& seen = dialog.openings[0];
        EXPECT_EQ(seen.input.label, base);
        EXPECT_EQ(seen.input.hint, base);
        EXPECT_EQ(seen.titles.size(), 1);
        EXPECT_EQ(seen.ticked, (QVector<bool>{true}));   // pre-selected
        EXPECT_EQ(seen.input.viewRect.IdoMin, seen.logRect.IdoMin);
        EXPECT_EQ(seen.input.viewRect.KdoMax, seen.logRect.KdoMax);
        EXPECT_LT(seen.logRect.IdoMin, seen.logRect.IdoMax);

        // Reading under the busy state, then the cut and its follow-up.
        EXPECT_EQ(log.calls, (QStringList{"Busy", "Idle"} + CutCalls));
        ASSERT_EQ(session.lapList.LapStrLstNum(), c.rows);
        EXPECT_NEAR(static_cast<double>(session.lapList.LapStrLst[1].Sec), FullLapSec, 0.01);
        EXPECT_EQ(Cells(7), QStringList(QVector<QString>(c.rows, base)));
        EXPECT_EQ(Cells(19), QStringList(QVector<QString>(c.rows, QString::number(FirstGroup))));
        EXPECT_EQ(session.lapList.GrpNo, FirstGroup + 1);
        EXPECT_FALSE(session.FileDlgOpen);
    }
}

TEST_F(ImportFlowTest, TheDialogsResultSelectsTheCutter) {
    const ImageCircuit& c = circuit;
    const LineEnds start = LineAcross(c, 10.3, -c.sizeM / 2);
    const LineEnds goal = LineAcross(c, 0, c.sizeM / 2);   // 789.7 m after the start
    auto choice = [&](bool ctrl, bool sta, bool fin) {
        LineChoice l;
        l.CtrlLine = start;
        l.FinLine = goal;
        l.CtrlLineSet = ctrl;
        l.StaLineSet = sta;
        l.FinLineSet = fin;
        return l;
    };
    struct Case {
        const char* what;
        LineChoice lines;
        bool ok;
        int rows;
        double firstSec;   // lap time of the first row (the out-lap is dropped)
    };
    const double v = c.kmh / 3.6;
    const std::vector<Case> cases = {
        {"control line", choice(true, false, false), true, CircuitRows, FullLapSec},
        // Four starts, three goals: the last run has no goal.
        {"start and goal", choice(false, true, true), true, 3, 789.7 / v},
        // No line: the whole selection is one lap.
        {"no line", choice(false, false, false), true, 1, (SessionSamples - 1) / 10.0},
        {"start without goal", choice(false, true, false), true, 0, 0},
        {"goal without start", choice(false, false, true), true, 0, 0},
        {"cancelled", choice(true, false, false), false, 0, 0},
    };
    const QString path = LogFile("laps.bnx4", BlockImage(Session35()));
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NewRound();
        FakeLineDialog::Script s;
        s.ok = k.ok;
        s.lines = k.lines;
        dialog.scripts.push_back(s);
        Open(path);

        ASSERT_EQ(dialog.openings.size(), 1u);
        const bool cut = k.ok && (k.lines.CtrlLineSet || k.lines.StaLineSet == k.lines.FinLineSet);
        EXPECT_EQ(log.calls, (QStringList{"Busy", "Idle"} + (cut ? CutCalls : QStringList())));
        ASSERT_EQ(session.lapList.LapStrLstNum(), k.rows);
        EXPECT_EQ(session.lapList.GrpNo, FirstGroup + (k.rows > 0 ? 1 : 0));
        if (k.rows > 0) {
            EXPECT_NEAR(static_cast<double>(session.lapList.LapStrLst[0].Sec), k.firstSec, 0.01);
        }
        // Every lap's samples go to the ranking with the file they were written to.
        QStringList files;
        for (int r = 0; r < k.rows; ++r) files << WorkingFileName(session.folders.TempDir, r);
        EXPECT_EQ(ranking.written, files);
        if (k.ok && !k.lines.CtrlLineSet && !k.lines.StaLineSet && !k.lines.FinLineSet) {
            const LineEnds& l = session.lineChoice.CtrlLine;
            EXPECT_EQ(l.Ido1, 0);
            EXPECT_EQ(l.Kdo1, 0);
            EXPECT_EQ(l.Ido2, 1e-6L);
            EXPECT_EQ(l.Kdo2, 1e-6L);
        }
    }
}

TEST_F(ImportFlowTest, RefusedAndEmptyFiles) {
    struct Case {
        const char* what;
        const char* name;
        QByteArray bytes;
        QString message;        // "" for none
        bool storeKept;         // refused before anything was touched
        QString status;         // top status line afterwards, "" when untouched
    };
    const auto samples = Session35();
    const QString wrongSize = "warn: " + LogWrongSize;
    const QByteArray ff(1, static_cast<char>(0xFF));
    const std::vector<Case> cases = {
        {"bin one byte long", "a.bin", Padded(ff, BinFileSize + 1), wrongSize, true, ""},
        {"bin one byte short", "a.bin", Padded(ff, BinFileSize - 1), wrongSize, true, ""},
        {"binx not whole sectors", "a.binx", Padded(ff, 65537), wrongSize, true, ""},
        {"binx beyond 8 MiB", "a.binx", Padded(ff, 8454144), wrongSize, true, ""},
        {"bnx4 not whole blocks", "a.bnx4", Padded(ff, 4095), wrongSize, true, ""},
        {"bnx4 beyond 16 MiB", "a.bnx4", Padded(ff, Bnx4FileMax + 4096), wrongSize, true, ""},
        {"binx of unknown format", "a.binx", SectorImage(samples, LogFmtStd | 0x2),
         "warn: " + LogWrongFormat, false, ""},
        {"bin of unknown format", "a.bin", Padded(SectorImage(samples, LogFmtStd | 0x2), BinFileSize),
         "warn: " + LogWrongFormat, false, ""},
        {"empty bnx4", "a.bnx4", QByteArray(), "", false, "0 records"},
        {"erased bnx4", "a.bnx4", Padded(ff, 8192), "", false, "0 records"},
        {"one sample", "a.bnx4", BlockImage({samples[0]}), "", false, "1 records"},
        {"bon of no whole record", "a.bon", BtBytes(BtKind::Bon, samples).left(100), "", false, "0 records"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewRound();
        MarkStore();
        const QString rawDir = session.folders.RawDir;
        const QString statusBefore = TopStatus();
        Open(LogFile(c.name, c.bytes));

        EXPECT_EQ(Messages(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_TRUE(dialog.openings.empty());
        EXPECT_EQ(session.lapList.LapStrLstNum(), 0);
        EXPECT_EQ(session.lapList.GrpNo, FirstGroup);
        const LogStore& st = session.logStore;
        if (c.storeKept) {
            EXPECT_EQ(st.LogItemNum, 3);
            EXPECT_EQ(st.LogDump[0], 'Z');
            EXPECT_EQ(session.folders.RawDir, rawDir);
            EXPECT_TRUE(log.calls.isEmpty());
        } else {
            EXPECT_LE(st.LogItemNum, 1);
            EXPECT_EQ(session.folders.RawDir, tmp.path() + "/logs/");
            EXPECT_EQ(log.calls, (QStringList{"Busy", "Idle"}));
        }
        if (!c.status.isEmpty()) {
            EXPECT_EQ(TopStatus(), c.status);
        } else if (c.storeKept) {
            EXPECT_EQ(TopStatus(), statusBefore);
        }
    }
}

TEST_F(ImportFlowTest, NothingHappensWithoutAFileToRead) {
    const QString other = LogFile("laps.txt", BlockImage(Session35()));
    struct Case {
        const char* what;
        QStringList chosen;
    };
    const std::vector<Case> cases = {
        {"cancelled", {}},
        {"missing file", {tmp.path() + "/logs/gone.bnx4"}},
        {"a folder", {tmp.path() + "/logs"}},
        {"other extension", {other}},
        {"no extension", {tmp.path() + "/logs/laps"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewRound();
        MarkStore();
        prompts.openResults.push_back(c.chosen);
        flow->SpeedButtonLdLogFileClick();
        EXPECT_EQ(prompts.count("open"), 1);
        EXPECT_TRUE(Messages().isEmpty());
        EXPECT_TRUE(log.calls.isEmpty());
        EXPECT_TRUE(dialog.openings.empty());
        EXPECT_EQ(session.logStore.LogItemNum, 3);
        EXPECT_EQ(session.folders.RawDir, FoldersUnder(tmp.path()).RawDir);
    }
}

TEST_F(ImportFlowTest, RecutKeepsTheBlockSelectionAndGroupsFollowOn) {
    // Two blocks: 1.75 laps, two minutes off, 1.75 laps.
    auto samples = Session35();
    ShiftImageSamples(samples, SessionSamples / 2, 120);
    Open(LogFile("two.bnx4", BlockImage(samples)));
    ASSERT_EQ(dialog.openings.size(), 1u);   // unscripted: cancelled
    EXPECT_EQ(dialog.openings[0].ticked, (QVector<bool>{true, true}));
    EXPECT_EQ(session.lapList.LapStrLstNum(), 0);

    struct Step {
        const char* what;
        std::optional<QVector<bool>> ticks;
        QVector<bool> seen;   // ticks the dialog opens with
        int rows;             // rows added
    };
    const Step steps[] = {
        {"first block only", QVector<bool>{true, false}, {true, true}, 2},
        {"same selection again", std::nullopt, {true, false}, 2},
        // Its out-lap from the block's first sample is long enough to count.
        {"second block only", QVector<bool>{false, true}, {true, false}, 3},
    };
    int32_t group = FirstGroup;
    int rows = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        dialog.openings.clear();
        log.calls.clear();
        ScriptOk(ControlLine(), s.ticks);
        flow->SpeedButtonReLogClick();

        ASSERT_EQ(dialog.openings.size(), 1u);
        EXPECT_EQ(dialog.openings[0].ticked, s.seen);
        EXPECT_EQ(dialog.openings[0].input.label, "two");
        EXPECT_EQ(log.calls, CutCalls);
        ASSERT_EQ(session.lapList.LapStrLstNum(), rows + s.rows);
        for (int r = rows; r < rows + s.rows; ++r)
            EXPECT_EQ(session.lapList.Rows[r].Cells[19], QString::number(group)) << r;
        rows += s.rows;
        ++group;
        EXPECT_EQ(session.lapList.GrpNo, group);
        EXPECT_EQ(session.logStore.LogName, "two");
    }
    // A cut that adds no row keeps the group number.
    ScriptOk(LineChoice{});   // no line: the whole selection, but ...
    session.settings.MinLapDist = 9.999L;   // ... far too short to be kept
    flow->SpeedButtonReLogClick();
    EXPECT_EQ(session.lapList.LapStrLstNum(), rows);
    EXPECT_EQ(session.lapList.GrpNo, group);
}

TEST_F(ImportFlowTest, RecutWithoutALogSaysSo) {
    for (const int n : {0, 1}) {
        SCOPED_TRACE(n);
        NewRound();
        session.logStore.Clear();
        if (n == 1) {
            TLogItem it;
            it.DtTm = NowLocal - 1;
            ASSERT_TRUE(session.logStore.AppendLogItem(it, session.statusList));
        }
        flow->SpeedButtonReLogClick();
        EXPECT_EQ(Messages(), QStringList{"inform: " + LogNoData});
        EXPECT_TRUE(dialog.openings.empty());
        EXPECT_TRUE(log.calls.isEmpty());
    }
}

struct DownloadTest : ImportFlowTest {
    // What the logger link leaves: LogDump as downloaded, release and used count.
    void Download(const QByteArray& image, const char* release, const char* used) {
        session.logStore.PutLogImage(reinterpret_cast<const uint8_t*>(image.constData()), image.size());
        LoggerHandover h;
        h.LoggerRelease = release;
        h.LoggerUsedBytes = used;
        flow->WMLogLoaded(h);
    }
    QByteArray DumpPrefix(int64_t n) const {
        return QByteArray(reinterpret_cast<const char*>(session.logStore.LogDump.data()), n);
    }
};

TEST_F(DownloadTest, SavedUnderTheDefaultNameWithinTheCapsAndCut) {
    struct Case {
        const char* what;
        bool qk4;
        const char* used;
        uint32_t word;          // format word of the image
        int64_t savedBytes;
        QString name;           // default name without extension
        QStringList messages;
    };
    const QString low = "warn: " + LogMemoryLow;
    const QString odd = "warn: " + LogOddData;
    const QString qk4 = "QK4_" + Stamp, gps3 = "GPS3_" + Stamp;
    const std::vector<Case> cases = {
        {"QK4, one block and a byte", true, "1001", BlockWord, 8192, qk4, {}},
        {"QK4, nothing used", true, "0", BlockWord, 0, qk4, {}},
        {"QK4, negative count", true, "FFFFFFFF", BlockWord, 0, qk4, {}},
        {"QK4, 80.5 % used", true, "CDFE60", BlockWord, 3296 * 4096, qk4, {low}},
        {"QK4, 79.9 % used", true, "CC77C0", BlockWord, 3272 * 4096, qk4, {}},
        {"QK4, beyond the memory", true, "FFFFFF", BlockWord, Bnx4FileMax, qk4, {low}},
        {"QK4, beyond the buffer", true, "7FFFFFFF", BlockWord, Bnx4FileMax, qk4, {low}},
        {"older, one sector", false, "10000", SectorWord, 131072, gps3, {}},
        {"older, nothing used", false, "0", SectorWord, 65536, gps3, {}},
        {"older, negative count", false, "80000000", SectorWord, 65536, gps3, {}},
        {"older, last sector", false, "7F0000", SectorWord, BinxFileMax, gps3, {}},
        {"older, all 8 MiB", false, "800000", SectorWord, BinxFileMax, gps3, {}},
        {"older, beyond the buffer", false, "7FFFFFFF", SectorWord, BinxFileMax, gps3, {}},
        {"older with satellite data", false, "10000", LogFmtSat, 131072, gps3 + "xx", {odd}},
    };
    const auto samples = Session35();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewRound();
        const QString ext = c.qk4 ? ".bnx4" : ".binx";
        const QString target = session.folders.RawDir + c.name + ext;
        QFile::remove(target);
        prompts.saveResults.push_back(target);   // confirmed as proposed
        ScriptOk(ControlLine());
        Download(c.qk4 ? BlockImage(samples, c.word) : SectorImage(samples, c.word),
                 c.qk4 ? "QK4,4.03,QSTARZ" : "BT-Q1000eX,QK3,2.1", c.used);

        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(prompts.lastSpec.title, LogSaveTitle);
        EXPECT_EQ(prompts.lastSpec.fileName, c.name + ext);
        EXPECT_EQ(prompts.lastSpec.folder, session.folders.RawDir);
        EXPECT_EQ(prompts.lastSpec.filters, LogSaveFilters());
        EXPECT_EQ(prompts.count("warnyesno"), 0);
        ASSERT_TRUE(QFileInfo(target).isFile());
        EXPECT_EQ(QFileInfo(target).size(), c.savedBytes);
        EXPECT_TRUE(ReadFile(target) == DumpPrefix(c.savedBytes)) << "saved bytes differ from LogDump";
        if (!c.qk4) {
            EXPECT_EQ(TopStatus(), QString("%1 records").arg(SessionSamples));
        }
        EXPECT_EQ(session.logStore.LogName, c.name);
        ASSERT_EQ(dialog.openings.size(), 1u);
        EXPECT_EQ(dialog.openings[0].input.label, c.name);
        EXPECT_EQ(dialog.openings[0].ticked, (QVector<bool>{true}));
        EXPECT_EQ(log.calls, CutCalls);
        EXPECT_EQ(session.lapList.LapStrLstNum(), CircuitRows);
        EXPECT_EQ(Cells(7).value(0), c.name);
        EXPECT_EQ(session.lapList.GrpNo, FirstGroup + 1);

        // Every saved file opens again.
        NewRound();
        Open(target);
        EXPECT_TRUE(Messages().isEmpty()) << Messages().join("\n").toStdString();
        EXPECT_EQ(log.calls.value(0), "Busy");
    }
}

TEST_F(DownloadTest, WithoutSamplesNothingIsSaved) {
    const auto samples = Session35();
    struct Case {
        const char* what;
        bool qk4;
        QByteArray image;
    };
    const std::vector<Case> cases = {
        {"QK4, erased", true, QByteArray()},
        {"QK4, one sample", true, BlockImage({samples[0]})},
        {"older, erased", false, QByteArray()},
        {"older, one sample", false, SectorImage({samples[0]})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewRound();
        Download(c.image, c.qk4 ? "QK4," : "QK3", "100");
        EXPECT_EQ(Messages(), QStringList{"inform: " + LogNoData});
        EXPECT_EQ(prompts.count("save"), 0);
        EXPECT_TRUE(dialog.openings.empty());
        EXPECT_TRUE(QDir(session.folders.RawDir).isEmpty());
    }
}

TEST_F(DownloadTest, TheSaveDialogsAnswers) {
    struct Case {
        const char* what;
        QString typed;          // "" cancels
        bool exists;            // the target is there already
        Answer answer;          // to the overwrite question
        QString target;         // the file the name leads to
        bool written;
        QString logName;
    };
    const QString other = tmp.path() + "/other/";
    const QString def = "QK4_" + Stamp;
    const std::vector<Case> cases = {
        {"cancelled", "", false, Answer::No, "", false, def},
        {"other extension", other + "mine.binx", false, Answer::No, other + "mine.bnx4", true, "mine"},
        {"no extension", other + "mine", false, Answer::No, other + "mine.bnx4", true, "mine"},
        {"upper-case extension", other + "MINE.BNX4", false, Answer::No, other + "MINE.bnx4", true, "MINE"},
        {"existing, kept", other + "mine.bnx4", true, Answer::No, other + "mine.bnx4", false, "mine"},
        {"existing, replaced", other + "mine.bnx4", true, Answer::Yes, other + "mine.bnx4", true, "mine"},
        {"existing after the change, kept", other + "mine.bin", true, Answer::No, other + "mine.bnx4",
         false, "mine"},
    };
    const QByteArray image = BlockImage(Session35());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewRound();
        QDir(other).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(other));
        for (const QString& f : QDir(session.folders.RawDir).entryList(QDir::Files))
            QFile::remove(session.folders.RawDir + f);
        session.folders.RawDir = FoldersUnder(tmp.path()).RawDir;
        if (c.exists) WriteFile(c.target, "old");
        prompts.saveResults.push_back(c.typed);
        prompts.answers.push_back(c.answer);
        ScriptOk(ControlLine());
        Download(image, "QK4,", "20000");

        EXPECT_EQ(prompts.texts("warnyesno"),
                  c.exists ? QStringList{OverwriteQuestion(QFileInfo(c.target).fileName())} : QStringList());
        if (!c.target.isEmpty()) {
            EXPECT_EQ(ReadFile(c.target).size(), c.written ? 0x20000 : 3);
            EXPECT_EQ(session.folders.RawDir, other);
        } else {
            EXPECT_TRUE(QDir(session.folders.RawDir).isEmpty());
        }
        EXPECT_EQ(QDir(other).entryList(QDir::Files).size(), c.target.isEmpty() ? 0 : 1);
        EXPECT_EQ(session.logStore.LogName, c.logName);
        // Whatever happened to the file, the log is cut.
        EXPECT_EQ(session.lapList.LapStrLstNum(), CircuitRows);
        EXPECT_EQ(Cells(7).value(0), c.logName);
    }
}

TEST_F(DownloadTest, AFailedSaveEndsTheCommand) {
    // A folder where the file should go: the write fails.
    const QString target = session.folders.RawDir + "taken.bnx4";
    ASSERT_TRUE(QDir().mkpath(target));
    prompts.saveResults.push_back(target);
    prompts.answers.push_back(Answer::Yes);
    ScriptOk(ControlLine());
    Download(BlockImage(Session35()), "QK4,", "20000");
    EXPECT_EQ(prompts.count("error"), 1);
    EXPECT_TRUE(dialog.openings.empty());
    EXPECT_EQ(session.lapList.LapStrLstNum(), 0);
    EXPECT_TRUE(QFileInfo(target).isDir());
}

// 20 bytes as the Japanese ANSI code page (CP932) counts them.
TEST(LogNameLabel, AtMostTwentyCp932BytesWithoutSplittingACharacter) {
    struct Case {
        QString name, label;
    };
    const std::vector<Case> cases = {
        {"QK4_202405011234", "QK4_202405011234"},
        {"12345678901234567890", "12345678901234567890"},
        {"123456789012345678901", "12345678901234567890"},
        {"", ""},
        // Two bytes a character: ten fit.
        {"鈴鹿サーキット東コース", "鈴鹿サーキット東コー"},
        {"ab鈴鹿サーキット東コース", "ab鈴鹿サーキット東コ"},
        {"abc鈴鹿サーキット東コース", "abc鈴鹿サーキット東"},
        // Half-width katakana take one byte.
        {"ｽｽﾞｶｻｰｷｯﾄﾋｶﾞｼｺｰｽ_2024", "ｽｽﾞｶｻｰｷｯﾄﾋｶﾞｼｺｰｽ_202"},
        // A character CP932 lacks becomes one "?"; a pair is never halved.
        {QString::fromUtf8("🏁").repeated(21), QString::fromUtf8("🏁").repeated(20)},
        {"a" + QString::fromUtf8("🏁").repeated(20), "a" + QString::fromUtf8("🏁").repeated(19)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(LogNameLabel(c.name), c.label);
    }
}
