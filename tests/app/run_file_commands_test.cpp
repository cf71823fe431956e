#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QToolButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include "app/app_services.h"
#include "app/main_window.h"
#include "app/run_file_commands.h"
#include "import/bluetooth_records.h"
#include "model/lap_file.h"
#include "support/bluetooth_builder.h"
#include "support/fake_prompts.h"
#include "support/focus.h"
#include "support/lap_builder.h"
#include "support/motec_builder.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

using namespace vel;

TEST(RunFileDispatch, LoadAndDropByExtension) {
    using K = RunFileKind;
    struct Case { const char* name; K load; K drop; };
    const Case cases[] = {
        {"a.dtb", K::Dtb, K::Dtb},     {"a.DTB", K::Dtb, K::Dtb},     {"a.csv", K::Motec, K::Skip},
        {"a.CSV", K::Motec, K::Skip},  {"a.csvv", K::LapCsv, K::Skip}, {"a.CSVV", K::LapCsv, K::Skip},
        {"a.bon", K::Bon, K::Bon},     {"a.Bon", K::Bon, K::Bon},     {"run.BONZ", K::BonZ, K::Skip},
        {"x.BOND", K::BonD, K::BonD},  {"a.txt", K::Skip, K::Skip},   {"noext", K::Skip, K::Skip},
        {"dir.dtb/file", K::Skip, K::Skip}, {"a.dtb.bak", K::Skip, K::Skip},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadDispatch(QString("/x/") + c.name), c.load);
        EXPECT_EQ(DropDispatch(QString("/x/") + c.name), c.drop);
    }
}

TEST(RunFileNames, SavedRunName) {
    struct Case { const char* name; const char* num; const char* time; const char* file; };
    const Case cases[] = {
        {"lap", "0003", "1:05.123", "lap_0003_1_05_123.dtb"},
        {"run", "0010", "1:02:03.456", "run_0010_1_02_03_456.dtb"},
        {"a.b", "0000", "", "a_b_0000_.dtb"},
    };
    for (const Case& c : cases) {
        LapRow r;
        r.Cells[0] = c.name;
        r.Cells[1] = c.num;
        r.Cells[4] = c.time;
        EXPECT_EQ(SavedRunName(r), c.file);
    }
}

namespace {

struct RunCommandsTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    test::RecordingServices rec;
    test::FakePrompts prompts;
    std::unique_ptr<RunFileCommands> cmd;
    QString src;

    void SetUp() override {
        session.folders = test::FoldersUnder(tmp.path());
        QDir().mkpath(session.folders.TempDir);
        QDir().mkpath(session.folders.DataDir);
        src = tmp.path() + "/src/";
        QDir().mkpath(src);
        cmd = std::make_unique<RunFileCommands>(session, prompts, rec.ranking);
    }
    QString MakeDtb(const QString& name, int samples = 50) {
        test::Drive d;
        const QString path = src + name;
        EXPECT_TRUE(test::WriteWorkingFile(path, test::StraightRun(d, 270, samples)));
        return path;
    }
    QString MakeBon(const QString& name) {
        const QString path = src + name;
        test::StraightRunSpec dlg;
        EXPECT_TRUE(test::WriteBtLog(path, BtKind::Bon, test::StraightRun(dlg, BtKind::Bon)));
        return path;
    }
    const LapList& list() const { return session.lapList; }
};

} // namespace

TEST_F(RunCommandsTest, LoadButtonDispatchesEachChosenFileThenRefreshes) {
    const QString a = MakeDtb("a.DTB");
    const QString b = MakeBon("b.bon");
    const QString c = MakeDtb("c.txt");   // unknown extension: skipped
    prompts.openResults.push_back({a, c, b});
    const QString startFolder = session.folders.DataDir;
    cmd->SpeedButtonLoadClick();
    EXPECT_EQ(prompts.lastSpec.folder, startFolder);
    ASSERT_EQ(list().LapStrLstNum(), 2);
    EXPECT_EQ(list().Rows[0].Cells[0], "a");
    EXPECT_EQ(list().Rows[0].Cells[1], "0000");
    EXPECT_EQ(list().Rows[1].Cells[0], "b");
    EXPECT_EQ(list().Rows[1].Cells[7], "b");
    EXPECT_EQ(session.folders.DataDir, src);
    EXPECT_EQ(rec.log.calls, QStringList({"SetBestLapRank", "SetSectTmList", "SetDriftAngleList"}));
    // Each run's samples go to the ranking with the file they were written to.
    EXPECT_EQ(rec.ranking.written, QStringList({WorkingFileName(session.folders.TempDir, 0),
                                                WorkingFileName(session.folders.TempDir, 1)}));

    // A cancelled dialog changes nothing, not even the remembered folder.
    rec.log.calls.clear();
    cmd->SpeedButtonLoadClick();
    EXPECT_EQ(list().LapStrLstNum(), 2);
    EXPECT_TRUE(rec.log.calls.isEmpty());
    EXPECT_EQ(prompts.lastSpec.folder, src);
}

TEST_F(RunCommandsTest, LoadErrorsAreShownAndTheBatchGoesOn) {
    const QString empty = src + "empty.dtb";
    test::WriteFile(empty, "");
    const QString good = MakeDtb("good.dtb");
    prompts.openResults.push_back({empty, good});
    cmd->SpeedButtonLoadClick();
    EXPECT_EQ(prompts.count("error"), 1);
    ASSERT_EQ(list().LapStrLstNum(), 1);
    EXPECT_EQ(list().Rows[0].Cells[0], "good");
}

TEST_F(RunCommandsTest, DropsOnlyOnTheDataTab) {
    const QString a = MakeDtb("a.dtb");
    const QString z = src + "run.BONZ";
    QFile::copy(MakeBon("tmp.bon"), z);
    EXPECT_EQ(cmd->DropFiles({a}, false), 0);
    EXPECT_EQ(list().LapStrLstNum(), 0);
    EXPECT_TRUE(rec.log.calls.isEmpty());

    // A ".bond" alone adds no row but still refreshes.
    test::WriteFile(src + "x.BOND", "whatever");
    EXPECT_EQ(cmd->DropFiles({src + "x.BOND"}, true), 1);
    EXPECT_EQ(list().LapStrLstNum(), 0);
    EXPECT_EQ(rec.log.calls.size(), 3);

    EXPECT_EQ(cmd->DropFiles({z, a}, true), 1);
    ASSERT_EQ(list().LapStrLstNum(), 1);
    EXPECT_EQ(list().Rows[0].Cells[0], "a");
}

TEST_F(RunCommandsTest, SaveSelectedRunAsksBeforeOverwriteAndCopiesBytes) {
    const QString a = MakeDtb("lap.dtb", 100);
    ASSERT_TRUE(cmd->DropFiles({a}, true));
    const QString out = tmp.path() + "/out/";
    QDir().mkpath(out);

    // Nothing without a current row or without the focus.
    cmd->SpeedButtonSvRunClick(0, true, false);
    cmd->SpeedButtonSvRunClick(1, false, false);
    EXPECT_TRUE(prompts.calls.empty());

    // x.txt becomes x.dtb; an existing x.dtb is asked about, "No" writes nothing.
    test::WriteFile(out + "x.dtb", "old");
    prompts.saveResults.push_back(out + "x.txt");
    prompts.answers.push_back(Answer::No);
    cmd->SpeedButtonSvRunClick(1, true, false);
    EXPECT_EQ(prompts.texts("warnyesno"), QStringList({"x.dtb は既に存在します。\r上書きしますか?"}));
    EXPECT_EQ(test::ReadFile(out + "x.dtb"), QByteArray("old"));
    EXPECT_TRUE(prompts.lastSpec.fileName.startsWith("lap_0000_"));

    prompts.saveResults.push_back(out + "x.dtb");
    prompts.answers.push_back(Answer::Yes);
    cmd->SpeedButtonSvRunClick(1, true, false);
    EXPECT_EQ(test::ReadFile(out + "x.dtb"), test::ReadFile(a));
    EXPECT_EQ(session.folders.DataDir, out);

    // The saved run loads back to the same row figures.
    ASSERT_TRUE(cmd->DropFiles({out + "x.dtb"}, true));
    const auto& rows = list().Rows;
    for (int c : {2, 3, 4, 5, 6}) EXPECT_EQ(rows[1].Cells[c], rows[0].Cells[c]) << c;
    EXPECT_EQ(rows[1].Cells[0], "x");
}

TEST_F(RunCommandsTest, MotecRowsBlockSaving) {
    ASSERT_TRUE(cmd->DropFiles({MakeDtb("a.dtb")}, true));
    session.lapList.Rows[0].Cells[7] = "/data/session.CSV";
    cmd->SpeedButtonSvRunClick(1, true, false);
    cmd->SpeedButtonSvAllRunClick();
    EXPECT_EQ(prompts.texts("inform"), QStringList({CsvRowSaveRefused, CsvRowSaveAllRefused}));
    EXPECT_EQ(prompts.count("save"), 0);
    // With the status list shown the single save goes on to its dialog.
    cmd->SpeedButtonSvRunClick(1, true, true);
    EXPECT_EQ(prompts.count("save"), 1);
}

namespace {
// A MoTeC export with positions: 40 samples over 300 m.
void WriteMotec(const QString& path) {
    test::MotecFile f;
    f.channels = {"Time", "Distance", "Ground Speed", "GPS Latitude", "GPS Longitude", "G Force Lat", "G Force Long"};
    f.data = test::MotecData(f.channels, test::MotecLap(40, 10, 80, 300));
    ASSERT_TRUE(test::WriteMotecCsv(path, f));
}
} // namespace

TEST_F(RunCommandsTest, MotecButtonTakesCsvInAnyCaseOnlyAndRefreshesNothing) {
    int rowsChanged = 0;
    cmd->onRowsChanged = [&] { ++rowsChanged; };
    struct Case { const char* name; bool added; };
    const Case cases[] = {{"lap.CSV", true}, {"lap2.csv", true}, {"lap.Csv.txt", false}, {"lap.csvv", false}};
    int rows = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString f = src + c.name;
        WriteMotec(f);
        prompts.openResults.push_back({f});
        cmd->SpeedButtonMotecClick();
        EXPECT_EQ(prompts.lastSpec.title, "MoTeCファイル(.csv)を開く");
        if (c.added) ++rows;
        ASSERT_EQ(list().LapStrLstNum(), rows);
        if (c.added) {
            EXPECT_EQ(list().Rows.last().Cells[7], f);
            EXPECT_EQ(rec.ranking.written.value(rows - 1), WorkingFileName(session.folders.TempDir, rows - 1));
        }
        EXPECT_EQ(session.folders.RunMotecDir, src);
    }
    // The first dialog starts in the documents folder, later ones where the
    // last one ended; the run-file folder stays.
    EXPECT_EQ(session.folders.DataDir, test::FoldersUnder(tmp.path()).DataDir);
    // A missing file adds nothing.
    prompts.openResults.push_back({src + "gone.csv"});
    cmd->SpeedButtonMotecClick();
    EXPECT_EQ(list().LapStrLstNum(), rows);
    // No ranking or column refresh: the next command that refreshes does it.
    EXPECT_TRUE(rec.log.calls.isEmpty());
    EXPECT_EQ(rowsChanged, 5);
    EXPECT_EQ(prompts.count("error"), 0);
}

TEST_F(RunCommandsTest, SaveAllCopiesEveryRowSkippingMissingWorkingFiles) {
    cmd->SpeedButtonSvAllRunClick();   // empty list: nothing at all
    EXPECT_TRUE(prompts.calls.empty());
    ASSERT_EQ(cmd->DropFiles({MakeDtb("a.dtb"), MakeDtb("b.dtb", 30), MakeDtb("c.dtb", 20)}, true), 3);
    QFile::remove(session.folders.TempDir + "temp0001.dtb");
    const QString out = tmp.path() + "/all/";
    QDir().mkpath(out);
    test::WriteFile(out + SavedRunName(list().Rows[2]), "old");
    prompts.saveResults.push_back(out + "whatever");
    cmd->SpeedButtonSvAllRunClick();
    EXPECT_EQ(prompts.lastSpec.fileName, "a");
    EXPECT_EQ(test::ReadFile(out + SavedRunName(list().Rows[0])), test::ReadFile(src + "a.dtb"));
    EXPECT_FALSE(QFile::exists(out + SavedRunName(list().Rows[1])));
    EXPECT_EQ(test::ReadFile(out + SavedRunName(list().Rows[2])), test::ReadFile(src + "c.dtb"));
    EXPECT_TRUE(prompts.texts("warnyesno").isEmpty());
}

namespace {
// The drop handler as the window system calls it.
struct DropWindow : TFormMain {
    using TFormMain::TFormMain;
    using TFormMain::dropEvent;
};
} // namespace

TEST(MainWindowRunFiles, LoadButtonAndDropAddRowsToTheGrid) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    test::RecordingServices rec;
    test::FakePrompts prompts;
    AppServices app(session, rec.overrides());
    DropWindow w(session, app, &prompts);
    const QString a = tmp.path() + "/a.dtb";
    ASSERT_TRUE(test::WriteWorkingFile(a, test::StraightRun(test::Drive{}, 180, 40)));

    prompts.openResults.push_back({a});
    w.dataTab().SpeedButtonLoad->click();
    ASSERT_EQ(w.dataTab().StringGridLapData->model()->rowCount(), 1);
    EXPECT_EQ(w.dataTab().StringGridLapData->model()->index(0, 1).data().toString(), "0000");

    auto drop = [&](int tab) {
        w.PageControl1->setCurrentIndex(tab);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(a)});
        QDropEvent ev(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        w.dropEvent(&ev);
    };
    drop(0);   // "グラフ": ignored
    EXPECT_EQ(w.dataTab().StringGridLapData->model()->rowCount(), 1);
    drop(1);
    ASSERT_EQ(w.dataTab().StringGridLapData->model()->rowCount(), 2);
    EXPECT_EQ(w.dataTab().StringGridLapData->model()->index(1, 1).data().toString(), "0001");
    EXPECT_EQ(w.dataTab().StringGridLapData->model()->index(1, 0).data().toString(), "a");
}

// The single save's refusal of a MoTeC row depends on the logger tab's status
// list being switched on, not on it being on screen: the button sits on the
// data tab, so the logger tab is never in front when it is pressed.
TEST(MainWindowRunFiles, MotecButtonThenSingleSaveFollowsTheStatusListSwitch) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    test::RecordingServices rec;
    test::FakePrompts prompts;
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    const QString csv = tmp.path() + "/lap.CSV";
    WriteMotec(csv);

    prompts.openResults.push_back({csv});
    w.dataTab().SpeedButtonMotec->click();
    ASSERT_EQ(w.dataTab().StringGridLapData->model()->rowCount(), 1);
    EXPECT_EQ(prompts.lastSpec.folder, session.folders.DocDir);

    w.PageControl1->setCurrentIndex(1);
    QTableView* grid = w.dataTab().StringGridLapData;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    ASSERT_TRUE(test::GiveFocus(grid));

    w.dataTab().SpeedButtonSvRun->click();
    EXPECT_EQ(prompts.texts("inform"), QStringList({CsvRowSaveRefused}));
    EXPECT_EQ(prompts.count("save"), 0);

    w.loggerTab().PanelViewOnOffDblClick();   // status list on, logger tab behind
    ASSERT_EQ(w.PageControl1->currentIndex(), 1);
    ASSERT_TRUE(test::GiveFocus(grid));
    w.dataTab().SpeedButtonSvRun->click();
    EXPECT_EQ(prompts.count("inform"), 1);
    EXPECT_EQ(prompts.count("save"), 1);

    // Without the lap list's focus nothing happens.
    ASSERT_TRUE(test::GiveFocus(w.dataTab().StringGridSectData));
    w.dataTab().SpeedButtonSvRun->click();
    EXPECT_EQ(prompts.count("save"), 1);
}
