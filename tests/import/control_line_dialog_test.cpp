// The control-line dialog on the import's road: a log opened by the import
// command, the dialog driven by mouse events and its buttons instead of a
// person, and the laps its lines cut.
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include "common/datetime.h"
#include "common/geodesy.h"
#include "common/parsing.h"
#include "common/textfile.h"
#include "import/control_line_dialog.h"
#include "import/course_commands.h"
#include "import/lap_hint_dialog.h"
#include "import/mark_dialog.h"
#include "import/log_import_commands.h"
#include "model/session.h"
#include "support/fake_prompts.h"
#include "support/image_builder.h"
#include "support/sample_builder.h"
#include "support/test_env.h"
#include "support/test_folders.h"

using namespace vel;
using namespace vel::test;

namespace {

constexpr double Jst = 25569.0 + 9.0 / 24.0;
const double NowLocal = EncodeDateTime(2024, 5, 1, 12, 0, 0, 0);
const QRgb Red = qRgb(255, 0, 0);

// The import's dialog, shown without a modal loop: the test's script plays
// the user and answers whether it closed with OK.
class ScriptedDialog : public QtControlLineDialog {
public:
    using QtControlLineDialog::QtControlLineDialog;
    std::function<bool(TOKBottomDlgMb&)> script;
    int runs = 0;

protected:
    bool RunModal(TOKBottomDlgMb& dlg) override {
        ++runs;
        dlg.resize(1280, 800);
        dlg.show();
        // Layout, the first paint and the automatic search.
        QCoreApplication::processEvents();
        return script ? script(dlg) : false;
    }
};

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, QPoint from, QPoint to) {
    Mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

QImage MapImage(TOKBottomDlgMb& d) {
    QImage img;
    d.PaintBox2->Render(img);
    return img;
}

int CountRgb(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == c;
    return n;
}

bool PressOk(TOKBottomDlgMb& d) {
    d.OKBtn->click();
    return d.result() == QDialog::Accepted;
}

double LatAt(const ImageCircuit& c, double y) {
    return c.centreLat + y / static_cast<double>(EarthR) * (180.0 / static_cast<double>(Pi));
}
double LonAt(const ImageCircuit& c, double x) {
    const double degPerRad = 180.0 / static_cast<double>(Pi);
    return c.centreLon + x / (static_cast<double>(EarthR) * std::cos(c.centreLat / degPerRad)) * degPerRad;
}

struct ControlLineDialogTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    FakePrompts prompts;
    RankingService ranking;
    std::unique_ptr<ScriptedDialog> dialog;
    std::unique_ptr<LogImportCommands> flow;
    // The image builder's square: 400 m sides at 90 km/h, 64 s a lap,
    // starting in the middle of the south side heading east.
    ImageCircuit circuit;
    ImageCircuit far;   // the same 2.2 km further north

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        session.folders = FoldersUnder(tmp.path());
        for (const QString& d : {session.folders.TempDir, session.folders.RawDir, session.folders.ClnDir,
                                 session.folders.CircuitDir, session.folders.SectDir})
            ASSERT_TRUE(QDir().mkpath(d));
        ASSERT_TRUE(session.logStore.Allocate());
        session.LocalEpoch = Jst;
        dialog = std::make_unique<ScriptedDialog>(prompts);
        flow = std::make_unique<LogImportCommands>(session, prompts, ranking, *dialog);
        flow->nowLocal = [] { return NowLocal; };
        far.centreLat += 0.02;
    }

    // 3.5 laps, then (with far) two laps of the far square 5 minutes later.
    std::vector<ImageSample> Samples(bool withFar) const {
        std::vector<ImageSample> s = ImageCircuitSamples(circuit, 2240);
        if (withFar) {
            ImageCircuit f = far;
            f.startUtc = circuit.startUtc + 224 + 300;
            for (const ImageSample& x : ImageCircuitSamples(f, 1280)) s.push_back(x);
        }
        return s;
    }

    void Open(const QString& name, const QByteArray& image) {
        const QString path = tmp.path() + "/logs/" + name;
        WriteFile(path, image);
        prompts.openResults.push_back({path});
        flow->SpeedButtonLdLogFileClick();
    }

    // The pixel of a point x metres east and y north of a circuit's centre.
    QPoint Px(TOKBottomDlgMb& d, const ImageCircuit& c, double x, double y) const {
        return d.PaintBox2->Projection().ToPixel(LatAt(c, y), LonAt(c, x));
    }
    // A line across the track at (x, y), drawn from its centre.
    void LineAcross(TOKBottomDlgMb& d, const ImageCircuit& c, double x, double y) {
        const QPoint at = Px(d, c, x, y);
        Drag(d.PaintBox2, at, at + QPoint(0, 25));
    }

    std::vector<double> LapSecs() const {
        std::vector<double> out;
        for (const TLapStrLstRec& r : session.lapList.LapStrLst) out.push_back(static_cast<double>(r.Sec));
        return out;
    }
};

TEST_F(ControlLineDialogTest, OpenedLogShowsBlocksAndTraceAndADraggedLineCutsIt) {
    dialog->script = [&](TOKBottomDlgMb& d) {
        EXPECT_EQ(d.windowTitle(), MbCaption);
        EXPECT_EQ(d.LabelLogName->text(), "two");
        EXPECT_EQ(d.Tool(), MapTool::Ctrl);
        const LogStore& st = session.logStore;
        EXPECT_EQ(st.LogBlockNum(), 2);
        EXPECT_EQ(d.CheckListBoxLogBlk->count(), st.LogBlockNum());
        for (int i = 0; i < d.CheckListBoxLogBlk->count(); ++i) {
            EXPECT_EQ(d.CheckListBoxLogBlk->item(i)->text(), st.LogBlock[i].Title);
            EXPECT_EQ(d.CheckListBoxLogBlk->item(i)->checkState(), Qt::Checked);
        }
        EXPECT_GT(CountRgb(MapImage(d), Red), 500) << "the trace";

        // While the line is dragged only the overlay is drawn.
        const QPoint at = Px(d, circuit, 100, -200);
        const int draws = d.PaintBox2->BackBufferDraws();
        Mouse(d.PaintBox2, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        for (int dy = 5; dy <= 25; dy += 5) {
            Mouse(d.PaintBox2, QEvent::MouseMove, at + QPoint(0, dy), Qt::NoButton, Qt::LeftButton);
            d.PaintBox2->repaint();
        }
        EXPECT_EQ(d.PaintBox2->BackBufferDraws(), draws);
        EXPECT_FALSE(d.LabelIK->text().isEmpty());
        Mouse(d.PaintBox2, QEvent::MouseButtonRelease, at + QPoint(0, 25), Qt::LeftButton, Qt::NoButton);
        d.PaintBox2->repaint();
        EXPECT_EQ(d.PaintBox2->BackBufferDraws(), draws + 1);
        EXPECT_TRUE(session.lineChoice.CtrlLineSet);
        return PressOk(d);
    };
    Open("two.bnx4", BlockImage(Samples(true)));
    ASSERT_EQ(dialog->runs, 1);
    // 100 m to the line (too short), three laps, and the rest of the log
    // (the far block too) as the last lap.
    const std::vector<double> secs = LapSecs();
    ASSERT_EQ(secs.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(secs[i], 64, 0.5) << i;
    EXPECT_GT(secs[3], 300);
}

TEST_F(ControlLineDialogTest, UntickingABlockChangesTheTraceAndTheCut) {
    dialog->script = [&](TOKBottomDlgMb& d) {
        const QImage before = MapImage(d);
        const TLogRect both = session.logStore.LogRect;
        d.CheckListBoxLogBlk->item(1)->setCheckState(Qt::Unchecked);
        const LogStore& st = session.logStore;
        EXPECT_FALSE(st.LogBlock[1].Act);
        EXPECT_FALSE(st.LogItem[st.LogItemNum - 1].Act);
        EXPECT_LT(st.LogRect.IdoMax, both.IdoMax);
        EXPECT_EQ(d.PaintBox2->Projection().view.IdoMax, st.LogRect.IdoMax) << "the view follows";
        const QImage after = MapImage(d);
        EXPECT_NE(before, after);
        EXPECT_GT(CountRgb(after, Red), CountRgb(before, Red)) << "the near square drawn larger";
        LineAcross(d, circuit, 100, -200);
        return PressOk(d);
    };
    Open("two.bnx4", BlockImage(Samples(true)));
    const std::vector<double> secs = LapSecs();
    ASSERT_EQ(secs.size(), 4u);
    EXPECT_NEAR(secs[3], 0.5 * 64 - 100 / 25.0, 0.5) << "the last lap ends with the near block";
}

TEST_F(ControlLineDialogTest, StartAndGoalLinesPlacedByDragsCutRuns) {
    dialog->script = [&](TOKBottomDlgMb& d) {
        d.SpeedButtonSta->click();
        EXPECT_EQ(d.Tool(), MapTool::Sta);
        LineAcross(d, circuit, 100, -200);
        d.SpeedButtonFin->click();
        LineAcross(d, circuit, 0, 200);
        const LineChoice& l = session.lineChoice;
        EXPECT_FALSE(l.CtrlLineSet);
        EXPECT_TRUE(l.StaLineSet && l.FinLineSet);
        const QImage img = MapImage(d);
        EXPECT_GT(CountRgb(img, qRgb(0, 0, 255)), 40) << "start line";
        EXPECT_GT(CountRgb(img, qRgb(0, 128, 0)), 40) << "goal line";
        return PressOk(d);
    };
    Open("one.bnx4", BlockImage(Samples(false)));
    // Starts at 100, 1700, 3300 and 4900 m, goals at 800, 2400 and 4000 m.
    const std::vector<double> secs = LapSecs();
    ASSERT_EQ(secs.size(), 3u);
    for (double s : secs) EXPECT_NEAR(s, 700 / 25.0, 0.3);
}

TEST_F(ControlLineDialogTest, ShippedSampleCutsAtItsControlLineFile) {
    const QString data = QStringLiteral(VELMARIS_SOURCE_DATA_DIR "/");
    dialog->script = [&](TOKBottomDlgMb& d) {
        prompts.openResults.push_back({data + SamplePthFile});
        d.SpeedButtonLdCourseClick();
        EXPECT_EQ(session.coursePaths.CoursePathNum, 2);
        // Chosen without its extension: ".cln" is put on.
        prompts.openResults.push_back({data + "ControlLine/sample"});
        d.SpeedButtonLoad->click();
        EXPECT_EQ(prompts.lastSpec.title, ClnOpenTitle);
        EXPECT_TRUE(session.lineChoice.CtrlLineSet);
        EXPECT_EQ(session.folders.ClnDir, QFileInfo(data + SampleClnFile).absolutePath() + "/");
        EXPECT_GT(CountRgb(MapImage(d), qRgb(222, 222, 222)), 1000) << "the course map";
        d.CheckBoxViewStop->setChecked(true);
        const QImage shot = d.grab().toImage();
        EXPECT_TRUE(shot.save(OutputDir() + "/control_line_dialog.png"));
        return PressOk(d);
    };
    prompts.openResults.push_back({data + SampleRawFile});
    flow->SpeedButtonLdLogFileClick();
    ASSERT_EQ(dialog->runs, 1);
    EXPECT_EQ(LapSecs().size(), static_cast<size_t>(SampleLaps));
    EXPECT_TRUE(dialog->state().ViewStop) << "kept for the next import";
}

TEST_F(ControlLineDialogTest, SelectionSavedAsOneRunFileAsksBeforeOverwriting) {
    const QString typed = tmp.path() + "/runs/heat.txt";
    const QString target = tmp.path() + "/runs/heat.dtb";
    QDir().mkpath(tmp.path() + "/runs");
    dialog->script = [&](TOKBottomDlgMb& d) {
        const LogStore& st = session.logStore;
        prompts.saveResults.push_back(typed);
        d.SpeedButtonSvAsDtb->click();
        EXPECT_EQ(prompts.lastSpec.title, RunSaveTitle);
        EXPECT_EQ(prompts.lastSpec.fileName, "LOG_" + st.LogBlock[0].Title + ".dtb");
        EXPECT_EQ(prompts.lastSpec.folder, session.folders.RawDir);
        const QByteArray both = ReadFile(target);
        EXPECT_EQ(both.size(), st.LogItemNum * TLapElmRec::Size);
        EXPECT_EQ(both, SelectionRunBytes(st));
        EXPECT_EQ(prompts.count("warnyesno"), 0);

        // Typed with ".dtb" or not, an existing file is asked about.
        d.CheckListBoxLogBlk->item(1)->setCheckState(Qt::Unchecked);
        for (const QString& name : {typed, target}) {
            prompts.saveResults.push_back(name);
            prompts.answers.push_back(Answer::No);
            d.SpeedButtonSvAsDtb->click();
            EXPECT_EQ(ReadFile(target), both);
        }
        EXPECT_EQ(prompts.texts("warnyesno"), QStringList(2, OverwriteQuestion("heat.dtb")));
        prompts.saveResults.push_back(target);
        prompts.answers.push_back(Answer::Yes);
        d.SpeedButtonSvAsDtb->click();
        const QByteArray near = ReadFile(target);
        EXPECT_EQ(near, SelectionRunBytes(st));
        EXPECT_EQ(near.size(), 2240 * TLapElmRec::Size);
        // Kept as run files always had it: heading turned by 180 degrees.
        const TLapElmRec first = ReadLapElm(reinterpret_cast<const uint8_t*>(near.constData()));
        long double dir = st.LogItem[0].Dir + 180.0L;
        if (dir > 360) dir -= 360;
        EXPECT_DOUBLE_EQ(static_cast<double>(first.Dir), static_cast<double>(dir));
        EXPECT_EQ(first.Tm, 0);
        d.reject();
        return false;
    };
    Open("two.bnx4", BlockImage(Samples(true)));
    EXPECT_TRUE(session.lapList.LapStrLst.isEmpty()) << "cancelled: no cut";
}

TEST_F(ControlLineDialogTest, LinesSavedAndLoadedWithTheRallyStart) {
    const QString cln = session.folders.ClnDir + "stage.cln";
    dialog->script = [&](TOKBottomDlgMb& d) {
        LineChoice& l = session.lineChoice;
        prompts.saveResults.push_back(session.folders.ClnDir + "stage");
        d.SpeedButtonSave->click();
        EXPECT_EQ(prompts.count("save"), 0) << "nothing to save yet";

        d.SpeedButtonSta->click();
        LineAcross(d, circuit, 100, -200);
        d.SpeedButtonFin->click();
        LineAcross(d, circuit, 0, 200);
        d.CheckBoxRallySta->setChecked(true);
        EXPECT_TRUE(l.RallySta);
        d.SpeedButtonSave->click();
        QStringList file;
        EXPECT_TRUE(ReadTextLines(cln, file));
        EXPECT_EQ(file.size(), 10);
        EXPECT_EQ(file.value(0), "2");
        EXPECT_EQ(file.value(9), "1");
        EXPECT_EQ(file.value(1), FormatFixed(l.CtrlLine.Ido1, 6));

        // Existing, even typed with ".cln": asked, and No writes nothing.
        prompts.saveResults.push_back(cln);
        prompts.answers.push_back(Answer::No);
        d.CheckBoxRallySta->setChecked(false);
        d.SpeedButtonSave->click();
        EXPECT_EQ(prompts.texts("warnyesno"), QStringList{OverwriteQuestion("stage.cln")});
        EXPECT_TRUE(ReadTextLines(cln, file));
        EXPECT_EQ(file.value(9), "1");

        // The control-line tool unticks the rally box; deleting with it clears all.
        d.CheckBoxRallySta->setChecked(true);
        d.SpeedButtonCtrl->click();
        EXPECT_FALSE(d.CheckBoxRallySta->isChecked());
        EXPECT_FALSE(l.RallySta);
        d.SpeedButtonDel->click();
        EXPECT_FALSE(l.StaLineSet || l.FinLineSet || l.CtrlLineSet);

        // Loading brings the lines and the rally box back, with its start tool.
        prompts.openResults.push_back({cln});
        d.SpeedButtonLoad->click();
        EXPECT_TRUE(l.StaLineSet && l.FinLineSet);
        EXPECT_TRUE(l.RallySta);
        EXPECT_TRUE(d.CheckBoxRallySta->isChecked());
        EXPECT_EQ(d.Tool(), MapTool::Sta);
        return PressOk(d);
    };
    Open("one.bnx4", BlockImage(Samples(false)));
    EXPECT_EQ(LapSecs().size(), 3u);
    EXPECT_TRUE(session.lineChoice.RallySta) << "kept for the next import";
}

TEST_F(ControlLineDialogTest, OkWithoutALineAsksWhetherToSearch) {
    dialog->script = [&](TOKBottomDlgMb& d) {
        prompts.answers.push_back(Answer::Yes);
        d.OKBtn->click();
        EXPECT_EQ(prompts.texts("yesno"), QStringList{NoLineQuestion});
        EXPECT_TRUE(d.isVisible());
        QCoreApplication::processEvents();   // the search it asked for
        EXPECT_EQ(prompts.texts("inform"), QStringList{CourseNotFound});
        prompts.answers.push_back(Answer::No);
        return PressOk(d);
    };
    Open("one.bnx4", BlockImage(Samples(false)));
    // The whole selection as one lap.
    ASSERT_EQ(LapSecs().size(), 1u);
    EXPECT_NEAR(LapSecs()[0], 223.9, 0.05);
}

TEST_F(ControlLineDialogTest, CircuitSearchLoadsSingleFilesAndOffersSeveral) {
    // A course map, a control line and sector files at the near square.
    const double lat = circuit.centreLat, lon = circuit.centreLon;
    auto fx = [](double v) { return FormatFixed(v, 6); };
    WriteFile(session.folders.CircuitDir + "near.pth",
              ("<path>\r\n" + fx(lon - 0.002) + "," + fx(lat - 0.002) + "\r\n" + fx(lon + 0.002) + "," +
               fx(lat + 0.002) + "\r\n</path>\r\n").toUtf8());
    WriteTextLines(session.folders.ClnDir + "near.cln",
                   {"1", fx(LatAt(circuit, -220)), fx(LonAt(circuit, 100)), fx(LatAt(circuit, -180)),
                    fx(LonAt(circuit, 100))});
    const QString sci = fx(LatAt(circuit, -220)) + "," + fx(LonAt(circuit, 0)) + "," + fx(LatAt(circuit, -180)) +
                        "," + fx(LonAt(circuit, 0)) + ",1";
    WriteTextLines(session.folders.SectDir + "near.sci", {sci, sci});
    BuildCatalogue(session.catalogue, session.folders);
    int refreshes = 0;
    dialog->hooks.onSectorsLoaded = [&] { ++refreshes; };
    std::vector<SelCircuitLists> offered;
    dialog->hooks.chooser = [&](const SelCircuitLists& lists) {
        offered.push_back(lists);
        return SelCircuitChoice{true, -1, 0, 1};
    };
    session.comparison.SelSect = 2;

    // One of each: all three loaded as the dialog opens.
    dialog->script = [&](TOKBottomDlgMb& d) {
        EXPECT_EQ(session.coursePaths.CoursePathNum, 1);
        EXPECT_TRUE(session.lineChoice.CtrlLineSet);
        EXPECT_EQ(session.sectorLines.SectNum, 2);
        EXPECT_EQ(session.comparison.SelSect, 0);
        EXPECT_EQ(refreshes, 1) << "the sector refresh follows the load";
        EXPECT_TRUE(offered.empty());
        return PressOk(d);
    };
    Open("one.bnx4", BlockImage(Samples(false)));
    EXPECT_EQ(LapSecs().size(), 3u + 1u) << "cut at the found line";

    // Two sector files: the selection dialog, and what it picks is loaded.
    WriteTextLines(session.folders.SectDir + "other.sci", {sci});
    BuildCatalogue(session.catalogue, session.folders);
    session.lineChoice = LineChoice{};
    session.coursePaths = CoursePaths{};
    dialog->script = [&](TOKBottomDlgMb& d) {
        EXPECT_EQ(offered.size(), 1u);
        if (offered.size() == 1) {
            EXPECT_EQ(offered[0].pth, QStringList{"near"});
            EXPECT_EQ(offered[0].cln, QStringList{"near"});
            EXPECT_EQ(offered[0].sci.size(), 2);
            EXPECT_TRUE(offered[0].usePth && offered[0].useCln && offered[0].useSci);
        }
        EXPECT_EQ(session.coursePaths.CoursePathNum, 0) << "none picked";
        EXPECT_TRUE(session.lineChoice.CtrlLineSet);
        EXPECT_EQ(refreshes, 2);
        // Forced by the button, also with a line set.
        d.SpeedButtonSelCircuit->click();
        EXPECT_EQ(offered.size(), 2u);
        d.reject();
        return false;
    };
    flow->SpeedButtonReLogClick();
    EXPECT_EQ(dialog->runs, 2);
}

TEST_F(ControlLineDialogTest, BlockListMarkShiftAndTheRallyBoxAtOpening) {
    std::vector<QString> asked;
    dialog->hooks.askName = [&](QWidget* parent, const QString& caption,
                                const QString& text) -> std::optional<QString> {
        EXPECT_NE(parent, nullptr);
        asked.push_back(caption + "|" + text);
        return QStringLiteral("Heat 2");
    };
    std::optional<QString> mark;
    dialog->hooks.askMark = [&] { return mark; };
    session.lineChoice.RallySta = true;
    dialog->script = [&](TOKBottomDlgMb& d) {
        LogStore& st = session.logStore;
        EXPECT_TRUE(d.CheckBoxRallySta->isChecked());
        EXPECT_EQ(d.Tool(), MapTool::Sta) << "a rally starts at a start line";

        // Renaming: the button, a double click on the text, none on the tick box.
        const QString old = st.LogBlock[1].Title;
        QListWidget* list = d.CheckListBoxLogBlk;
        list->setCurrentRow(1);
        d.SpeedButtonEdiRecName->click();
        EXPECT_EQ(asked, std::vector<QString>{RecNameCaption + "|" + old});
        EXPECT_EQ(st.LogBlock[1].Title, "Heat 2");
        EXPECT_EQ(list->item(1)->text(), "Heat 2");
        const int y = list->visualItemRect(list->item(0)).center().y();
        list->setCurrentRow(0);
        Mouse(list->viewport(), QEvent::MouseButtonDblClick, QPoint(8, y), Qt::LeftButton, Qt::LeftButton);
        EXPECT_EQ(asked.size(), 1u);
        Mouse(list->viewport(), QEvent::MouseButtonDblClick, QPoint(60, y), Qt::LeftButton, Qt::LeftButton);
        EXPECT_EQ(asked.size(), 2u);
        EXPECT_EQ(st.LogBlock[0].Title, "Heat 2");
        EXPECT_TRUE(st.LogBlock[1].Act) << "renaming ticks nothing";

        // None and all.
        d.SpeedButtonAllRel->click();
        EXPECT_FALSE(st.LogBlock[0].Act || st.LogBlock[1].Act || st.LogItem[0].Act);
        EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
        d.SpeedButtonAllSel->click();
        EXPECT_TRUE(st.LogBlock[0].Act && st.LogBlock[1].Act && st.LogItem[0].Act);

        // The mark takes exactly "latitude,longitude".
        mark = QStringLiteral("1,2,3");
        d.SpeedButtonMark->click();
        EXPECT_EQ(dialog->state().MarkSet, 0);
        mark = QString::number(circuit.centreLat) + "," + QString::number(circuit.centreLon);
        d.SpeedButtonMark->click();
        EXPECT_EQ(dialog->state().MarkSet, 1);
        EXPECT_DOUBLE_EQ(static_cast<double>(dialog->state().MarkIdo), circuit.centreLat);
        const QPoint m = d.PaintBox2->Projection().ToPixel(circuit.centreLat, circuit.centreLon);
        EXPECT_EQ(MapImage(d).pixel(m), qRgb(0, 0, 255));

        // One pixel east moves every sample, the unticked ones too.
        d.CheckListBoxLogBlk->item(1)->setCheckState(Qt::Unchecked);
        const double kdo0 = st.LogItem[0].Kdo, kdoLast = st.LogItem[st.LogItemNum - 1].Kdo;
        const TLogRect v = dialog->state().MbViewRect;
        d.SpeedButtonAE->click();
        const double px = static_cast<double>(v.KdoMax - v.KdoMin) / d.PaintBox2->width();
        EXPECT_NEAR(st.LogItem[0].Kdo - kdo0, px, 1e-12);
        EXPECT_NEAR(st.LogItem[st.LogItemNum - 1].Kdo - kdoLast, px, 1e-12);
        d.SpeedButtonAN->click();

        // Zoom box, then back to the whole log.
        d.SpeedButtonRect->click();
        const QPoint c = Px(d, circuit, 0, 0);
        Drag(d.PaintBox2, c - QPoint(40, 40), c + QPoint(40, 40));
        EXPECT_LT(dialog->state().MbViewRect.KdoMax - dialog->state().MbViewRect.KdoMin, v.KdoMax - v.KdoMin);
        d.SpeedButtonRstZoom->click();
        EXPECT_EQ(dialog->state().MbViewRect.KdoMax, st.LogRect.KdoMax);

        d.SpeedButtonCtrl->click();
        EXPECT_FALSE(session.lineChoice.RallySta);
        d.reject();
        return false;
    };
    Open("two.bnx4", BlockImage(Samples(true)));
    EXPECT_EQ(dialog->runs, 1);
    EXPECT_FALSE(session.lineChoice.RallySta);
}

TEST(ControlLineSmallDialogs, HintShowsItsPictureAndMarkItsTexts) {
    TOKBottomDlgLapHint hint;
    EXPECT_EQ(hint.windowTitle(), "ヒント");
    EXPECT_EQ(hint.Image1->pixmap().size(), QSize(631, 500));
    EXPECT_TRUE(hint.grab().toImage().save(OutputDir() + "/control_line_hint.png"));

    TOKBottomDlgMark mark;
    EXPECT_EQ(mark.windowTitle(), "目印設定");
    mark.EditY1X1->setText("35.123456,135.123456");
    mark.accept();
    EXPECT_EQ(mark.result(), QDialog::Accepted);
}

} // namespace
