#include "analysis/sector_adjust_dialog.h"

#include <algorithm>
#include <cmath>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include "model/colors.h"
#include "platform/prompts.h"

namespace vel {

namespace {


// Lines ending this far out are clipped before drawing; nearer ones are
// drawn between their rounded pixels.
constexpr long double NearPx = 30000;

// The part of the segment inside the box grown by a margin (Liang-Barsky);
// false when none is.
bool ClipToBox(long double& x1, long double& y1, long double& x2, long double& y2, int W, int H) {
    const long double lo[2] = {-8.0L, -8.0L};
    const long double hi[2] = {W + 8.0L, H + 8.0L};
    long double t0 = 0, t1 = 1;
    const long double p0[2] = {x1, y1};
    const long double d[2] = {x2 - x1, y2 - y1};
    for (int a = 0; a < 2; ++a) {
        for (const auto& [num, den] : {std::pair{p0[a] - lo[a], -d[a]}, std::pair{hi[a] - p0[a], d[a]}}) {
            if (den == 0) {
                if (num < 0) return false;
                continue;
            }
            const long double t = num / den;
            if (den < 0) t0 = std::max(t0, t);
            else t1 = std::min(t1, t);
            if (t0 > t1) return false;
        }
    }
    x2 = p0[0] + d[0] * t1;
    y2 = p0[1] + d[1] * t1;
    x1 = p0[0] + d[0] * t0;
    y1 = p0[1] + d[1] * t0;
    return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
}

// A straight line between two positions, far ends clipped to the box.
void PosLine(QPainter& p, const EdSectProjection& proj, long double lon1, long double lat1, long double lon2,
             long double lat2) {
    long double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    proj.ToPixelF(lon1, lat1, x1, y1);
    proj.ToPixelF(lon2, lat2, x2, y2);
    const auto near = [](long double v) { return std::fabs(v) < NearPx; };
    if (near(x1) && near(y1) && near(x2) && near(y2)) {
        p.drawLine(proj.ToPixel(lon1, lat1), proj.ToPixel(lon2, lat2));
        return;
    }
    if (ClipToBox(x1, y1, x2, y2, proj.W, proj.H))
        p.drawLine(QLineF(double(x1), double(y1), double(x2), double(y2)));
}

// The walk over a polyline: a move to its first point; a point inside the
// view is joined to the last one, or moved to when that lay outside; a point
// outside lifts the pen. pen(i) sets the pen of the segment to point i.
template <class Pos, class Pen>
void ViewWalk(QPainter& p, const EdSectProjection& proj, int count, Pos pos, Pen pen) {
    if (count <= 0) return;
    long double lon = 0, lat = 0;
    pos(0, lon, lat);
    bool down = proj.Inside(lon, lat);
    QPoint last = proj.ToPixel(lon, lat);
    for (int i = 1; i < count; ++i) {
        pos(i, lon, lat);
        if (!proj.Inside(lon, lat)) {
            down = false;
            continue;
        }
        const QPoint pt = proj.ToPixel(lon, lat);
        if (down) {
            pen(i);
            p.drawLine(last, pt);
        }
        last = pt;
        down = true;
    }
}

void DrawTrace(QPainter& p, const EdSectProjection& proj, const TLapDtRec& lap, uint32_t color, bool rduOn) {
    const int m = static_cast<int>(std::max<qsizetype>(0, std::min<qsizetype>(lap.ElmNum, lap.Elm.size())));
    const TLapElmRec* e = lap.Elm.constData();
    const QColor normal = ColorOf(color), lowSat = ColorOf(EdSectLowSatColor);
    ViewWalk(
        p, proj, m, [e](int i, long double& lon, long double& lat) { lon = e[i].Kdo; lat = e[i].Ido; },
        [&](int i) {
            QPen pen(e[i].UseSat < EdSectLowSat ? lowSat : normal, 1);
            pen.setStyle(rduOn && e[i].Spd < e[i - 1].Spd ? Qt::DotLine : Qt::SolidLine);
            p.setPen(pen);
        });
}

QIcon ZoomGlyph(bool in) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter g(&pm);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::black, 1.5));
    g.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    g.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
    g.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
    if (in) g.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
    return QIcon(pm);
}

} // namespace

void DrawEdSectBack(QPainter& p, const EdSectScene& scene, const EdSectState& st, const EdSectProjection& proj) {
    p.fillRect(QRect(0, 0, proj.W, proj.H), Qt::white);
    if (!proj.valid) return;

    p.setPen(QPen(ColorOf(EdSectOtherLineColor), 1, Qt::SolidLine));
    for (int i = 0; i < scene.lines.Count(); ++i) {
        if (i == st.sel) continue;
        const TSectRec& s = scene.lines.Sect[i];
        PosLine(p, proj, s.Kdo1, s.Ido1, s.Kdo2, s.Ido2);
    }

    p.setPen(QPen(ColorOf(EdSectPathColor), EdSectPathWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const TPathRec& path : scene.paths.CoursePath) {
        const int m = static_cast<int>(std::min<qsizetype>(path.ElmNum, path.Elm.size()));
        const TPathElmRec* e = path.Elm.constData();
        ViewWalk(
            p, proj, m, [e](int i, long double& lon, long double& lat) { lon = e[i].Kdo; lat = e[i].Ido; },
            [](int) {});
    }

    for (int k = DispSlotNum - 1; k >= 0; --k) {
        const TDispSlotRec& slot = scene.cmp.DispSlot[k];
        if (!slot.Active || slot.LapIdx < 0 || slot.LapIdx >= scene.laps.LapDt.size()) continue;
        DrawTrace(p, proj, scene.laps.LapDt[slot.LapIdx], SlotColor[k], scene.rduOn);
    }
}

void DrawEdSectFront(QPainter& p, const EdSectState& st, const EdSectProjection& proj) {
    if (!proj.valid) return;
    const QPoint a = proj.ToPixel(st.line.Kdo1, st.line.Ido1);
    const QPoint b = proj.ToPixel(st.line.Kdo2, st.line.Ido2);
    const auto handle = [&p](QPoint c) { p.fillRect(QRect(c.x() - 3, c.y() - 3, 6, 6), Qt::black); };
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    handle(a);
    PosLine(p, proj, st.line.Kdo1, st.line.Ido1, st.line.Kdo2, st.line.Ido2);
    handle(b);
}

TOKBottomDlgSelEdSect::TOKBottomDlgSelEdSect(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgSelEdSect");
    setWindowTitle("調整セクタ選択");
    setModal(true);
    auto* v = new QVBoxLayout(this);
    const char* texts[MaxSectLines] = {"セクタ 1", "セクタ 2", "セクタ 3", "セクタ4"};
    for (int i = 0; i < MaxSectLines; ++i) {
        RadioButton[i] = new QRadioButton(QString::fromUtf8(texts[i]), this);
        RadioButton[i]->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        v->addWidget(RadioButton[i]);
    }
    QDialogButtonBox* buttons = OkCancelButtons(this);
    v->addWidget(buttons);
}

void TOKBottomDlgSelEdSect::Setup(int sectNum, int preselect) {
    for (int i = 0; i < MaxSectLines; ++i) {
        RadioButton[i]->setEnabled(i < sectNum);
        RadioButton[i]->setChecked(i == preselect && i < sectNum);
    }
}

int TOKBottomDlgSelEdSect::Selected() const {
    for (int i = 0; i < MaxSectLines; ++i)
        if (RadioButton[i]->isEnabled() && RadioButton[i]->isChecked()) return i;
    return -1;
}

TOKBottomDlgEdSect::TOKBottomDlgEdSect(const EdSectScene& scene, QWidget* parent)
    : QDialog(parent), scene_(scene), backBmp_(1, 1, QImage::Format_RGB32) {
    setObjectName("OKBottomDlgEdSect");
    setWindowTitle("セクタ調整");
    setModal(true);
    setFixedSize(570, 514);
    backBmp_.fill(Qt::white);

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 462, 462);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    PaintBox1 = new QWidget(Panel1);
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->setGeometry(1, 1, EdSectBoxSize, EdSectBoxSize);
    PaintBox1->installEventFilter(this);
    // The front layer lies over the back one and leaves it showing through.
    PaintBox2 = new QWidget(Panel1);
    PaintBox2->setObjectName("PaintBox2");
    PaintBox2->setGeometry(1, 1, EdSectBoxSize, EdSectBoxSize);
    PaintBox2->setMouseTracking(true);
    PaintBox2->installEventFilter(this);
    PaintBox2->raise();

    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(462, 0, 108, 462);
    Panel2->setAutoFillBackground(true);
    Panel2->setPalette(white);
    UpDownDtcN = new QSpinBox(Panel2);
    UpDownDtcN->setObjectName("UpDownDtcN");
    UpDownDtcN->setGeometry(16, 16, 44, 22);
    UpDownDtcN->setRange(1, EdSectPassMax);
    UpDownDtcN->setValue(1);
    UpDownDtcN->setAttribute(Qt::WA_InputMethodEnabled, false);
    UpDownDtcN->setInputMethodHints(Qt::ImhDigitsOnly);
    Label1 = new QLabel("回目の", Panel2);
    Label1->setObjectName("Label1");
    Label1->setGeometry(62, 16, 44, 22);
    Label2 = new QLabel("通過を計測", Panel2);
    Label2->setObjectName("Label2");
    Label2->setGeometry(16, 42, 90, 22);
    SpeedButtonZin = new QToolButton(Panel2);
    SpeedButtonZin->setObjectName("SpeedButtonZin");
    SpeedButtonZin->setToolTip("ズームイン");
    SpeedButtonZin->setIcon(ZoomGlyph(true));
    SpeedButtonZin->setGeometry(30, 414, 23, 22);
    SpeedButtonZin->setFocusPolicy(Qt::NoFocus);
    SpeedButtonZout = new QToolButton(Panel2);
    SpeedButtonZout->setObjectName("SpeedButtonZout");
    SpeedButtonZout->setToolTip("ズームアウト");
    SpeedButtonZout->setIcon(ZoomGlyph(false));
    SpeedButtonZout->setGeometry(54, 414, 23, 22);
    SpeedButtonZout->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButtonZin, &QToolButton::clicked, this, &TOKBottomDlgEdSect::SpeedButtonZinClick);
    connect(SpeedButtonZout, &QToolButton::clicked, this, &TOKBottomDlgEdSect::SpeedButtonZoutClick);

    ButtonOK = new QPushButton("OK", this);
    ButtonOK->setObjectName("ButtonOK");
    ButtonOK->setGeometry(396, 478, 80, 26);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton("キャンセル", this);
    ButtonCancel->setObjectName("ButtonCancel");
    ButtonCancel->setGeometry(482, 478, 80, 26);
    connect(ButtonOK, &QPushButton::clicked, this, &TOKBottomDlgEdSect::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TOKBottomDlgEdSect::Setup(const EdSectState& st) {
    st_ = st;
    st_.drag = EdSectDrag::None;
    // A pass number beyond the field's range is kept rather than cut.
    UpDownDtcN->setRange(1, std::max<int>(EdSectPassMax, st.passNo));
    UpDownDtcN->setValue(st.passNo);
    redraw_ = true;
    PaintBox1->update();
    PaintBox2->update();
}

EdSectState TOKBottomDlgEdSect::State() const {
    EdSectState st = st_;
    st.passNo = UpDownDtcN->value();
    return st;
}

EdSectProjection TOKBottomDlgEdSect::Projection() const {
    return MakeEdSectProjection(st_.lonC, st_.latC, st_.zoom, PaintBox2->width(), PaintBox2->height());
}

void TOKBottomDlgEdSect::LeaveField() {
    if (UpDownDtcN->hasFocus()) ButtonOK->setFocus();
    UpDownDtcN->interpretText();
}

void TOKBottomDlgEdSect::Zoomed(long double zoom) {
    if (zoom == st_.zoom) return;
    st_.zoom = zoom;
    redraw_ = true;
    PaintBox1->update();
    PaintBox2->update();
}

void TOKBottomDlgEdSect::SpeedButtonZinClick() {
    LeaveField();
    Zoomed(EdSectZoomIn(st_.zoom));
}

void TOKBottomDlgEdSect::SpeedButtonZoutClick() {
    LeaveField();
    Zoomed(EdSectZoomOut(st_.zoom));
}

void TOKBottomDlgEdSect::ButtonOKClick() {
    LeaveField();
    if (!EdSectLineUsable(st_.line)) {
        // Nothing would be stored: say so and let the user move an end.
        if (prompts) prompts->Warn(EdSectSamePointText);
        return;
    }
    accept();
}

void TOKBottomDlgEdSect::PaintBox1Paint() {
    if (redraw_ || backBmp_.size() != PaintBox1->size()) {
        backBmp_ = QImage(PaintBox1->size(), QImage::Format_RGB32);
        QPainter g(&backBmp_);
        DrawEdSectBack(g, scene_, st_, Projection());
        redraw_ = false;
        ++backDraws_;
    }
    QPainter p(PaintBox1);
    p.drawImage(0, 0, backBmp_);
}

void TOKBottomDlgEdSect::PaintBox2Paint() {
    QPainter p(PaintBox2);
    DrawEdSectFront(p, st_, Projection());
}

void TOKBottomDlgEdSect::PaintBox2MouseDown(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || e->buttons() != Qt::LeftButton) return;
    LeaveField();
    EdSectPress(st_, Projection(), e->position().toPoint());
}

void TOKBottomDlgEdSect::PaintBox2MouseMove(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    PaintBox2->setCursor(EdSectCrossCursor(pt, PaintBox2->geometry()) ? Qt::CrossCursor : Qt::ArrowCursor);
    if (EdSectMove(st_, Projection(), pt)) PaintBox2->update();
}

void TOKBottomDlgEdSect::PaintBox2MouseUp(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || st_.drag == EdSectDrag::None) return;
    EdSectRelease(st_, Projection(), e->position().toPoint());
    PaintBox2->update();
}

void TOKBottomDlgEdSect::Wheel(QWheelEvent* e) {
    // Touchpads send begin and end markers that move nothing.
    if (e->angleDelta().isNull()) return;
    if (!PaintBox2->rect().contains(e->position().toPoint())) return;
    Zoomed(e->angleDelta().y() > 0 ? EdSectZoomIn(st_.zoom) : EdSectZoomOut(st_.zoom));
}

bool TOKBottomDlgEdSect::eventFilter(QObject* watched, QEvent* e) {
    if (watched == PaintBox1 && e->type() == QEvent::Paint) {
        PaintBox1Paint();
        return true;
    }
    if (watched != PaintBox2) return QDialog::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::Paint: PaintBox2Paint(); return true;
    case QEvent::MouseButtonPress: PaintBox2MouseDown(static_cast<QMouseEvent*>(e)); return true;
    case QEvent::MouseMove: PaintBox2MouseMove(static_cast<QMouseEvent*>(e)); return true;
    case QEvent::MouseButtonRelease: PaintBox2MouseUp(static_cast<QMouseEvent*>(e)); return true;
    case QEvent::Wheel: Wheel(static_cast<QWheelEvent*>(e)); return true;
    default: return QDialog::eventFilter(watched, e);
    }
}

} // namespace vel
