#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QWheelEvent>
#include "analysis/sector_commands.h"
#include "analysis/sector_tables.h"
#include "analysis/sector_timing.h"
#include "analysis/sector_support.h"
#include "analysis/shown_laps.h"
#include "analysis/sector_adjust_dialog.h"
#include "analysis/sector_edit_commands.h"
#include "support/fake_prompts.h"
#include "support/test_env.h"

using namespace vel;
using namespace vel::test;

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Wheel(QWidget* w, QPoint p, int delta) {
    QWheelEvent e(QPointF(p), QPointF(w->mapToGlobal(p)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

// A drag of the front layer from one pixel to another, by the left button.
void Drag(QWidget* w, QPoint from, QPoint to) {
    Mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

QRgb Px(const QImage& img, QPoint p) { return img.pixel(p) & 0xFFFFFF; }

// A thin line may land a pixel off the point on it: any of the 3 x 3 around.
bool Near(const QImage& img, QPoint p, QRgb color) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Px(img, p + QPoint(dx, dy)) == color) return true;
    return false;
}

} // namespace

TEST(SelEdSectDialog, MissingLinesDisabledAndPreselected) {
    TOKBottomDlgSelEdSect dlg;
    EXPECT_EQ(dlg.windowTitle(), "調整セクタ選択");
    const QStringList texts = {"セクタ 1", "セクタ 2", "セクタ 3", "セクタ4"};
    for (int i = 0; i < MaxSectLines; ++i) EXPECT_EQ(dlg.RadioButton[i]->text(), texts[i]);
    struct Case { int n, pre; std::array<bool, 4> enabled; int selected; };
    const Case cases[] = {
        {2, 1, {true, true, false, false}, 1},
        {3, 0, {true, true, true, false}, 0},
        {4, 3, {true, true, true, true}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        dlg.Setup(c.n, c.pre);
        for (int i = 0; i < MaxSectLines; ++i) EXPECT_EQ(dlg.RadioButton[i]->isEnabled(), c.enabled[i]) << i;
        EXPECT_EQ(dlg.Selected(), c.selected);
    }
}

namespace {

// A lap northwards shown in slot 0; the dialogs scripted.
class EdSectCommandTest : public ShownLapsTest {
public:
    Drive d = MetreDrive();
    bool playing = false;
    long double mapZoom = 4;
    std::vector<std::pair<int, int>> selectCalls;
    int selectAnswer = -1;
    bool flagDuringSelect = false;
    std::vector<EdSectState> adjustCalls;
    std::function<bool(EdSectState&)> adjustScript;
    int refreshes = 0;
    SectorEditCommands cmd{s,
                          EdSectDialogs{[this](int n, int pre) {
                                            selectCalls.push_back({n, pre});
                                            flagDuringSelect = s.FileDlgOpen;
                                            return selectAnswer;
                                        },
                                        [this](EdSectState& st) {
                                            adjustCalls.push_back(st);
                                            return adjustScript ? adjustScript(st) : false;
                                        }},
                          [this] { return playing; }, [this] { return mapZoom; }, [this] { ++refreshes; }};

    // Lines crossing the lap between samples, neither of them level.
    TSectRec At(long double north) { return LineAt(d, north - 1, -20, north + 1, 20); }

    EdSectCommandTest() { Show({StraightRun(d, 180, 31)}); }
};

} // namespace

TEST_F(EdSectCommandTest, RefusedWithoutLapLineOrWhilePlaying) {
    struct Case { const char* name; std::function<void()> set; };
    const Case cases[] = {
        {"no line", [this] { s.sectorLines = SectorLines(); }},
        {"playing", [this] { playing = true; }},
        {"slot 0 empty", [this] { s.comparison.DispSlot[0].Active = false; }},
        {"slot 0 names no lap", [this] { s.comparison.DispSlot[0].LapIdx = 3; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.sectorLines = Lines({At(10.5L), At(20.5L)});
        playing = false;
        s.comparison.DispSlot[0].Active = true;
        s.comparison.DispSlot[0].LapIdx = 0;
        c.set();
        EXPECT_FALSE(cmd.SpeedButtonEdSectClick());
        EXPECT_TRUE(selectCalls.empty());
        EXPECT_TRUE(adjustCalls.empty());
    }
}

TEST_F(EdSectCommandTest, OneLineIsAdjustedWithoutAsking) {
    s.sectorLines = Lines({At(10.5L)});
    mapZoom = 0.5L;
    adjustScript = [this](EdSectState& st) {
        st.line = At(15.5L);
        st.passNo = 1;
        return true;
    };
    ASSERT_TRUE(cmd.SpeedButtonEdSectClick());
    EXPECT_TRUE(selectCalls.empty());
    ASSERT_EQ(adjustCalls.size(), 1u);
    EXPECT_EQ(adjustCalls[0].sel, 0);
    EXPECT_EQ(adjustCalls[0].zoom, 0.5L);
    EXPECT_EQ(adjustCalls[0].latC, (At(10.5L).Ido1 + At(10.5L).Ido2) / 2);
    EXPECT_EQ(s.sectorLines.Sect[0].Ido2, At(15.5L).Ido2);
    EXPECT_EQ(s.sectorLines.EdSectSel, 0);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(EdSectCommandTest, SelectionStartsOnTheLineAdjustedLast) {
    struct Case { const char* name; int32_t edSectSel; int pre; int answer; bool adjusted; int32_t selAfter; };
    const Case cases[] = {
        {"first time: the last line", -1, 2, 0, true, 0},
        {"the line adjusted last", 1, 1, 1, true, 1},
        {"a line that is gone: the last", 3, 2, 2, true, 2},
        {"cancelled", 1, 1, -1, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.sectorLines = Lines({At(5.5L), At(10.5L), At(20.5L)});
        s.sectorLines.EdSectSel = c.edSectSel;
        selectCalls.clear();
        adjustCalls.clear();
        selectAnswer = c.answer;
        EXPECT_FALSE(cmd.SpeedButtonEdSectClick()) << "the adjustment is cancelled";
        ASSERT_EQ(selectCalls.size(), 1u);
        EXPECT_EQ(selectCalls[0], std::make_pair(3, c.pre));
        EXPECT_TRUE(flagDuringSelect);
        EXPECT_FALSE(s.FileDlgOpen);
        EXPECT_EQ(adjustCalls.size(), c.adjusted ? 1u : 0u);
        if (c.adjusted) {
            EXPECT_EQ(adjustCalls[0].sel, c.answer);
        }
        EXPECT_EQ(s.sectorLines.EdSectSel, c.selAfter);
    }
    EXPECT_EQ(refreshes, 0);
}

// OK with ends on one latitude keeps the old line and its pass number, and
// nothing is recomputed; a usable line is stored with its pass number.
TEST_F(EdSectCommandTest, OkStoresOnlyALineWhoseEndsDiffer) {
    s.sectorLines = Lines({At(5.5L), At(10.5L)});
    selectAnswer = 1;
    adjustScript = [](EdSectState& st) {
        st.line.Ido2 = st.line.Ido1;
        st.line.Kdo2 = st.line.Kdo1;
        st.passNo = 2;
        return true;
    };
    EXPECT_FALSE(cmd.SpeedButtonEdSectClick());
    EXPECT_EQ(s.sectorLines.Sect[1].Ido2, At(10.5L).Ido2);
    EXPECT_EQ(s.sectorLines.Sect[1].PassNo, 1);
    EXPECT_EQ(refreshes, 0);

    adjustScript = [this](EdSectState& st) {
        st.line = At(2.5L);
        st.passNo = 1;
        return true;
    };
    s.comparison.SelSect = 2;
    EXPECT_TRUE(cmd.SpeedButtonEdSectClick());
    EXPECT_EQ(s.sectorLines.Sect[0].Ido1, At(2.5L).Ido1) << "re-sorted";
    EXPECT_EQ(s.sectorLines.Sect[1].Ido1, At(5.5L).Ido1);
    EXPECT_EQ(s.comparison.SelSect, 1) << "the alignment follows its line";
    EXPECT_EQ(refreshes, 1);
}

// The running dialog: a drag of an end by the mouse moves the line, OK
// stores it, and the sector refresh refills the sector table.
TEST_F(EdSectCommandTest, DraggedLineMovesAndTheSectorTableFollows) {
    FakePrompts prompts;
    SectTables tables;
    SectorCommands sectors(s, s.sectorLines, prompts, sv, {}, {}, [] { return false; });
    sectors.SetSectGrid = [&] { tables = SetSectGrid(s.sectorLines, s.loadedLaps, s.comparison); };
    s.sectorLines = Lines({At(10.5L)});
    sectors.SectRefresh(true);
    ASSERT_EQ(tables.sect[1][0], "0:01.050");

    int backDraws = 0;
    EdSectDialogs scripted = QtEdSectDialogs(nullptr, s, [] { return false; });
    scripted.adjust = [&](EdSectState& st) {
        EdSectScene scene{s.sectorLines, s.coursePaths, s.loadedLaps, s.comparison, false};
        TOKBottomDlgEdSect dlg(scene);
        dlg.Setup(st);
        dlg.show();
        dlg.grab();
        const EdSectProjection p = dlg.Projection();
        const QPoint end2 = p.ToPixel(st.line.Kdo2, st.line.Ido2);
        EXPECT_EQ(end2, QPoint(310, 226));   // 20 m east, 11.5 m north at 4 px/m about (10.5 m, 0)
        // 10 m further north: the line now crosses the lap at 15.5 m.
        Drag(dlg.PaintBox2, end2 + QPoint(2, -2), end2 + QPoint(0, -40));
        dlg.grab();
        backDraws = dlg.BackDraws();
        dlg.ButtonOK->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        st = dlg.State();
        return true;
    };
    SectorEditCommands cmd2(s, scripted, {}, [] { return 4.0L; }, [&] { sectors.SectRefresh(true); });
    ASSERT_TRUE(cmd2.SpeedButtonEdSectClick());
    EXPECT_EQ(backDraws, 1) << "a drag only copies the back layer";
    EXPECT_NEAR(double((s.sectorLines.Sect[0].Ido2 - At(10.5L).Ido2) * MPerDegIdo()), 10, 1e-6);
    EXPECT_EQ(s.sectorLines.Sect[0].Kdo1, At(10.5L).Kdo1);
    EXPECT_NEAR(double(s.comparison.DispSlot[0].SectTm[0]), 1.55, 1e-6);
    EXPECT_EQ(tables.sect[1][0], "0:01.550");
    EXPECT_EQ(tables.sect[1][4], "0:01.550");
}

// OK with both ends at one point says so and keeps the dialog open; an
// exactly east-west line (as drawn across a northward lap) closes it.
TEST_F(EdSectCommandTest, OkWithBothEndsAtOnePointKeepsTheDialogOpen) {
    s.sectorLines = Lines({At(10.5L)});
    FakePrompts prompts;
    EdSectScene scene{s.sectorLines, s.coursePaths, s.loadedLaps, s.comparison, false};
    TOKBottomDlgEdSect dlg(scene);
    dlg.prompts = &prompts;
    EdSectState st = OpenEdSect(s.sectorLines, 0, 4);
    st.line.Kdo2 = st.line.Kdo1;
    st.line.Ido2 = st.line.Ido1 + 1e-16L;   // within the crossing test's tolerance
    dlg.Setup(st);
    dlg.show();
    dlg.ButtonOK->click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(prompts.texts("warn"), QStringList{EdSectSamePointText});

    st.line = LineAt(d, 10.5L, -20, 10.5L, 20);
    dlg.Setup(st);
    dlg.ButtonOK->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(prompts.count("warn"), 1);
}

// Zoom by the buttons and the wheel over the front layer, each step
// drawing the back layer afresh; the wheel elsewhere does nothing.
TEST_F(EdSectCommandTest, ZoomButtonsAndWheel) {
    s.sectorLines = Lines({At(10.5L)});
    EdSectScene scene{s.sectorLines, s.coursePaths, s.loadedLaps, s.comparison, false};
    TOKBottomDlgEdSect dlg(scene);
    EXPECT_EQ(dlg.windowTitle(), "セクタ調整");
    EXPECT_EQ(dlg.size(), QSize(570, 514));
    EXPECT_EQ(dlg.SpeedButtonZin->toolTip(), "ズームイン");
    EXPECT_EQ(dlg.SpeedButtonZout->toolTip(), "ズームアウト");
    EXPECT_EQ(dlg.PaintBox2->geometry(), QRect(1, 1, 460, 460));
    dlg.Setup(OpenEdSect(s.sectorLines, 0, 0.5L));
    dlg.show();
    dlg.grab();
    ASSERT_EQ(dlg.BackDraws(), 1);

    struct Step { const char* name; std::function<void()> act; long double zoom; int draws; };
    const Step steps[] = {
        {"button in from 0.5", [&] { dlg.SpeedButtonZin->click(); }, 0.75L, 2},
        {"button out", [&] { dlg.SpeedButtonZout->click(); }, 1, 3},
        {"out at 1 does nothing", [&] { dlg.SpeedButtonZout->click(); }, 1, 3},
        {"wheel up", [&] { Wheel(dlg.PaintBox2, {200, 200}, 120); }, 1.25L, 4},
        {"wheel down", [&] { Wheel(dlg.PaintBox2, {200, 200}, -120); }, 1, 5},
        {"wheel without movement", [&] { Wheel(dlg.PaintBox2, {200, 200}, 0); }, 1, 5},
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.name);
        st.act();
        dlg.grab();
        EXPECT_EQ(dlg.State().zoom, st.zoom);
        EXPECT_EQ(dlg.BackDraws(), st.draws);
    }
}

// The layers drawn offscreen: other lines grey, the course map light grey
// and wide, the laps in their slot colours with slot 0 on top, the working
// line black with its handles. Left for people to look at as a PNG.
TEST_F(EdSectCommandTest, LayersRenderOffscreen) {
    Drive d2 = d;
    d2.kdo += 3 / MPerDegKdo(d);   // 3 m east of the first lap
    QVector<TLapElmRec> second = StraightRun(d2, 180, 31);
    for (int k = 12; k < 16; ++k) second[k].UseSat = 5;
    Show({second});
    s.coursePaths.CoursePath = {TPathRec{2, {{d.ido, d.kdo - 8 / MPerDegKdo(d)}, {d.ido + 30 / MPerDegIdo(), d.kdo - 8 / MPerDegKdo(d)}}}};
    s.coursePaths.CoursePathNum = 1;
    s.sectorLines = Lines({At(10.5L), LineAt(d, 20, -15, 20.5, 15)});

    EdSectScene scene{s.sectorLines, s.coursePaths, s.loadedLaps, s.comparison, true};
    TOKBottomDlgEdSect dlg(scene);
    EdSectState st = OpenEdSect(s.sectorLines, 0, 8);
    dlg.Setup(st);
    dlg.show();
    dlg.grab().save(OutputDir() + "/sector_adjust_dialog.png");

    const EdSectProjection p = dlg.Projection();
    QImage img(460, 460, QImage::Format_RGB32);
    {
        QPainter g(&img);
        DrawEdSectBack(g, scene, st, p);
        DrawEdSectFront(g, st, p);
    }
    img.save(OutputDir() + "/sector_adjust_layers.png");
    const auto at = [&](long double north, long double east) {
        return p.ToPixel(d.kdo + east / MPerDegKdo(d), d.ido + north / MPerDegIdo());
    };
    EXPECT_EQ(Px(img, at(5, 0)), 0xFF0000u) << "slot 0 red";
    EXPECT_EQ(Px(img, at(5, 3)), 0x0000FFu) << "slot 1 blue";
    EXPECT_EQ(Px(img, at(13.5L, 3)), 0xC0C0C0u) << "few satellites";
    EXPECT_EQ(Px(img, at(5, -8)), 0xDEDEDEu) << "course map";
    EXPECT_EQ(Px(img, at(5, -8.25L)), 0xDEDEDEu) << "5 pixels wide";
    EXPECT_TRUE(Near(img, at(20 + 0.5L * 5 / 30, -10), 0x808080u)) << "the other line";
    EXPECT_TRUE(Near(img, at(10, -10), 0x000000u)) << "the working line";
    EXPECT_EQ(Px(img, p.ToPixel(st.line.Kdo1, st.line.Ido1) + QPoint(-3, -3)), 0x000000u) << "handle";
    EXPECT_EQ(Px(img, at(5, 12)), 0xFFFFFFu);
}
