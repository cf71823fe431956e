// The export commands with scripted dialogs: preconditions, the forced
// extension and the overwrite question asked only for a replaced extension,
// the remembered folders, silent ends, error boxes and the desktop calls.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include "common/textfile.h"
#include "model/lap_file.h"
#include "model/session.h"
#include "views/export_commands.h"
#include "views/export/nmea.h"
#include "support/fake_prompts.h"
#include "support/fake_shell.h"
#include "support/lap_builder.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

const QString Question = QStringLiteral(" は既に存在します。\r上書きしますか?");

struct ExportCommandsTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    FakePrompts prompts;
    FakeShell shell;
    std::unique_ptr<ExportCommands> cmd;
    QString out;

    void SetUp() override {
        session.folders = FoldersUnder(tmp.path());
        out = tmp.path() + "/out/";
        QDir().mkpath(out);
        cmd = std::make_unique<ExportCommands>(session, prompts, shell);
        cmd->timeZoneBias = [] { return -540; };
    }
    // A lap-list row "name"/"0000" with a working file of n circle samples.
    void AddRow(int n = 200) {
        LapRow row;
        row.Cells[0] = "name";
        row.Cells[1] = "0000";
        session.lapList.Rows << row;
        session.lapList.LapStrLst << TLapStrLstRec{};
        Drive d;
        ASSERT_TRUE(WriteWorkingFile(WorkingFileName(session.folders.TempDir, 0),
                                     CircleLap(d, 80, Turn::Right).mid(0, n)));
    }
    void ShowLap() {
        TLapDtRec lap;
        lap.DtName = "0000";
        lap.Elm = CircleLap(Drive{}, 80, Turn::Right);
        lap.ElmNum = int32_t(lap.Elm.size());
        session.loadedLaps.LapDt << lap;
        session.loadedLaps.LapDtNum = 1;
        session.comparison.DispSlot[0].Active = true;
        session.comparison.DispSlot[0].LapIdx = 0;
    }
};

} // namespace

TEST_F(ExportCommandsTest, ExtensionForcedAndQuestionOnlyWhenReplaced) {
    AddRow();
    struct Case {
        QString typed;          // what the dialog returns
        bool exists;            // a file of the final name is there already
        QList<Answer> answers;  // to the program's question
        QString written;        // file written, empty for none
        int questions;
    };
    const Case cases[] = {
        // The dialog asked itself about a name with the right extension.
        {"a.csv", true, {}, "a.csv", 0},
        {"b.CSV", true, {Answer::Yes}, "b.csv", 1},
        {"c.CSV", true, {Answer::No}, "", 1},
        {"d.txt", false, {}, "d.csv", 0},
        {"e.txt", true, {Answer::Yes}, "e.csv", 1},
        {"f", true, {Answer::No}, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const QString final = out + (c.written.isEmpty() ? QFileInfo(c.typed).baseName() + ".csv" : c.written);
        QFile::remove(final);
        if (c.exists) WriteFile(final, "old");
        prompts = FakePrompts();
        shell = FakeShell();
        prompts.saveResults.push_back(out + c.typed);
        for (Answer a : c.answers) prompts.answers.push_back(a);
        cmd->SpeedButtonCsv2Click(1, true);
        EXPECT_EQ(prompts.count("warnyesno"), c.questions);
        if (c.questions) {
            EXPECT_EQ(prompts.texts("warnyesno")[0], QFileInfo(final).fileName() + Question);
        }
        // The dialog was told to ask itself and to propose the CSV extension.
        EXPECT_TRUE(prompts.lastSpec.confirmOverwrite);
        EXPECT_EQ(prompts.lastSpec.defaultSuffix, "csv");
        if (c.written.isEmpty()) {
            EXPECT_EQ(ReadFile(final), QByteArray("old"));
            EXPECT_TRUE(shell.opened.isEmpty());
        } else {
            EXPECT_TRUE(ReadFile(final).startsWith("秒,"));
            EXPECT_EQ(shell.opened, QStringList{final});
        }
        EXPECT_EQ(prompts.unscripted, 0);
    }
}

TEST_F(ExportCommandsTest, PerLapCsvDialogAndFolders) {
    AddRow();
    EXPECT_EQ(session.folders.ExportDir, session.folders.DocDir);
    // Without the grid's focus or a data number nothing happens.
    cmd->SpeedButtonCsv2Click(1, false);
    cmd->SpeedButtonCsv2Click(2, true);
    EXPECT_TRUE(prompts.calls.empty());

    prompts.saveResults.push_back({});   // cancelled
    cmd->SpeedButtonCsv2Click(1, true);
    EXPECT_EQ(prompts.texts("save"), QStringList{CsvDialogTitle});
    EXPECT_EQ(prompts.lastSpec.fileName, "name_0000.csv");
    EXPECT_EQ(prompts.lastSpec.folder, session.folders.DocDir);
    EXPECT_EQ(prompts.lastSpec.filters, QStringList{"CSV files (*.csv)"});
    EXPECT_EQ(session.folders.ExportDir, session.folders.DocDir);

    prompts.saveResults.push_back(out + "lap.csv");
    cmd->SpeedButtonCsv2Click(1, true);
    EXPECT_EQ(session.folders.ExportDir, out);
    EXPECT_EQ(QFileInfo(out + "lap.csv").size() > 0, true);
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(out + "lap.csv", lines));
    EXPECT_EQ(lines.size(), 201);
    EXPECT_TRUE(ReadFile(out + "lap.csv").endsWith("\r\n"));
    EXPECT_FALSE(session.FileDlgOpen);
}

TEST_F(ExportCommandsTest, ShortOrMissingWorkingFileEndsSilentlyAfterTheDialog) {
    AddRow(4);
    prompts.saveResults.push_back(out + "short.csv");
    prompts.saveResults.push_back(out + "short.nmea");
    cmd->SpeedButtonCsv2Click(1, true);
    cmd->SpeedButtonNMEAClick(1, true);
    EXPECT_EQ(prompts.calls.size(), 2u);
    EXPECT_FALSE(QFile::exists(out + "short.csv"));
    EXPECT_FALSE(QFile::exists(out + "short.nmea"));
    EXPECT_TRUE(shell.opened.isEmpty());
}

TEST_F(ExportCommandsTest, NmeaKeepsItsOwnFolder) {
    AddRow();
    prompts.saveResults.push_back(out + "nmea/lap.txt");
    QDir().mkpath(out + "nmea");
    cmd->SpeedButtonNMEAClick(1, true);
    EXPECT_EQ(prompts.texts("save"), QStringList{NmeaDialogTitle});
    EXPECT_EQ(prompts.lastSpec.fileName, "name_0000.nmea");
    EXPECT_EQ(prompts.lastSpec.filters, QStringList{"NMEAファイル (*.nmea)"});
    EXPECT_EQ(session.folders.NmeaDir, out + "nmea/");
    EXPECT_EQ(session.folders.ExportDir, session.folders.DocDir);
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(out + "nmea/lap.nmea", lines));
    ASSERT_EQ(lines.size(), 200);
    EXPECT_TRUE(lines[0].startsWith("$GPRMC,010000.000,A,"));   // 10:00 at UTC+9
    EXPECT_TRUE(shell.opened.isEmpty() && shell.shown.isEmpty());
}

TEST_F(ExportCommandsTest, KmlNeedsAReferenceLapAndShowsTheFile) {
    cmd->SpeedButtonGoogleEarthClick();
    EXPECT_TRUE(prompts.calls.empty());
    ShowLap();
    bool openDuringDialog = false;
    struct Watch : FakePrompts {
        bool* seen;
        bool* flag;
        QString SaveFile(const FileDialogSpec& d) override {
            *seen = *flag;
            return FakePrompts::SaveFile(d);
        }
    };
    Watch watch;
    watch.seen = &openDuringDialog;
    watch.flag = &session.FileDlgOpen;
    watch.saveResults.push_back(out + "line");
    ExportCommands kml(session, watch, shell);
    kml.SpeedButtonGoogleEarthClick();
    EXPECT_TRUE(openDuringDialog);
    EXPECT_FALSE(session.FileDlgOpen);
    EXPECT_EQ(watch.texts("save"), QStringList{KmlDialogTitle});
    EXPECT_EQ(watch.lastSpec.filters, QStringList{"KLM files (*.kml)"});
    EXPECT_TRUE(watch.lastSpec.fileName.isEmpty());
    EXPECT_EQ(shell.shown, QStringList{out + "line.kml"});
    EXPECT_TRUE(ReadFile(out + "line.kml").contains("\r\nline\r\n</name>"));
    EXPECT_EQ(session.folders.ExportDir, out);
}

// A desktop that cannot open what was written (no xdg-open): the file is
// kept and a message names what could not be opened.
TEST_F(ExportCommandsTest, FileTheDesktopCannotOpenIsNamed) {
    AddRow();
    ShowLap();
    shell.fails = true;
    prompts.saveResults.push_back(out + "lap.csv");
    cmd->SpeedButtonCsv2Click(1, true);
    prompts.saveResults.push_back(out + "line.kml");
    cmd->SpeedButtonGoogleEarthClick();
    EXPECT_TRUE(QFile::exists(out + "lap.csv"));
    EXPECT_TRUE(QFile::exists(out + "line.kml"));
    EXPECT_EQ(prompts.texts("error"), QStringList({"ファイルを開けませんでした。\r" + out + "lap.csv",
                                                   "ファイルを開けませんでした。\r" + tmp.path() + "/out"}));
}

TEST_F(ExportCommandsTest, LapListCsvWritesEveryRow) {
    const QStringList header(LapListHeaders().begin(), LapListHeaders().end());
    cmd->SpeedButtonCsvClick(1, header);   // no rows: nothing
    EXPECT_TRUE(prompts.calls.empty());
    AddRow();
    session.lapList.Rows[0].Cells[13] = "12 (3)";
    prompts.saveResults.push_back(out + "list.CSV");
    prompts.answers.push_back(Answer::Yes);
    cmd->SpeedButtonCsvClick(1, header);
    EXPECT_EQ(prompts.texts("save"), QStringList{LapListCsvDialogTitle});
    EXPECT_FALSE(prompts.lastSpec.confirmOverwrite && prompts.lastSpec.fileName.size());
    EXPECT_EQ(prompts.count("warnyesno"), 0);   // list.csv did not exist
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(out + "list.csv", lines));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(",ドリフト,スコア,セクタ,スコア,")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("name,0000,,"));
    EXPECT_TRUE(lines[1].contains(",12 ,3,"));
}

TEST_F(ExportCommandsTest, PicturesOfTheChosenPane) {
    for (int id = 0; id < 5; ++id) {
        cmd->SetPicturePane(id, {[id] { return QSize(40 + id, 30); },
                                 [id](QPainter& p, const QRect& r) {
                                     p.fillRect(QRect(0, 0, 1, 1), QColor(id * 10, 0, 0));
                                     EXPECT_EQ(r.size(), QSize(40 + id, 30));
                                 }});
    }
    struct Case {
        int popupSrc;
        int pane;
    };
    for (const Case& c : {Case{0, 0}, Case{3, 3}, Case{4, 4}, Case{7, 4}, Case{-1, 4}}) {
        cmd->PopupSrc = c.popupSrc;
        const QImage img = cmd->PictureOfPopupSrc();
        EXPECT_EQ(img.width(), 40 + c.pane) << c.popupSrc;
        EXPECT_EQ(img.pixel(0, 0), qRgb(c.pane * 10, 0, 0));
        EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255));
    }

    cmd->PopupSrc = 1;
    prompts.saveResults.push_back(out + "pic.PNG");
    prompts.answers.push_back(Answer::Yes);
    WriteFile(out + "pic.png", "old");
    cmd->pmJPEGClick();
    EXPECT_EQ(prompts.texts("warnyesno"), QStringList{"pic.png" + Question});
    EXPECT_EQ(prompts.lastSpec.title, PictureDialogTitle);
    EXPECT_EQ(prompts.lastSpec.selectedFilter, "PNG files (*.png)");
    EXPECT_EQ(prompts.lastSpec.filters,
              QStringList({"PNG files (*.png)", "BMP files (*.bmp)", "All files (*)"}));
    EXPECT_EQ(QImage(out + "pic.png").width(), 41);
    EXPECT_EQ(session.folders.ExportDir, out);

    prompts.saveResults.push_back(out + "pic");
    cmd->pmBMPClick();
    EXPECT_EQ(prompts.lastSpec.selectedFilter, "BMP files (*.bmp)");
    EXPECT_EQ(QImage(out + "pic.bmp").width(), 41);
    EXPECT_FALSE(session.FileDlgOpen);
    EXPECT_EQ(prompts.unscripted, 0);
}

TEST_F(ExportCommandsTest, WriteErrorIsShownAndKeepsNothingHalfWritten) {
    AddRow();
    // A folder that does not exist cannot take the file.
    prompts.saveResults.push_back(out + "missing/lap.csv");
    cmd->SpeedButtonCsv2Click(1, true);
    ASSERT_EQ(prompts.count("error"), 1);
    EXPECT_TRUE(prompts.texts("error")[0].startsWith("ファイルを保存できませんでした。"));
    EXPECT_TRUE(shell.opened.isEmpty());
}
