#include <cmath>
#include <vector>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "common/parsing.h"
#include "import/course_commands.h"
#include "import/select_circuit_dialog.h"
#include "support/fake_prompts.h"
#include "support/lap_builder.h"
#include "support/recording_services.h"
#include "support/test_folders.h"

namespace vel {
namespace {

// Prompts that also note whether the dialog flag was up at each file dialog.
class FlagPrompts : public test::FakePrompts {
public:
    explicit FlagPrompts(const bool& flag) : flag_(flag) {}
    std::vector<bool> flagAtDialog;
    QStringList OpenFiles(const FileDialogSpec& ask) override {
        flagAtDialog.push_back(flag_);
        return FakePrompts::OpenFiles(ask);
    }
    QString SaveFile(const FileDialogSpec& ask) override {
        flagAtDialog.push_back(flag_);
        return FakePrompts::SaveFile(ask);
    }
private:
    const bool& flag_;
};

QByteArray PthText(long double ido, long double kdo) {
    return ("<path>\r\n" + FormatFixed(kdo, 6) + "," + FormatFixed(ido, 6) + "\r\n</path>\r\n").toLatin1();
}

class CourseCommandsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Session session;
    CoursePaths paths;
    bool fileDlgOpen = false;
    FlagPrompts prompts{fileDlgOpen};
    test::RecordingServices rec;
    // The scripted selection dialog.
    std::vector<SelCircuitLists> shown;
    std::vector<bool> flagAtChooser;
    SelCircuitChoice choice;
    CourseCommands cmd{session, paths, prompts, rec.graphs, fileDlgOpen,
                       [this](const SelCircuitLists& lists) {
                           shown.push_back(lists);
                           flagAtChooser.push_back(fileDlgOpen);
                           return choice;
                       }};

    QString circuitDir;   // the user folder's "Circuit/", wherever CircuitDir points

    void SetUp() override {
        session.folders = test::FoldersUnder(dir.path());
        circuitDir = session.folders.CircuitDir;
        QDir().mkpath(circuitDir);
    }
    int Repaints() const { return int(rec.log.calls.count("PaintBoxZoomPaint")); }
    QString Circuit(const QString& rel) const { return circuitDir + rel; }
    // A course map northM metres north of the test laps' start.
    QString WriteMap(const QString& rel, long double northM) {
        const test::Drive d;
        test::WriteFile(Circuit(rel), PthText(d.ido + northM / EarthR * 180.0L / Pi, d.kdo));
        return Circuit(rel);
    }
    void LoadLaps(int count, int samples = 40) {
        session.loadedLaps = LoadedLaps();
        test::Drive d;
        for (int k = 0; k < count; ++k) {
            TLapDtRec lap;
            lap.Elm = test::StraightRun(d, 270, samples);
            lap.ElmNum = static_cast<int32_t>(lap.Elm.size());
            session.loadedLaps.LapDt.append(lap);
            d.ido += 0.001L;
        }
        session.loadedLaps.LapDtNum = count;
    }
    // A loaded map of one point, to see whether a command replaced it.
    void SetMarkerMap() { paths = ParseCoursePath({"<path>", "1,2", "</path>"}); }
    bool MarkerMapKept() const {
        return paths.CoursePathNum == 1 && paths.CoursePath[0].ElmNum == 1 && paths.CoursePath[0].Elm[0].Kdo == 1;
    }
};

TEST_F(CourseCommandsTest, LoadReadsTheChosenFileAsPth) {
    struct Case {
        const char* name;
        QStringList chosen;          // the open dialog's answer
        QString existing;            // file written before
        bool loads;
    };
    const std::vector<Case> cases = {
        {"cancel", {}, "sub/a.pth", false},
        {"as named", {"sub/a.pth"}, "sub/a.pth", true},
        {"capital extension opens as named", {"sub/A.PTH"}, "sub/A.PTH", true},
        {"other extension replaced", {"sub/a.txt"}, "sub/a.pth", true},
        {"no extension", {"sub/a"}, "sub/a.pth", true},
        {"replaced name missing", {"sub/a.txt"}, "sub/a.txt", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(circuitDir).removeRecursively();
        WriteMap(c.existing, 0);
        session.folders.CircuitDir = dir.path() + "/start/";
        SetMarkerMap();
        rec.log.calls.clear();
        prompts.flagAtDialog.clear();
        prompts.openResults = {};
        if (!c.chosen.isEmpty()) prompts.openResults.push_back({Circuit(c.chosen.first())});

        cmd.SpeedButtonPathClick();

        EXPECT_EQ(prompts.lastSpec.title, "コース図を開く");
        EXPECT_EQ(prompts.lastSpec.folder, dir.path() + "/start/");
        EXPECT_EQ(prompts.lastSpec.filters, QStringList({"Circuit files (*.pth)"}));
        EXPECT_EQ(prompts.flagAtDialog, std::vector<bool>({true}));
        EXPECT_FALSE(fileDlgOpen);
        EXPECT_EQ(!MarkerMapKept(), c.loads);
        EXPECT_EQ(Repaints(), c.loads ? 1 : 0);
        EXPECT_EQ(session.folders.CircuitDir, c.loads ? Circuit("sub/") : dir.path() + "/start/");
    }
}

TEST_F(CourseCommandsTest, LoadErrorIsShownAndKeepsTheMap) {
    // Past the size any text file may have: the read fails.
    QFile big(Circuit("huge.pth"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(64LL * 1024 * 1024 + 1));
    big.close();
    SetMarkerMap();
    prompts.openResults.push_back({Circuit("huge.pth")});
    cmd.SpeedButtonPathClick();
    EXPECT_EQ(prompts.count("error"), 1);
    EXPECT_TRUE(MarkerMapKept());
    EXPECT_EQ(Repaints(), 0);
}

TEST_F(CourseCommandsTest, SaveForcesPthAndAsksBeforeOverwriting) {
    cmd.SpeedButtonPathSaveClick();   // no map: no dialog
    EXPECT_TRUE(prompts.calls.empty());

    paths = ParseCoursePath({"<path>", "138.5,35.25", "</path>"});
    const QByteArray want = "<path>\r\n138.500000,35.250000\r\n</path>\r\n";
    const QString sub = dir.path() + "/elsewhere/";
    QDir().mkpath(sub);

    // A text extension is replaced.
    prompts.saveResults.push_back(sub + "map.txt");
    cmd.SpeedButtonPathSaveClick();
    EXPECT_EQ(prompts.lastSpec.title, "コース図に名前をつけて保存");
    EXPECT_EQ(test::ReadFile(sub + "map.pth"), want);
    EXPECT_FALSE(QFile::exists(sub + "map.txt"));
    EXPECT_EQ(session.folders.CircuitDir, sub);
    EXPECT_EQ(prompts.count("warnyesno"), 0);

    // Existing file: No keeps it, Yes overwrites; the folder is taken either way.
    test::WriteFile(sub + "old.pth", "keep");
    session.folders.CircuitDir = dir.path() + "/";
    prompts.saveResults.push_back(sub + "old.pth");
    prompts.answers.push_back(Answer::No);
    cmd.SpeedButtonPathSaveClick();
    EXPECT_EQ(test::ReadFile(sub + "old.pth"), "keep");
    EXPECT_EQ(prompts.texts("warnyesno").last(), OverwriteQuestion("old.pth"));
    EXPECT_EQ(session.folders.CircuitDir, sub);

    prompts.saveResults.push_back(sub + "old");
    prompts.answers.push_back(Answer::Yes);
    cmd.SpeedButtonPathSaveClick();
    EXPECT_EQ(test::ReadFile(sub + "old.pth"), want);

    // Cancel writes nothing; the flag was up for each dialog and is down now.
    cmd.SpeedButtonPathSaveClick();
    EXPECT_EQ(prompts.flagAtDialog, std::vector<bool>(4, true));
    EXPECT_FALSE(fileDlgOpen);
    EXPECT_EQ(prompts.unscripted, 1);
    EXPECT_EQ(Repaints(), 0);
}

TEST_F(CourseCommandsTest, SaveErrorIsShown) {
    paths = ParseCoursePath({"<path>", "138.5,35.25", "</path>"});
    prompts.saveResults.push_back(dir.path() + "/no/such/folder/x.pth");
    cmd.SpeedButtonPathSaveClick();
    EXPECT_EQ(prompts.count("error"), 1);
}

TEST_F(CourseCommandsTest, MakeSavesBothLapsAsClosedBlocks) {
    LoadLaps(1);
    cmd.SpeedButtonMkPthClick();   // one lap: nothing asked
    EXPECT_TRUE(prompts.calls.empty());

    LoadLaps(2, 25);
    SetMarkerMap();
    prompts.answers.push_back(Answer::No);
    cmd.SpeedButtonMkPthClick();
    EXPECT_EQ(prompts.texts("yesno"), QStringList({"走行「赤」と「青」をコース図に変換し保存しますか？"}));
    EXPECT_EQ(prompts.count("save"), 0);

    prompts.answers.push_back(Answer::Yes);
    prompts.saveResults.push_back(Circuit("made.txt"));
    cmd.SpeedButtonMkPthClick();
    EXPECT_EQ(prompts.texts("save"), QStringList({"走行「赤」と「青」をコース図として保存"}));
    EXPECT_EQ(prompts.flagAtDialog, std::vector<bool>({true}));
    EXPECT_FALSE(fileDlgOpen);
    EXPECT_TRUE(MarkerMapKept());   // the map in memory stays
    CoursePaths made;
    ASSERT_TRUE(ReadCoursePathFile(Circuit("made.pth"), made));
    ASSERT_EQ(made.CoursePathNum, 2);
    for (int k = 0; k < 2; ++k) {
        const TPathRec& r = made.CoursePath[k];
        ASSERT_EQ(r.ElmNum, 26);
        EXPECT_EQ(r.Elm.first().Ido, r.Elm.last().Ido);
        EXPECT_EQ(r.Elm.first().Kdo, r.Elm.last().Kdo);
        EXPECT_NEAR(double(r.Elm[0].Ido), double(session.loadedLaps.LapDt[k].Elm[0].Ido), 5e-7);
    }

    // Laps without samples: nothing to make, nothing asked.
    const int asked = prompts.count("yesno");
    session.loadedLaps.LapDt[0].Elm.clear();
    session.loadedLaps.LapDt[0].ElmNum = 0;
    session.loadedLaps.LapDt[1].Elm.clear();
    session.loadedLaps.LapDt[1].ElmNum = 0;
    cmd.SpeedButtonMkPthClick();
    EXPECT_EQ(prompts.count("yesno"), asked);
}

TEST_F(CourseCommandsTest, MovesAndClearRepaintOnlyWithAMap) {
    cmd.SpeedButtonNClick();
    cmd.SpeedButtonEClick();
    cmd.SpeedButtonClrPthClick();
    EXPECT_EQ(Repaints(), 0);

    paths = ParseCoursePath({"<path>", "138.5,35.25", "138.6,35.3", "</path>"});
    const CoursePaths start = paths;
    for (int i = 0; i < 4; ++i) cmd.SpeedButtonNClick();
    EXPECT_EQ(Repaints(), 4);
    for (int i = 0; i < 2; ++i) {
        const TPathElmRec& a = start.CoursePath[0].Elm[i];
        const TPathElmRec& b = paths.CoursePath[0].Elm[i];
        EXPECT_NEAR(double(DistM(a.Ido, a.Kdo, b.Ido, b.Kdo)), 2.0, 1e-9);
    }

    // East and west take the cursor latitude from the comparison state.
    session.comparison.CurIdo = 60;
    const long double before = paths.CoursePath[0].Elm[0].Kdo;
    cmd.SpeedButtonEClick();
    EXPECT_NEAR(double(paths.CoursePath[0].Elm[0].Kdo - before), double(1.0L / (EarthR * Pi) * 180.0L), 1e-15);
    cmd.SpeedButtonWClick();
    cmd.SpeedButtonSClick();
    EXPECT_EQ(Repaints(), 7);

    session.comparison.CurIdo = 90;   // no east-west scale at a pole
    cmd.SpeedButtonWClick();
    EXPECT_EQ(Repaints(), 7);

    cmd.SpeedButtonClrPthClick();
    EXPECT_EQ(paths.CoursePathNum, 0);
    EXPECT_EQ(Repaints(), 8);
}

TEST_F(CourseCommandsTest, SearchWithoutCandidateOrLapTellsOrDoesNothing) {
    cmd.SpeedButtonSelCircuitClick();   // no lap
    LoadLaps(1, 0);
    cmd.SpeedButtonSelCircuitClick();   // a lap without samples
    EXPECT_TRUE(prompts.calls.empty());

    WriteMap("far.pth", 5001);
    BuildCatalogue(session.catalogue, session.folders);
    LoadLaps(1);
    cmd.SpeedButtonSelCircuitClick();
    EXPECT_EQ(prompts.texts("inform"), QStringList({"コース図、コントロールラインが\r見つかりません。"}));
    EXPECT_EQ(Repaints(), 0);
}

TEST_F(CourseCommandsTest, SearchLoadsASingleCandidateAndRepaintsEvenWhenItIsGone) {
    const QString map = WriteMap("sub/only.pth", 4999);
    BuildCatalogue(session.catalogue, session.folders);
    LoadLaps(1);
    session.folders.CircuitDir = dir.path() + "/";
    cmd.SpeedButtonSelCircuitClick();
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(paths.CoursePathNum, 1);
    EXPECT_EQ(session.folders.CircuitDir, Circuit("sub/"));
    EXPECT_EQ(Repaints(), 1);

    SetMarkerMap();
    ASSERT_TRUE(QFile::remove(map));
    session.folders.CircuitDir = dir.path() + "/";
    cmd.SpeedButtonSelCircuitClick();
    EXPECT_TRUE(MarkerMapKept());
    EXPECT_EQ(session.folders.CircuitDir, dir.path() + "/");
    EXPECT_EQ(Repaints(), 2);
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(CourseCommandsTest, SearchOffersSeveralCandidatesNearestFirst) {
    WriteMap("b_far.pth", 3000);
    WriteMap("a_near.pth", 100);
    WriteMap("c_out.pth", 6000);
    BuildCatalogue(session.catalogue, session.folders);
    LoadLaps(1);

    struct Case {
        const char* name;
        SelCircuitChoice choice;
        const char* loaded;   // nullptr: the map stays
    };
    const std::vector<Case> cases = {
        {"cancel", {false, 1, -1, -1}, nullptr},
        {"none", {true, -1, -1, -1}, nullptr},
        {"second", {true, 1, -1, -1}, "b_far"},
        {"first", {true, 0, -1, -1}, "a_near"},
        {"beyond the list", {true, 2, -1, -1}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        flagAtChooser.clear();
        rec.log.calls.clear();
        SetMarkerMap();
        choice = c.choice;
        cmd.SpeedButtonSelCircuitClick();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].pth, QStringList({"a_near", "b_far"}));
        EXPECT_TRUE(shown[0].usePth);
        EXPECT_FALSE(shown[0].useCln);
        EXPECT_FALSE(shown[0].useSci);
        EXPECT_EQ(flagAtChooser, std::vector<bool>({true}));
        EXPECT_FALSE(fileDlgOpen);
        if (c.loaded) {
            EXPECT_FALSE(MarkerMapKept());
            EXPECT_EQ(Repaints(), 1);
            const long double north = QString(c.loaded) == "a_near" ? 100 : 3000;
            EXPECT_NEAR(double(paths.CoursePath[0].Elm[0].Ido),
                        double(test::Drive().ido + north / EarthR * 180.0L / Pi), 1e-6);
        } else {
            EXPECT_TRUE(MarkerMapKept());
            EXPECT_EQ(Repaints(), 0);
        }
    }
}

TEST(SelCircuitDlg, ListsEndInNoneAndUnusedListsAreDisabled) {
    TSelCircuitDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "サーキット選択");
    SelCircuitLists lists;
    lists.pth = {"a_near", "b_far"};
    lists.usePth = true;
    dlg.SetLists(lists);

    ASSERT_EQ(dlg.ListBoxPth->count(), 3);
    EXPECT_EQ(dlg.ListBoxPth->item(0)->text(), "a_near");
    EXPECT_EQ(dlg.ListBoxPth->item(2)->text(), "-- NONE --");
    EXPECT_EQ(dlg.ListBoxPth->currentRow(), 0);
    EXPECT_TRUE(dlg.ListBoxPth->isEnabled());
    for (const QListWidget* l : {dlg.ListBoxCln, dlg.ListBoxSect}) {
        ASSERT_EQ(l->count(), 1);
        EXPECT_EQ(l->item(0)->text(), "-- NONE --");
        EXPECT_FALSE(l->isEnabled());
    }

    SelCircuitChoice c = dlg.Choice(true);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.pth, 0);
    EXPECT_EQ(c.cln, -1);
    EXPECT_EQ(c.sci, -1);
    dlg.ListBoxPth->setCurrentRow(1);
    EXPECT_EQ(dlg.Choice(true).pth, 1);
    dlg.ListBoxPth->setCurrentRow(2);
    EXPECT_EQ(dlg.Choice(true).pth, -1);
    dlg.ListBoxPth->setCurrentRow(1);
    EXPECT_EQ(dlg.Choice(false).pth, -1);
}

} // namespace
} // namespace vel
