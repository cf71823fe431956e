#include "views/graph_tab.h"

#include <algorithm>
#include <cmath>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include "platform/tool_buttons.h"
#include "views/glyphs.h"
#include "views/readout_widgets.h"

namespace vel {

namespace {

QToolButton* GlyphButton(QWidget* parent, QBoxLayout* layout, const char* name, const QString& hint, Glyph g) {
    QToolButton* b = ToolButton(parent, layout, name, QString(), hint);
    b->setIcon(GlyphIcon(g));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    return b;
}

// A switch panel with its 16-pixel picture inside.
QFrame* GlyphPanel(QWidget* parent, QBoxLayout* layout, const char* name, const QString& hint, Glyph g) {
    QFrame* p = SwitchPanel(parent, name, hint);
    auto* img = new QLabel(p);
    img->setPixmap(QPixmap::fromImage(GlyphImage(g)));
    img->setGeometry(3, 3, 16, 16);
    img->setToolTip(hint);
    layout->addWidget(p);
    return p;
}

// The slot colours: red, blue, teal, olive.
const QColor SlotQColor[4] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 128, 128), QColor(128, 128, 0)};

} // namespace

GraphTab::GraphTab(QWidget* parent) : QWidget(parent) {
    auto* gv = new QVBoxLayout(this);
    gv->setContentsMargins(2, 2, 2, 2);
    gv->setSpacing(0);
    BuildTopBand();
    Splitter2 = new QSplitter(Qt::Horizontal);
    Splitter2->setObjectName("Splitter2");
    Splitter2->addWidget(BuildPages());
    Splitter2->addWidget(BuildZoomSide());
    Splitter2->setChildrenCollapsible(false);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Splitter2);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    gv->addWidget(Splitter1, 1);
    PlaceSplitters();

    // The read-out lines look through the tab to the colour under it.
    MarkPaintsNothing(this);
    // The keyboard belongs to the play keys: no tool control takes the focus.
    for (QToolButton* b : findChildren<QToolButton*>()) b->setFocusPolicy(Qt::NoFocus);
    for (QRadioButton* b : findChildren<QRadioButton*>()) b->setFocusPolicy(Qt::NoFocus);
    ComboBoxG->setFocusPolicy(Qt::NoFocus);
    UpdatePaneMembers();
}

void GraphTab::BuildTopBand() {
    Panel1 = new QFrame;
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    Panel1->setMinimumHeight(132);
    auto* v = new QVBoxLayout(Panel1);
    v->setContentsMargins(1, 1, 1, 1);
    v->setSpacing(0);

    PanelTool = new QFrame(Panel1);
    PanelTool->setObjectName("PanelTool");
    PanelTool->setFixedHeight(26);
    PanelTool->setAutoFillBackground(true);
    QPalette face = PanelTool->palette();
    face.setColor(QPalette::Window, palette().color(QPalette::Button));
    PanelTool->setPalette(face);
    auto* th = new QHBoxLayout(PanelTool);
    th->setContentsMargins(2, 1, 2, 1);
    th->setSpacing(1);
    auto stripTool = [&](const char* name, const QString& text, const QString& hint) {
        return ToolButton(PanelTool, th, name, text, hint);
    };
    SpeedButtonLdLogFile = stripTool("SpeedButtonLdLogFile", "GPSログ読込", "保存済みGPSログ読込");
    SpeedButtonReLog = stripTool("SpeedButtonReLog", "再表示", "読込済みGPSログの再表示");
    SpeedButtonLdSect = stripTool("SpeedButtonLdSect", "セクタ読込", "セクタ読込");
    SpeedButtonSvSect = stripTool("SpeedButtonSvSect", "セクタ保存", "セクタ保存");
    SpeedButtonSelSect = stripTool("SpeedButtonSelSect", "セクタ検索", "セクタ検索");
    SpeedButtonSetSect = stripTool("SpeedButtonSetSect", "セクタ設定", "セクタ設定");
    SpeedButtonClrSect = stripTool("SpeedButtonClrSect", "セクタ解除", "セクタ解除");
    SpeedButtonEdSect = stripTool("SpeedButtonEdSect", "セクタ調整", "セクタ調整");
    th->addSpacing(6);
    SpeedButtonToStart = GlyphButton(PanelTool, th, "SpeedButtonToStart", "再生時間リセット", Glyph::ToStart);
    SpeedButtonBWD = GlyphButton(PanelTool, th, "SpeedButtonBWD", "1コマ戻る ( B )", Glyph::FrameBwd);
    SpeedButtonPlay = GlyphButton(PanelTool, th, "SpeedButtonPlay", "再生／停止 ( スペースバー )", Glyph::Play);
    SpeedButtonPlay->setIcon(QIcon(PlayButtonGlyph(false, palette().color(QPalette::Button))));
    SpeedButtonFWD = GlyphButton(PanelTool, th, "SpeedButtonFWD", "1コマ進む ( F )", Glyph::FrameFwd);
    auto radio = [&](const char* name, const char* caption, const char* hint) {
        auto* r = new QRadioButton(QString::fromUtf8(caption), PanelTool);
        r->setObjectName(name);
        r->setToolTip(QString::fromUtf8(hint));
        th->addWidget(r);
        return r;
    };
    RadioButtonX05 = radio("RadioButtonX05", "/2", "1／2倍速再生");
    RadioButtonX1 = radio("RadioButtonX1", "x1", "再生");
    RadioButtonX2 = radio("RadioButtonX2", "x2", "倍速再生");
    RadioButtonX4 = radio("RadioButtonX4", "x4", "4倍速再生");
    RadioButtonX8 = radio("RadioButtonX8", "x8", "8倍速再生");
    RadioButtonX1->setChecked(true);
    SpeedButtonDistOfs =
        GlyphButton(PanelTool, th, "SpeedButtonDistOfs", "セクタ位置で横軸を合わせる", Glyph::DistOfs);
    SpeedButtonReset = GlyphButton(PanelTool, th, "SpeedButtonReset", "表示データクリア", Glyph::Reset);
    th->addSpacing(6);
    PanelDiffTm = GlyphPanel(PanelTool, th, "PanelDiffTm", "タイム差 表示／非表示", Glyph::DiffTm);
    PanelAltitude = GlyphPanel(PanelTool, th, "PanelAltitude", "標高 表示／非表示", Glyph::Altitude);
    PanelXYG = GlyphPanel(PanelTool, th, "PanelXYG", "G 表示／非表示", Glyph::XYG);
    ComboBoxG = new QComboBox(PanelTool);
    ComboBoxG->setObjectName("ComboBoxG");
    ComboBoxG->addItems({"XY(合算)G", "X(横)G", "Y(縦)G"});
    ComboBoxG->setToolTip("表示G選択 XY:合算G/X:横G/Y:縦G");
    ComboBoxG->setCurrentIndex(0);
    th->addWidget(ComboBoxG);
    PanelDrift = GlyphPanel(PanelTool, th, "PanelDrift", "ドリフト角 表示／非表示", Glyph::Drift);
    th->addStretch();
    SetSwitchPanel(PanelDiffTm, true);
    SetSwitchPanel(PanelAltitude, false);
    SetSwitchPanel(PanelXYG, false);
    SetSwitchPanel(PanelDrift, true);
    v->addWidget(PanelTool);

    auto* band = new QHBoxLayout;
    band->setContentsMargins(0, 0, 0, 0);
    band->setSpacing(0);
    Panel3 = new QFrame(Panel1);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedWidth(27);
    auto* p3 = new QVBoxLayout(Panel3);
    p3->setContentsMargins(0, 0, 0, 0);
    p3->setSpacing(0);
    auto axisTab = [&](const char* panel, const char* box, const char* caption, QWidget*& boxOut) {
        auto* f = new QFrame(Panel3);
        f->setObjectName(panel);
        f->setFixedSize(27, 51);
        f->setLineWidth(1);
        auto* l = new QVBoxLayout(f);
        l->setContentsMargins(1, 1, 1, 1);
        boxOut = new VerticalCaption(box, QString::fromUtf8(caption), f);
        l->addWidget(boxOut);
        p3->addWidget(f);
        return f;
    };
    PanelDist = axisTab("PanelDist", "PaintBoxDist", "キョリ", PaintBoxDist);
    PanelTime = axisTab("PanelTime", "PaintBoxTime", "時間", PaintBoxTime);
    SetSwitchPanel(PanelDist, false);
    SetSwitchPanel(PanelTime, true);
    Panel6 = new QFrame(Panel3);
    Panel6->setObjectName("Panel6");
    auto* p6 = new QVBoxLayout(Panel6);
    p6->setContentsMargins(0, 2, 0, 0);
    p6->setSpacing(1);
    SpeedButtonSpdZin = GlyphButton(Panel6, p6, "SpeedButtonSpdZin", "横軸拡大", Glyph::SpdZoomIn);
    SpeedButtonSpdZout = GlyphButton(Panel6, p6, "SpeedButtonSpdZout", "横軸縮小", Glyph::SpdZoomOut);
    p6->addStretch();
    p3->addWidget(Panel6, 1);
    band->addWidget(Panel3);

    panes_[int(PaneSlot::SpeedGraph)] = new PaneWidget("PaintBoxSpd", false, Panel1);
    panes_[int(PaneSlot::SpeedBars)] = new PaneWidget("PaintBoxSpdBar", false, Panel1);
    panes_[int(PaneSlot::SpeedBars)]->setFixedWidth(68);
    band->addWidget(panes_[int(PaneSlot::SpeedGraph)], 1);
    band->addWidget(panes_[int(PaneSlot::SpeedBars)]);
    v->addLayout(band, 1);
}

QWidget* GraphTab::BuildPages() {
    auto* left = new QWidget;
    left->setObjectName("PanelPages");
    left->setMinimumWidth(120);
    auto* v = new QVBoxLayout(left);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    PageControl2 = new QTabWidget(left);
    PageControl2->setObjectName("PageControl2");

    auto page = [](QWidget* content) {
        auto* w = new QWidget;
        auto* l = new QVBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addWidget(content, 1);
        return w;
    };
    panes_[int(PaneSlot::Course)] = new PaneWidget("PaintBoxGraph", true);
    PageControl2->addTab(page(panes_[int(PaneSlot::Course)]), "コース");

    panes_[int(PaneSlot::GView)] = new PaneWidget("PaintBoxGraphG", true);
    QWidget* gPage = page(panes_[int(PaneSlot::GView)]);
    auto* gBar = new QHBoxLayout;
    gBar->setContentsMargins(2, 1, 2, 1);
    SpeedButtonGZin = GlyphButton(gPage, gBar, "SpeedButtonGZin", "ズームイン", Glyph::GZoomIn);
    SpeedButtonGZout = GlyphButton(gPage, gBar, "SpeedButtonGZout", "ズームアウト", Glyph::GZoomOut);
    SpeedButtonGInfo = GlyphButton(gPage, gBar, "SpeedButtonGInfo", "G 、旋回半径について", Glyph::GInfo);
    gBar->addStretch();
    static_cast<QVBoxLayout*>(gPage->layout())->addLayout(gBar);
    PageControl2->addTab(gPage, "G / 旋回半径");

    PanelVideo = new QWidget;
    PanelVideo->setObjectName("PanelVideo");
    videoWidget_ = PanelVideo;
    PageControl2->addTab(page(PanelVideo), "ビデオ");

    panes_[int(PaneSlot::Drift)] = new PaneWidget("PaintBoxGraphDrift", true);
    PageControl2->addTab(page(panes_[int(PaneSlot::Drift)]), "ドリフト");
    v->addWidget(PageControl2, 1);

    static const char* names[4] = {"LabelSectA", "LabelSectB", "LabelSectC", "LabelSectD"};
    for (int k = 0; k < 4; ++k) {
        LabelSect[k] = ReadoutLabel(left, names[k], SlotQColor[k], "データ番号、区間タイム");
        LabelSect[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->addWidget(Held(LabelSect[k]));
    }
    return left;
}

QWidget* GraphTab::BuildZoomSide() {
    PanelData = new QFrame;
    PanelData->setObjectName("PanelData");
    PanelData->setMinimumWidth(400);
    auto* v = new QVBoxLayout(PanelData);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    Panel4 = new QFrame(PanelData);
    Panel4->setObjectName("Panel4");
    auto* p4 = new QHBoxLayout(Panel4);
    p4->setContentsMargins(2, 0, 2, 0);
    p4->setSpacing(1);
    SpeedButtonZin = GlyphButton(Panel4, p4, "SpeedButtonZin", "ズームイン", Glyph::MapZoomIn);
    SpeedButtonZout = GlyphButton(Panel4, p4, "SpeedButtonZout", "ズームアウト", Glyph::MapZoomOut);
    LabelPlayTm = ReadoutLabel(Panel4, "LabelPlayTm", palette().color(QPalette::WindowText), "スタートからの経過時間");
    LabelPlayTm->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    LabelPlayTm->setFixedWidth(110);
    p4->addWidget(Held(LabelPlayTm));
    LabelZoomDist = new QLabel(".", Panel4);
    LabelZoomDist->setObjectName("LabelZoomDist");
    LabelZoomDist->setFixedWidth(90);
    p4->addWidget(LabelZoomDist);
    PanelViewRdu = GlyphPanel(Panel4, p4, "PanelViewRdu", "減速区間 表示／非表示", Glyph::ViewRdu);
    SetSwitchPanel(PanelViewRdu, true);
    p4->addStretch();
    v->addWidget(Panel4);

    // The course-map commands keep their texts, on a strip of their own.
    auto* paths = new QFrame(PanelData);
    paths->setObjectName("PanelPath");
    auto* pp = new QHBoxLayout(paths);
    pp->setContentsMargins(2, 0, 2, 0);
    pp->setSpacing(1);
    auto pathTool = [&](const char* name, const QString& text, const QString& hint) {
        return ToolButton(paths, pp, name, text, hint);
    };
    SpeedButtonPath = pathTool("SpeedButtonPath", "コース図読込", "コース図ファイル読込");
    SpeedButtonPathSave = pathTool("SpeedButtonPathSave", "コース図保存", "コース図ファイル保存");
    SpeedButtonMkPth = pathTool("SpeedButtonMkPth", "コース図作成", "コース図作成");
    SpeedButtonSelCircuit = pathTool("SpeedButtonSelCircuit", "コース図検索", "コース図検索");
    SpeedButtonN = pathTool("SpeedButtonN", "↑", "コース図調整・上へ");
    SpeedButtonS = pathTool("SpeedButtonS", "↓", "コース図調整・下へ");
    SpeedButtonW = pathTool("SpeedButtonW", "←", "コース図調整・左へ");
    SpeedButtonE = pathTool("SpeedButtonE", "→", "コース図調整・右へ");
    SpeedButtonClrPth = pathTool("SpeedButtonClrPth", "コース図消去", "コース図を消す");
    pp->addStretch();
    v->addWidget(paths);

    panes_[int(PaneSlot::ZoomMap)] = new PaneWidget("PaintBoxZoom", false, PanelData);
    v->addWidget(panes_[int(PaneSlot::ZoomMap)], 1);
    static const char* names[4] = {"LabelA", "LabelB", "LabelC", "LabelD"};
    for (int k = 0; k < 4; ++k) {
        LabelSlot[k] = ReadoutLabel(PanelData, names[k], SlotQColor[k], k == 0 ? "基準車走行データ" : "比較車走行データ");
        v->addWidget(Held(LabelSlot[k]));
    }
    return PanelData;
}

void GraphTab::PlaceSplitters() {
    // Within the limits a drag must keep (Splitter1CanResize, Splitter2CanResize).
    const auto share = [](int tab, double part, int lo, int hiGap) {
        return std::max(lo, std::min(int(std::lround(tab * part)), tab - hiGap));
    };
    const int h = height(), w = width();
    if (!userSplit1) {
        const int total = Splitter1->height() - Splitter1->handleWidth();
        const int upper = std::min(share(h, 0.4, 132, 160), total - Splitter2->minimumSizeHint().height());
        Splitter1->setSizes({upper, std::max(total - upper, 0)});
    }
    if (!userSplit2) {
        const int total = Splitter2->width() - Splitter2->handleWidth();
        const int left = share(w, 0.5, 120, 400);
        Splitter2->setSizes({left, std::max(total - left, 0)});
    }
}

void GraphTab::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    PlaceSplitters();
}

void GraphTab::UpdatePaneMembers() {
    PaintBoxSpd = Pane(PaneSlot::SpeedGraph);
    PaintBoxSpdBar = Pane(PaneSlot::SpeedBars);
    PaintBoxGraph = Pane(PaneSlot::Course);
    PaintBoxGraphG = Pane(PaneSlot::GView);
    PaintBoxGraphDrift = Pane(PaneSlot::Drift);
    PaintBoxZoom = Pane(PaneSlot::ZoomMap);
}

void GraphTab::SetHost(const PaneHost& host) {
    host_ = host;
    for (PaneWidget* p : panes_) p->SetHost(host_);
}

void GraphTab::SetPane(PaneSlot slot, PaneWidget* pane) {
    PaneWidget*& cur = panes_[int(slot)];
    if (!pane || pane == cur) return;
    QWidget* holder = cur->parentWidget();
    QLayoutItem* old = holder->layout()->replaceWidget(cur, pane, Qt::FindChildrenRecursively);
    if (!old) return;
    delete old;
    pane->setSizePolicy(cur->sizePolicy());
    if (slot == PaneSlot::SpeedBars) pane->setFixedWidth(68);
    delete cur;
    cur = pane;
    pane->SetHost(host_);
    pane->show();
    UpdatePaneMembers();
}

void GraphTab::SetVideoWidget(QWidget* w) {
    if (!w || w == videoWidget_) return;
    QWidget* holder = videoWidget_->parentWidget();
    if (QLayoutItem* old = holder->layout()->replaceWidget(videoWidget_, w)) delete old;
    if (videoWidget_ != PanelVideo) delete videoWidget_;
    else PanelVideo->hide();
    videoWidget_ = w;
    w->show();
}

void GraphTab::SetDataStr() {
    if (onSetDataStr) onSetDataStr();
}
void GraphTab::PaintBoxSpdPaint() { PaintBoxSpd->Repaint(); }
void GraphTab::PaintBoxSpdBarPaint() { PaintBoxSpdBar->Repaint(); }
void GraphTab::PaintBoxZoomPaint() { PaintBoxZoom->Repaint(); }
// The cursor layers are drawn over a copy of the cache at the next paint.
void GraphTab::SetPosMarker() { PaintBoxGraph->Repaint(); }
void GraphTab::DrawCurG() { PaintBoxGraphG->Repaint(); }
void GraphTab::DrawCurDrift() { PaintBoxGraphDrift->Repaint(); }
void GraphTab::PaintBoxGraphPaint() { PaintBoxGraph->Repaint(); }
void GraphTab::PaintBoxGraphGPaint() { PaintBoxGraphG->Repaint(); }
void GraphTab::PaintBoxGraphDriftPaint() { PaintBoxGraphDrift->Repaint(); }
void GraphTab::SetGraphDirty() { PaintBoxGraph->SetDirty(); }
void GraphTab::SetGraphGDirty() { PaintBoxGraphG->SetDirty(); }
void GraphTab::SetGraphDriftDirty() { PaintBoxGraphDrift->SetDirty(); }

bool GraphTab::IsPlaying() const { return host_.session && host_.session->graphView.Playing; }

void GraphTab::StopPlayback() {
    if (onStopPlayback) onStopPlayback();
}

void GraphTab::SwitchPanelsChanged() {
    if (!host_.session) return;
    const Settings& s = host_.session->settings;
    GraphView& v = host_.session->graphView;
    v.DiffTmOn = s.DiffTmOn;
    v.AltitudeOn = s.AltitudeOn;
    v.DriftOn = s.DriftOn;
    SetSwitchPanel(PanelDiffTm, v.DiffTmOn);
    SetSwitchPanel(PanelAltitude, v.AltitudeOn);
    SetSwitchPanel(PanelDrift, v.DriftOn);
}

} // namespace vel
