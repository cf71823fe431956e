// The exports in the running window: the sample session's log imported,
// its first lap exported as CSV, NMEA and KML from the tool-strip buttons
// with scripted dialogs, and the desktop asked to open or show the files.
#include <gtest/gtest.h>
#include <functional>
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include "app/app_services.h"
#include "app/main_window.h"
#include "common/parsing.h"
#include "common/textfile.h"
#include "model/colors.h"
#include "model/course_path.h"
#include "model/lap_file.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/stub_opener.h"
#include "support/test_env.h"
#include "support/test_folders.h"
#include "views/course_view.h"
#include "views/drift_view.h"
#include "views/export/picture.h"
#include "views/g_view.h"
#include "views/graph_tab.h"
#include "views/speed_graph.h"
#include "views/speed_graph_pane.h"
#include "views/zoom_map.h"

using namespace vel;
using namespace vel::test;

namespace {

// The save dialog runs something while it is up (the user moving the cursor
// behind it) before it answers.
class PromptsWithWork : public FakePrompts {
public:
    std::function<void()> whileOpen;
    QString SaveFile(const FileDialogSpec& dlg) override {
        if (whileOpen) whileOpen();
        return FakePrompts::SaveFile(dlg);
    }
};

// Pixels of colour c in the rectangle (clipped to the image).
int CountOf(const QImage& img, QRect r, QColor c) {
    r &= img.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += img.pixelColor(x, y) == c;
    return n;
}

// Pixels that are not white in the rectangle.
int InkIn(const QImage& img, QRect r) {
    r &= img.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += img.pixel(x, y) != qRgb(255, 255, 255);
    return n;
}

// Pixels of any of the display slots' colours in the rectangle.
int SlotInkIn(const QImage& img, const QRect& r) {
    int n = 0;
    for (uint32_t c : SlotColor) n += CountOf(img, r, ColorOf(c));
    return n;
}

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

    // A desktop without an application for either: xdg-open says 3.
    StubOpener opener(3);
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

    // The CSV was handed to the desktop, the KML's folder shown; each
    // failure is told once the opener has ended.
    while (prompts.count("error") < 2) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(opener.arguments(), QStringList({QUrl::fromLocalFile(out + "lap.csv").toString(QUrl::FullyEncoded),
                                               QUrl::fromLocalFile(QDir::cleanPath(out)).toString(QUrl::FullyEncoded)}));
    EXPECT_EQ(prompts.texts("error"), QStringList({"ファイルを開けませんでした。\r" + out + "lap.csv",
                                                   "ファイルを開けませんでした。\r" + QDir::cleanPath(out)}));
    EXPECT_EQ(session.folders.ExportDir, out);
    EXPECT_EQ(session.folders.NmeaDir, out);
    EXPECT_EQ(prompts.unscripted, 0);

    // The lap list's and the sector table's copy menus are there.
    QStringList items;
    for (QMenu* m : {w.dataTab().PopupMenu2, w.dataTab().PopupMenu3})
        for (QAction* a : m->actions()) items << a->text();
    EXPECT_EQ(items, QStringList({"全データをクリップボードへ(&A)", "表示対象データをクリップボードへ(&S)",
                                  "データをクリップボードへ(&A)"}));
}

// A right click on each graph pane and a command of its menu save the pane's
// picture: drawn afresh by the pane's picture routine, from the state after
// the dialog closed, without the cursor layer the screen shows, and
// readable by pngcheck and a BMP decoder.
TEST(ExportWindow, PicturesOfThePanesFromTheirMenu) {
    QTemporaryDir tmp;
    Session session;
    session.folders = FoldersUnder(tmp.path());
    const QString samples = QStringLiteral(VELMARIS_SOURCE_DATA_DIR) + "/";
    LineChoice line;
    line.CtrlLine = SampleControlLine();
    line.CtrlLineSet = true;
    auto dialog = std::make_unique<FakeLineDialog>();
    dialog->scripts.push_back({true, std::nullopt, line});
    AppServices services(session);
    PromptsWithWork prompts;
    TFormMain w(session, services, &prompts, nullptr, std::move(dialog));
    w.resize(1280, 720);
    w.PageControl1->setCurrentIndex(0);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    prompts.openResults.push_back({samples + SampleRawFile});
    w.graphTab().SpeedButtonLdLogFile->click();
    ASSERT_GE(session.lapList.Rows.size(), 2);
    w.StringGridLapDataDblClick(1);
    w.StringGridLapDataDblClick(2);
    ASSERT_TRUE(session.comparison.DispSlot[1].Active);
    ASSERT_TRUE(ReadCoursePathFile(samples + "Circuit/sample.pth", session.coursePaths));
    w.PageControl1->setCurrentIndex(0);
    GraphTab& tab = w.graphTab();
    const Comparison& cmp = session.comparison;
    tab.PaintBoxSpd->MoveCursorTo(cmp.DispLapSec / 3, PlayEntry::Other);

    QString pngcheck = QStandardPaths::findExecutable("pngcheck");
    ASSERT_FALSE(pngcheck.isEmpty()) << "pngcheck is missing (scripts/setup.sh installs it)";
    const QString out = tmp.path() + "/out/";
    QDir().mkpath(out);
    struct Case {
        const char* what;
        PaneSlot slot;
        InnerPage page;
        PaneSlot fontOf;
        void (*routine)(QPainter&, const QRect&, const PaneInput&);
    };
    const Case cases[] = {
        {"speed graph", PaneSlot::SpeedGraph, InnerPage::Course, PaneSlot::SpeedGraph, DrawSpdPicture},
        {"course view", PaneSlot::Course, InnerPage::Course, PaneSlot::SpeedGraph, DrawGeneralPicture},
        {"zoom map", PaneSlot::ZoomMap, InnerPage::Course, PaneSlot::ZoomMap, DrawZoomPicture},
        {"G view", PaneSlot::GView, InnerPage::GView, PaneSlot::SpeedGraph, DrawGPicture},
        {"drift view", PaneSlot::Drift, InnerPage::Drift, PaneSlot::Drift, DrawCurDriftPicture},
    };
    // The sample carries no drift angles: the reference lap is marked as
    // drifting so that the drift view draws its car.
    session.loadedLaps.LapDt[session.comparison.DispSlot[0].LapIdx].driftAct = true;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tab.PageControl2->setCurrentIndex(int(c.page));
        QTest::qWait(20);
        PaneWidget* pane = tab.Pane(c.slot);
        ASSERT_NE(pane, nullptr);
        const QPointF at(pane->width() / 2, pane->height() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, pane->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(pane, &press);
        QMenu* menu = nullptr;
        for (QMenu* m : w.findChildren<QMenu*>())
            if (m->isVisible()) menu = m;
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 2);
        menu->hide();

        // The cursor moves while the dialog is up: the picture shows where it went.
        const long double tm = cmp.DispLapSec * (n + 2) / 9;
        prompts.whileOpen = [&] { tab.PaintBoxSpd->MoveCursorTo(tm, PlayEntry::Other); };
        const QImage screen = [&] {
            prompts.whileOpen();
            QApplication::processEvents();
            return pane->Render();
        }();
        QImage expected(pane->size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            QPainter p(&expected);
            p.setFont(tab.Pane(c.fontOf)->font());
            c.routine(p, expected.rect(), PaneInputOf(session));
        }
        const QString base = out + QString::number(n++);
        prompts.saveResults.push_back(base + ".png");
        menu->actions()[0]->trigger();
        prompts.saveResults.push_back(base + ".bmp");
        menu->actions()[1]->trigger();
        ASSERT_EQ(prompts.count("error"), 0);
        EXPECT_EQ(cmp.PlayTm, tm);

        QProcess check;
        check.start(pngcheck, {"-v", base + ".png"});
        ASSERT_TRUE(check.waitForFinished(60000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
        const QImage png(base + ".png"), bmp(base + ".bmp");
        ASSERT_FALSE(png.isNull());
        ASSERT_FALSE(bmp.isNull());
        EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), expected);
        EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), expected);
        EXPECT_TRUE(png.save(OutputDir() + "/picture_" + QString::number(n - 1) + ".png"));

        // What the screen shows beside the picture.
        const QImage pic = png.convertToFormat(QImage::Format_RGB32);
        const QFontMetrics fm(tab.Pane(c.fontOf)->font());
        if (c.slot == PaneSlot::SpeedGraph) {
            // No position bar: its column is red from top to bottom on the
            // screen only (the reference curve crosses it in a few pixels).
            auto* spd = static_cast<SpeedGraphPane*>(pane);
            const SpeedGeometry g = spd->Geometry();
            const AxisWindow win = AxisWindowOf(PaneInputOf(session));
            const QRect bar(AxisX(win, g.L, g.W, win.p), g.T, 1, g.H);
            EXPECT_EQ(CountOf(screen, bar, Qt::red), g.H);
            EXPECT_LT(CountOf(pic, bar, Qt::red), g.H / 2);
            // "Velmaris" after the unit label (the alignment mark may stand there too).
            const QRect title(4 + fm.horizontalAdvance("km/h"), 2, fm.horizontalAdvance("    Velmaris"), fm.height());
            EXPECT_GT(InkIn(pic, title), InkIn(screen, title) + 20);
        } else if (c.slot == PaneSlot::Course) {
            const QRect title(8, 8, fm.horizontalAdvance("Velmaris"), fm.height());
            EXPECT_EQ(InkIn(screen, title), 0);
            EXPECT_GT(InkIn(pic, title), 20);
        } else if (c.slot == PaneSlot::ZoomMap) {
            // The speed and distance column at the bottom right, in the slots' colours.
            const QRect column(pane->width() / 2, pane->height() - 8 - 2 * (fm.height() + 16), pane->width() / 2 - 8,
                               2 * (fm.height() + 16));
            EXPECT_GT(SlotInkIn(pic, column), SlotInkIn(screen, column) + 40);
        } else if (c.slot == PaneSlot::GView) {
            // Bars and read-out lines lie left and right of the dial on
            // the screen; the picture has none of them, but the title.
            const GGeom g = GGeomOf(pane->size(), session.graphView.GRangeIdx);
            ASSERT_GT(g.cx - g.r, 60);
            const QRect left(0, 0, g.cx - g.r - 2, g.h), right(g.cx + g.r + 6, 0, g.w - g.cx - g.r - 6, g.h);
            EXPECT_GT(SlotInkIn(screen, left) + SlotInkIn(screen, right), 100);
            EXPECT_EQ(SlotInkIn(pic, left), 0);
            EXPECT_EQ(SlotInkIn(pic, right), 0);
            const QRect title(g.cx - g.r, g.cy - g.r, fm.horizontalAdvance("Velmaris"), fm.height());
            EXPECT_EQ(InkIn(screen, title), 0);
            EXPECT_GT(InkIn(pic, title), 20);
        } else {
            // The cars at the cursor are in the drift picture as on the screen.
            EXPECT_GT(SlotInkIn(pic, pic.rect()), 50);
        }
    }
    EXPECT_EQ(prompts.unscripted, 0);
}
