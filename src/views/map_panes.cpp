#include "views/map_panes.h"

#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include "views/course_view.h"
#include "views/drift_view.h"
#include "views/g_view.h"
#include "views/graph_tab.h"
#include "views/zoom_map.h"

namespace vel {

namespace {

bool RefShown(const PaneHost& h) { return h.session && h.session->comparison.DispSlot[0].Active; }
bool Playing(const PaneHost& h) { return h.session && h.session->graphView.Playing; }

void OpenMenu(const PaneHost& h, int src, const PictureMenuFn& menu, QPoint global) {
    h.session->graphView.PopupSrc = src;
    if (menu) menu(global);
}

} // namespace

CourseViewPane::CourseViewPane(QWidget* parent) : PaneWidget("PaintBoxGraph", true, parent) {
    SetDrawFunctions(DrawCourseView, DrawCourseCursor);
}

void CourseViewPane::ClickAt(QPoint at) {
    if (!RefShown(host())) return;
    if (auto tm = CourseClickTime(size(), at, PaneInputOf(*host().session))) MoveCursorTo(*tm, PlayEntry::CourseClick);
}

bool CourseViewPane::PictureKey(const PaneInput& in, QSize size, std::vector<double>& key) const {
    key = {double(size.width()), double(size.height()), double(in.cmp.DispSlot[0].Active)};
    CourseCursorPixels(size, in, key);
    return true;
}

void CourseViewPane::mousePressEvent(QMouseEvent* e) {
    if (!RefShown(host())) return;
    if (e->button() == Qt::RightButton) {
        if (!Playing(host())) OpenMenu(host(), 1, pictureMenu, e->globalPosition().toPoint());
    } else if (e->button() == Qt::LeftButton) {
        ClickAt(e->position().toPoint());
    }
}

ZoomMapPane::ZoomMapPane(QWidget* parent) : PaneWidget("PaintBoxZoom", false, parent) {
    SetDrawFunctions(DrawZoomMap);
    setMouseTracking(true);
}

void ZoomMapPane::ClickAt(QPoint at) {
    if (!RefShown(host()) || Playing(host())) return;
    if (auto tm = ZoomClickTime(size(), at, PaneInputOf(*host().session))) MoveCursorTo(*tm, PlayEntry::MapClick);
}

void ZoomMapPane::mousePressEvent(QMouseEvent* e) {
    if (!RefShown(host()) || Playing(host())) return;
    if (e->button() == Qt::RightButton) OpenMenu(host(), 2, pictureMenu, e->globalPosition().toPoint());
    else if (e->button() == Qt::LeftButton) ClickAt(e->position().toPoint());
}

void ZoomMapPane::mouseMoveEvent(QMouseEvent* e) {
    if (onHover) onHover(e->position().toPoint());
}

GViewPane::GViewPane(QWidget* parent) : PaneWidget("PaintBoxGraphG", true, parent) { setMouseTracking(true); }

void GViewPane::ShowHover(const GHover& hover) {
    moved_.reset();
    hover_ = std::make_shared<GHover>(hover);
    hoverPlayTm_ = host().session ? host().session->comparison.PlayTm : 0;
    Repaint();
}

void GViewPane::Draw(QPainter& p, const QRect& r, const PaneInput& in) {
    ++rebuilds_;
    hover_.reset();
    moved_.reset();
    DrawGView(p, r, in);
}

void GViewPane::DrawCursor(QPainter& p, const QRect& r, const PaneInput& in) {
    if (posMsg) {
        const bool show = in.view.Axis == AxisMode::Dist && in.cmp.DispSlot[1].Active;
        if (posMsg->isVisibleTo(posMsg->parentWidget()) != show) posMsg->setVisible(show);
    }
    const QPoint mouse = mapFromGlobal(QCursor::pos());
    DrawGViewCursor(p, r, in, underMouse() ? std::optional<QPoint>(mouse) : std::nullopt);
    // The zoom map's rows stay until the cursor moves, playback starts or
    // the mouse moves over this view.
    if (hover_ && in.cmp.PlayTm == hoverPlayTm_ && !in.view.Playing) DrawGHover(p, r, in, *hover_);
    // The mouse move's own read-out ("%4.1f") over the layer's, until the
    // cursor moves or playback starts.
    if (moved_ && in.cmp.PlayTm == movedPlayTm_ && !in.view.Playing) DrawGMouseMove(p, r, in, *moved_);
}

void GViewPane::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton && RefShown(host()) && !Playing(host()))
        OpenMenu(host(), 3, pictureMenu, e->globalPosition().toPoint());
}

void GViewPane::mouseMoveEvent(QMouseEvent* e) {
    hover_.reset();
    moved_ = e->position().toPoint();
    movedPlayTm_ = host().session ? host().session->comparison.PlayTm : 0;
    Repaint();
}

DriftViewPane::DriftViewPane(QWidget* parent) : PaneWidget("PaintBoxGraphDrift", true, parent) {
    SetDrawFunctions({}, DrawDriftCursor);
}

void DriftViewPane::Draw(QPainter& p, const QRect& r, const PaneInput& in) {
    ++rebuilds_;
    DrawDriftView(p, r, in);
}

void DriftViewPane::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton && RefShown(host()) && !Playing(host()))
        OpenMenu(host(), 4, pictureMenu, e->globalPosition().toPoint());
}

void InstallGDriftPanes(GraphTab& tab, PictureMenuFn pictureMenu) {
    auto* g = new GViewPane;
    g->pictureMenu = pictureMenu;
    tab.SetPane(PaneSlot::GView, g);
    // The note under the G view that the values are read at the reference car's distance.
    if (auto* page = qobject_cast<QVBoxLayout*>(g->parentWidget() ? g->parentWidget()->layout() : nullptr)) {
        auto* msg = new QLabel(QStringLiteral("※基準車位置(距離)でのそれぞれの値を表示"), g->parentWidget());
        msg->setObjectName("LabelGPosMsg");
        msg->hide();
        page->insertWidget(page->indexOf(g) + 1, msg);
        g->posMsg = msg;
    }
    auto* drift = new DriftViewPane;
    drift->pictureMenu = pictureMenu;
    tab.SetPane(PaneSlot::Drift, drift);
    auto* zoom = dynamic_cast<ZoomMapPane*>(tab.PaintBoxZoom);
    if (!zoom) return;
    GraphTab* t = &tab;
    zoom->onHover = [t, zoom, g](QPoint at) {
        if (!zoom->host().session) return;
        const Session& s = *zoom->host().session;
        const bool gPage = t->PageControl2->currentIndex() == int(InnerPage::GView);
        const GHover h = GHoverAt(zoom->size(), at, PaneInputOf(s), gPage);
        t->LabelZoomDist->setText(h.distText);
        if (h.drawRows && t->PaintBoxGraphG == g) g->ShowHover(h);
    };
}

void InstallMapPanes(GraphTab& tab, PictureMenuFn pictureMenu) {
    auto* course = new CourseViewPane;
    course->pictureMenu = pictureMenu;
    tab.SetPane(PaneSlot::Course, course);
    auto* zoom = new ZoomMapPane;
    zoom->pictureMenu = pictureMenu;
    tab.SetPane(PaneSlot::ZoomMap, zoom);
}

} // namespace vel
