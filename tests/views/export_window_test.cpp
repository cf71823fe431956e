// The exports in the running window: the sample session's log imported,
// its first lap exported as CSV, NMEA and KML from the tool-strip buttons
// with scripted dialogs, and the desktop asked to open or show the files.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include "app/app_services.h"
#include "app/main_window.h"
#include "common/parsing.h"
#include "common/textfile.h"
#include "model/lap_file.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

// Stands in for the desktop's file handler: records what would have opened.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }
};

} // namespace

TEST(ExportWindow, SampleLapExportedFromTheButtons) {
    QTemporaryDir tmp;
    Session session;
    session.folders = FoldersUnder(tmp.path());
    const QString samples = QStringLiteral(VELMARIS_SOURCE_DATA_DIR) + "/";
    QStringList cln;
    ASSERT_TRUE(ReadTextLines(samples + SampleClnFile, cln));
    ASSERT_GE(cln.size(), 5);
    LineChoice line;
    line.CtrlLine = LineEnds{StrToFloatDef0(cln[1]), StrToFloatDef0(cln[2]), StrToFloatDef0(cln[3]),
                             StrToFloatDef0(cln[4])};
    line.CtrlLineSet = true;
    auto dialog = std::make_unique<FakeLineDialog>();
    dialog->scripts.push_back({true, std::nullopt, line});

    UrlRecorder urls;
    QDesktopServices::setUrlHandler("file", &urls, "open");
    AppServices services(session);
    FakePrompts prompts;
    TFormMain w(session, services, &prompts, nullptr, std::move(dialog));
    w.show();
    // The new buttons keep the window within the smallest supported width.
    EXPECT_LE(w.minimumSizeHint().width(), 1280);
    prompts.openResults.push_back({samples + SampleRawFile});
    w.graphTab().SpeedButtonLdLogFile->click();
    ASSERT_GE(session.lapList.Rows.size(), 1);
    ASSERT_EQ(prompts.count("error"), 0);
    const QString dataNo = session.lapList.Rows[0].Cells[1];
    QVector<TLapElmRec> recs;
    ASSERT_EQ(ReadLapFile(FindWorkingFile(session.folders.TempDir, dataNo), recs), LapFileStatus::Ok);

    // The lap list's first row is current and the grid has the focus.
    QTableView* grid = w.dataTab().StringGridLapData;
    w.PageControl1->setCurrentIndex(1);
    QApplication::setActiveWindow(&w);
    grid->setCurrentIndex(grid->model()->index(0, 0));
    grid->setFocus();
    ASSERT_TRUE(grid->hasFocus());

    const QString out = tmp.path() + "/out/";
    QDir().mkpath(out);
    auto button = [&w](const char* name) {
        QToolButton* b = w.findChild<QToolButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    };
    prompts.saveResults.push_back(out + "lap.csv");
    button("SpeedButtonCsv2")->click();
    QStringList csv;
    ASSERT_TRUE(ReadTextLines(out + "lap.csv", csv));
    EXPECT_EQ(csv.size(), recs.size() + 1);
    EXPECT_TRUE(csv[0].startsWith("秒,時間,緯度"));
    EXPECT_EQ(prompts.lastSpec.fileName, session.lapList.Rows[0].Cells[0] + "_" + dataNo + ".csv");

    prompts.saveResults.push_back(out + "lap");
    button("SpeedButtonNMEA")->click();
    QStringList nmea;
    ASSERT_TRUE(ReadTextLines(out + "lap.nmea", nmea));
    EXPECT_EQ(nmea.size(), recs.size());
    EXPECT_TRUE(nmea[0].startsWith("$GPRMC,"));

    // The KML needs the lap shown.
    w.StringGridLapDataDblClick(1);
    ASSERT_EQ(session.loadedLaps.LapDtNum, 1);
    prompts.saveResults.push_back(out + "line.kml");
    button("SpeedButtonGoogleEarth")->click();
    const QByteArray kml = ReadFile(out + "line.kml");
    EXPECT_EQ(kml.count("<Folder>"), 1);
    EXPECT_EQ(kml.count("\r\n") , 26 + recs.size());

    EXPECT_EQ(urls.opened, QStringList({out + "lap.csv", QDir::cleanPath(out)}));
    EXPECT_EQ(session.folders.ExportDir, out);
    EXPECT_EQ(session.folders.NmeaDir, out);
    EXPECT_EQ(prompts.count("error"), 0);
    EXPECT_EQ(prompts.unscripted, 0);

    // The lap list's and the sector table's copy menus are there.
    QStringList items;
    for (QMenu* m : {w.dataTab().PopupMenu2, w.dataTab().PopupMenu3})
        for (QAction* a : m->actions()) items << a->text();
    EXPECT_EQ(items, QStringList({"全データをクリップボードへ(&A)", "表示対象データをクリップボードへ(&S)",
                                  "データをクリップボードへ(&A)"}));
    QDesktopServices::unsetUrlHandler("file");
}

#include "export_window_test.moc"
