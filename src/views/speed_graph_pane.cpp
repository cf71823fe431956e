#include "views/speed_graph_pane.h"

#include <cstdint>
#include <cstring>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include "views/graph_tab.h"
#include "views/speed_bars.h"
#include "views/speed_graph.h"

namespace vel {

namespace {

double PtrValue(const void* p) { return static_cast<double>(reinterpret_cast<std::uintptr_t>(p)); }

// Paints the axis-mode tabs in place of their plain captions.
class AxisTabPainter : public QObject {
public:
    explicit AxisTabPainter(GraphTab& tab) : QObject(&tab), tab_(tab) {}

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint) return false;
        auto* w = static_cast<QWidget*>(o);
        const bool distTab = w == tab_.PaintBoxDist;
        const Session* s = tab_.host().session;
        const bool distShown = !s || s->graphView.Axis == AxisMode::Dist;
        QPainter p(w);
        p.setFont(w->font());
        DrawAxisTab(p, w->size(), distTab ? QStringLiteral("キョリ") : QStringLiteral("時間"), distTab,
                    distTab == distShown);
        return true;
    }

private:
    GraphTab& tab_;
};

} // namespace

SpeedGraphPane::SpeedGraphPane(QWidget* parent) : PaneWidget("PaintBoxSpd", false, parent) {}

SpeedGeometry SpeedGraphPane::Geometry() const { return SpeedGeometryOf(QFontMetrics(font(), this), size()); }

// Everything the plot depends on except the cursor; the window start and
// width count, so a zoomed window that follows the cursor redraws.
std::vector<double> SpeedGraphPane::Signature(const PaneInput& in, QSize size) const {
    std::vector<double> k;
    k.reserve(160);
    const Comparison& c = in.cmp;
    const GraphView& v = in.view;
    const AxisWindow win = AxisWindowOf(in);
    k.insert(k.end(), {double(size.width()), double(size.height()), double(qHash(font().key())), win.s, win.w,
                       double(int(v.Axis)), double(int(v.GSel)), double(v.GRangeIdx), double(v.SpdZoom), double(v.DiffTmOn),
                       double(v.AltitudeOn), double(v.XYGOn), double(v.DriftOn), double(in.settings.SpdKmh),
                       double(in.settings.DistKm), double(in.settings.MinUseSat), double(in.sectors.SectNum),
                       double(c.DispMinSpd), double(c.DispMaxSpd), double(c.DispElvLo), double(c.DispElvHi),
                       double(c.DispLapDist), double(c.DispLapSec), double(c.SelSect), double(c.DeltaTmMin),
                       double(c.DeltaTmMax), PtrValue(c.DeltaTm.constData()), double(c.DeltaTm.size()),
                       double(in.laps.LapDtNum), double(in.laps.LapDt.size())});
    for (int s = 0; s < DispSlotNum; ++s) {
        const TDispSlotRec& d = c.DispSlot[s];
        k.insert(k.end(), {double(d.Active), double(d.LapIdx), double(c.TmOfs[s]), double(c.DistOfs[s])});
        for (int j = 0; j < SectArrNum; ++j)
            k.insert(k.end(), {double(d.SectTm[j]), double(d.SectStaDist[j]), double(d.SectStaSec[j])});
    }
    for (const TLapDtRec& lap : in.laps.LapDt)
        k.insert(k.end(), {PtrValue(lap.Elm.constData()), PtrValue(lap.GElm.constData()),
                           PtrValue(lap.DElm.constData()), double(lap.ElmNum), double(lap.driftAct),
                           double(lap.LapDist), lap.LapTim, double(qHash(lap.DtName))});
    return k;
}

void SpeedGraphPane::Draw(QPainter& p, const QRect& r, const PaneInput& in) {
    p.setFont(font());
    std::vector<double> sig = Signature(in, r.size());
    if (plot_.size() != r.size() || sig.size() != signature_.size() ||
        std::memcmp(sig.data(), signature_.data(), sig.size() * sizeof(double)) != 0) {
        plot_ = QImage(r.size(), QImage::Format_RGB32);
        // The picture measures its font as the widget does.
        plot_.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
        plot_.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
        QPainter ip(&plot_);
        ip.setFont(font());
        DrawSpeedGraph(ip, plot_.rect(), in);
        signature_ = std::move(sig);
        ++plotDraws_;
    }
    p.drawImage(r.topLeft(), plot_);
    DrawPosBar(p, r, in, Geometry());
}

bool SpeedGraphPane::PictureKey(const PaneInput& in, QSize size, std::vector<double>& key) const {
    key = Signature(in, size);
    const SpeedGeometry g = SpeedGeometryOf(QFontMetrics(font(), this), size);
    const AxisWindow win = AxisWindowOf(in);
    key.insert(key.end(), {double(in.cmp.DispSlot[0].Active), double(AxisX(win, g.L, g.W, win.p))});
    return true;
}

void SpeedGraphPane::mousePressEvent(QMouseEvent* e) {
    const PaneHost& h = host();
    if (!h.session || !h.session->comparison.DispSlot[0].Active) return;
    Session& s = *h.session;
    if (e->button() == Qt::RightButton) {
        if (s.graphView.Playing) return;
        s.graphView.PopupSrc = 0;
        if (onPopup) onPopup(e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    const std::optional<double> t = SpeedGraphClickTime(PaneInputOf(s), Geometry(), e->position().toPoint());
    if (t) MoveCursorTo(*t, PlayEntry::SpeedGraphClick);
}

PaneWidget* MakeSpeedBarsPane(QWidget* parent) {
    auto* pane = new PaneWidget("PaintBoxSpdBar", false, parent);
    pane->SetDrawFunctions([pane](QPainter& p, const QRect& r, const PaneInput& in) {
        p.setFont(pane->font());
        DrawSpeedBars(p, r, in);
    });
    return pane;
}

SpeedGraphPane* InstallSpeedGraphPanes(GraphTab& tab) {
    auto* spd = new SpeedGraphPane;
    tab.SetPane(PaneSlot::SpeedGraph, spd);
    tab.SetPane(PaneSlot::SpeedBars, MakeSpeedBarsPane());
    auto* tabs = new AxisTabPainter(tab);
    tab.PaintBoxDist->installEventFilter(tabs);
    tab.PaintBoxTime->installEventFilter(tabs);
    return spd;
}

} // namespace vel
