// The graph and data tabs at the two screen sizes the program supports, with
// four laps shown and a synced video: the panes get their share of the tab,
// no two read-out labels overlap and no caption is cut. The screenshots go
// to the test output folder for people to look at.
#include <gtest/gtest.h>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <cmath>
#include "app/data_tab.h"
#include "app/main_window.h"
#include "sample_window.h"
#include "support/pump_until.h"
#include "support/test_env.h"
#include "video/video_link.h"
#include "video/video_page.h"
#include "views/g_view.h"
#include "views/graph_tab.h"
#include "views/pane.h"
#include "views/readout_widgets.h"

using namespace vel;

namespace {

std::string Names(const QStringList& l) { return l.join(", ").toStdString(); }

QRect InWindow(const QWidget* w, const QWidget* top) { return QRect(w->mapTo(top, QPoint(0, 0)), w->size()); }

// Visible widgets among `ws` whose rectangles intersect, as "a/b" names.
QStringList Overlaps(const QList<QWidget*>& ws, const QWidget* top) {
    QStringList out;
    for (int i = 0; i < ws.size(); ++i)
        for (int j = i + 1; j < ws.size(); ++j) {
            if (!ws[i]->isVisibleTo(top) || !ws[j]->isVisibleTo(top)) continue;
            if (InWindow(ws[i], top).intersects(InWindow(ws[j], top)))
                out << ws[i]->objectName() + "/" + ws[j]->objectName();
        }
    return out;
}

// Labels whose text does not fit their width (a read-out line in the font
// it is drawn with).
QStringList CutLabels(const QList<QLabel*>& ls, const QWidget* top, bool readouts = false) {
    QStringList out;
    for (QLabel* l : ls) {
        if (!l->isVisibleTo(top) || l->text().isEmpty()) continue;
        const QFontMetrics fm(readouts ? ReadoutShownFont(l) : l->font());
        const int need = fm.horizontalAdvance(l->text()) + 2 * (l->margin() + l->frameWidth());
        if (l->contentsRect().width() + 2 * l->frameWidth() < need)
            out << l->objectName() + " \"" + l->text() + "\"";
    }
    return out;
}

} // namespace

TEST(TabLayoutWindow, GraphAndDataTabsFitAtBothScreenSizes) {
    QTemporaryDir tmp;
    ASSERT_NO_FATAL_FAILURE(test::WriteSampleAndClip(tmp.path()));

    test::SampleWindow f(tmp.path() + "/a", tmp.path() + "/data/", 4);
    TFormMain& w = *f.w;
    ASSERT_TRUE(f.session.comparison.DispSlot[3].Active);
    GraphTab& tab = w.graphTab();
    auto* page = w.findChild<VideoPage*>();
    ASSERT_TRUE(page);
    VideoLink& link = *page->Link();

    const QSize sizes[] = {{1280, 720}, {1920, 1080}};
    for (const QSize& size : sizes) {
        const QString tag = QString("%1x%2").arg(size.width()).arg(size.height());
        SCOPED_TRACE(tag.toStdString());
        w.resize(size);
        w.PageControl1->setCurrentIndex(0);
        w.show();
        QApplication::processEvents();

        // The speed graph about 40 % of the tab's height, the pages about
        // half its width, within the splitters' limits.
        const int tabH = tab.height(), tabW = tab.width();
        const int upper = tab.Splitter1->sizes()[0], left = tab.Splitter2->sizes()[0];
        EXPECT_NEAR(upper, tabH * 0.4, tabH * 0.03) << tabH;
        EXPECT_GE(upper, 132);
        EXPECT_LE(upper, tabH - 160);
        EXPECT_NEAR(left, tabW * 0.5, tabW * 0.03) << tabW;
        EXPECT_GE(left, 120);
        EXPECT_LE(left, tabW - 400);

        // Four laps, the G page, playback stopped part way: every read-out filled.
        tab.PageControl2->setCurrentIndex(1);
        f.session.comparison.PlayTm = 1.5L;
        tab.SpeedButtonFWD->click();
        QApplication::processEvents();
        EXPECT_EQ(Names(CutLabels({tab.LabelPlayTm, tab.LabelZoomDist}, &w)), "");
        QList<QLabel*> lines;
        for (QLabel* l : tab.LabelSlot) lines << l;
        for (QLabel* l : tab.LabelSect) lines << l;
        EXPECT_EQ(Names(CutLabels(lines, &w, true)), "");
        for (int page2 = 0; page2 < 4; ++page2) {
            if (page2 == 2) continue;
            tab.PageControl2->setCurrentIndex(page2);
            QApplication::processEvents();
            if (page2 == 1) {
                // The read-out lines and bars leave the G view's outer ring
                // whole (away from the vertical axis, where arrows may cross it).
                PaneWidget* pane = tab.PaintBoxGraphG;
                const QImage shown = pane->Render();
                QImage dial(pane->size(), QImage::Format_RGB32);
                dial.fill(Qt::white);
                {
                    QPainter p(&dial);
                    p.setFont(pane->font());
                    DrawGView(p, dial.rect(), PaneInputOf(f.session));
                }
                const GGeom g = GGeomOf(pane->size(), f.session.graphView.GRangeIdx);
                int ring = 0, covered = 0;
                for (int y = 0; y < dial.height(); ++y)
                    for (int x = 0; x < dial.width(); ++x) {
                        if (std::abs(x - g.cx) <= 20 || dial.pixel(x, y) != QColor(0xE0, 0xE0, 0xE0).rgb()) continue;
                        if (std::abs(std::hypot(x - g.cx, y - g.cy) - g.r) > 2) continue;
                        ++ring;
                        covered += shown.pixel(x, y) != dial.pixel(x, y);
                    }
                EXPECT_GT(ring, 100);
                EXPECT_EQ(covered, 0);
            }
            EXPECT_TRUE(w.grab().save(test::OutputDir() + QString("/layout_graph%1_%2.png").arg(page2).arg(tag)));
        }

        // The video page, synced, its labels filled.
        tab.PageControl2->setCurrentIndex(2);
        if (!link.VideoSynced()) {
            f.prompts.openResults.push_back({tmp.path() + "/v.mkv"});
            page->SpeedButtonOpenVideo->click();
            ASSERT_GT(link.VideoDuration(), 0);
            ASSERT_TRUE(test::PumpUntil([&] { return !link.state().VideoKeyStepReq && link.Paused(); }));
            ASSERT_TRUE(test::PumpUntil([&] { return link.CurrentPts() >= 0; }));
            f.session.comparison.PlayTm = 1.5L;
            page->SpeedButtonSetSta->click();
            ASSERT_TRUE(link.VideoSynced());
        }
        tab.SpeedButtonFWD->click();
        ASSERT_TRUE(
            test::PumpUntil([&] { return page->LabelPTS->text() != "." && page->LabelSpdWithVideo->text() != "."; }));
        QApplication::processEvents();
        QList<QWidget*> strip = {page->LabelPTS, page->LabelVideoDttm, page->LabelSpdWithVideo, page->PaintBoxVideoBar,
                                 page->PaintBoxVideoG};
        for (QToolButton* b : page->findChildren<QToolButton*>()) strip << b;
        EXPECT_EQ(Names(Overlaps(strip, &w)), "");
        EXPECT_EQ(Names(CutLabels({page->LabelPTS, page->LabelVideoDttm, page->LabelSpdWithVideo}, &w)), "");
        EXPECT_GE(page->PaintBoxVideoBar->width(), 120);
        EXPECT_TRUE(w.grab().save(test::OutputDir() + QString("/layout_graph2_%1.png").arg(tag)));

        // The data tab: every header caption and every data name whole.
        w.PageControl1->setCurrentIndex(1);
        QApplication::processEvents();
        QTableView* grid = w.findChild<QTableView*>("StringGridLapData");
        ASSERT_TRUE(grid);
        QHeaderView* header = grid->horizontalHeader();
        for (int c = 0; c < header->count(); ++c) {
            if (header->isSectionHidden(c)) continue;
            const QString text = grid->model()->headerData(c, Qt::Horizontal).toString();
            const QVariant font = grid->model()->headerData(c, Qt::Horizontal, Qt::FontRole);
            const QFontMetrics fm(font.isValid() ? font.value<QFont>() : header->font());
            const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
            EXPECT_GE(header->sectionSize(c), fm.horizontalAdvance(text) + 2 * margin) << c << " " << text.toStdString();
        }
        for (int r = 0; r < grid->model()->rowCount(); ++r) {
            const QString name = grid->model()->index(r, 0).data().toString();
            EXPECT_GE(header->sectionSize(0), grid->fontMetrics().horizontalAdvance(name) + 4) << name.toStdString();
        }
        EXPECT_TRUE(w.grab().save(test::OutputDir() + QString("/layout_data_%1.png").arg(tag)));
    }
    link.SpeedButtonClrVideoClick();
}
