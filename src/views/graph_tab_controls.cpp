#include "views/graph_tab_controls.h"

#include <algorithm>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include "platform/tool_buttons.h"
#include "views/g_info_dialog.h"
#include "views/glyphs.h"
#include "views/graph_tab.h"
#include "views/key_poll.h"
#include "views/play_clock.h"
#include "views/readouts.h"
#include "views/view_commands.h"

namespace vel {

namespace {

bool Over(const QWidget* w, QPoint globalPos) {
    if (!w || !w->isVisible()) return false;
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).contains(globalPos);
}

} // namespace

GraphTabControls::GraphTabControls(GraphTab& tab, QTabWidget* pageControl1, QWidget* window, Session& session,
                                   const Services& services, Prompts& prompts, std::function<void()> setSectGrid,
                                   MonotonicClock* clock)
    : tab_(tab), pageControl1_(pageControl1), s_(session), services_(services) {
    tab_.SetHost({&s_, services_.graphs, services_.video});
    clock_ = std::make_unique<PlayClock>(s_, *services_.graphs, *services_.video, prompts, clock);
    clock_->setSectGrid = std::move(setSectGrid);
    view_ = std::make_unique<ViewCommands>(s_.graphView, s_.comparison, tab_);
    keys_ = std::make_unique<KeyPoll>(window, clock);
    tab_.onStopPlayback = [this] { clock_->Stop(); };
    tab_.onSetDataStr = [this] { SetDataStr(); };
    WirePlay();
    WireView();
    WireLayout();
    ShowViewState();
}

GraphTabControls::~GraphTabControls() {
    tab_.onStopPlayback = nullptr;
    tab_.onSetDataStr = nullptr;
}

void GraphTabControls::WirePlay() {
    GraphTab& g = tab_;
    PlayClock* c = clock_.get();
    const QColor face = g.palette().color(QPalette::Button);
    c->setGlyph = [&g, face](bool running) { g.SpeedButtonPlay->setIcon(QIcon(PlayButtonGlyph(running, face))); };
    QObject::connect(g.SpeedButtonPlay, &QToolButton::clicked, this, [c] { c->SpeedButtonPlayClick(); });
    QObject::connect(g.SpeedButtonFWD, &QToolButton::clicked, this, [c] { c->SpeedButtonFWDClick(); });
    QObject::connect(g.SpeedButtonBWD, &QToolButton::clicked, this, [c] { c->SpeedButtonBWDClick(); });
    QObject::connect(g.SpeedButtonToStart, &QToolButton::clicked, this, [c] { c->SpeedButtonToStartClick(); });
    QObject::connect(g.SpeedButtonDistOfs, &QToolButton::clicked, this, [c] { c->SpeedButtonDistOfsClick(); });
    QObject::connect(g.SpeedButtonReset, &QToolButton::clicked, this, [c] { c->SpeedButtonResetClick(); });
    const std::pair<QRadioButton*, SpeedFactor> radios[] = {
        {g.RadioButtonX05, SpeedFactor::X05}, {g.RadioButtonX1, SpeedFactor::X1}, {g.RadioButtonX2, SpeedFactor::X2},
        {g.RadioButtonX4, SpeedFactor::X4},   {g.RadioButtonX8, SpeedFactor::X8}};
    for (const auto& [r, f] : radios) {
        QObject::connect(r, &QRadioButton::toggled, this, [this, f = f](bool on) {
            if (on) s_.graphView.Speed = f;
        });
        if (r->isChecked()) s_.graphView.Speed = f;
    }

    KeyPoll* k = keys_.get();
    k->canAct = [this] { return (!pageControl1_ || pageControl1_->currentIndex() == 0) && !s_.FileDlgOpen; };
    k->playing = [c] { return c->Playing(); };
    k->onSpace = [c] { c->SpeedButtonPlayClick(); };
    k->onForward = [c] { c->SpeedButtonFWDClick(); };
    k->onBack = [c] { c->SpeedButtonBWDClick(); };
    k->onWheel = [this](bool in, QPoint pos) { return Wheel(in, pos); };
}

void GraphTabControls::WireView() {
    GraphTab& g = tab_;
    // Switch panels and axis tabs take clicks on themselves and their pictures.
    for (QFrame* f : {g.PanelDiffTm, g.PanelAltitude, g.PanelXYG, g.PanelDrift, g.PanelViewRdu, g.PanelDist,
                      g.PanelTime}) {
        f->installEventFilter(this);
        for (QWidget* child : f->findChildren<QWidget*>()) child->installEventFilter(this);
    }
    ViewCommands* v = view_.get();
    QObject::connect(g.ComboBoxG, &QComboBox::currentIndexChanged, this,
                     [v](int i) { v->ComboBoxGChange(static_cast<GChoice>(i < 0 || i > 2 ? 0 : i)); });
    QObject::connect(g.SpeedButtonSpdZin, &QToolButton::clicked, this, [v] { v->SpeedButtonSpdZinClick(); });
    QObject::connect(g.SpeedButtonSpdZout, &QToolButton::clicked, this, [v] { v->SpeedButtonSpdZoutClick(); });
    QObject::connect(g.SpeedButtonZin, &QToolButton::clicked, this, [v] { v->SpeedButtonZinClick(); });
    QObject::connect(g.SpeedButtonZout, &QToolButton::clicked, this, [v] { v->SpeedButtonZoutClick(); });
    QObject::connect(g.SpeedButtonGZin, &QToolButton::clicked, this, [v] { v->SpeedButtonGZinClick(); });
    QObject::connect(g.SpeedButtonGZout, &QToolButton::clicked, this, [v] { v->SpeedButtonGZoutClick(); });
    QObject::connect(g.SpeedButtonGInfo, &QToolButton::clicked, this, [&g] {
        TOKBottomDlgGInfo dlg(g.window());
        dlg.exec();
    });
    QObject::connect(g.PageControl2, &QTabWidget::currentChanged, this,
                     [this](int i) { s_.graphView.Page = static_cast<InnerPage>(i < 0 || i > 3 ? 0 : i); });
}

void GraphTabControls::WireLayout() {
    GraphTab& g = tab_;
    splitter1Sizes_ = g.Splitter1->sizes();
    splitter2Sizes_ = g.Splitter2->sizes();
    QObject::connect(g.Splitter1, &QSplitter::splitterMoved, this, [this, &g](int pos, int) {
        if (Splitter1CanResize(g.Splitter1->sizes().value(0), g.height())) {
            splitter1Sizes_ = g.Splitter1->sizes();
            g.userSplit1 = true;
        } else if (g.userSplit1) g.Splitter1->setSizes(splitter1Sizes_);
        else g.PlaceSplitters();
    });
    QObject::connect(g.Splitter2, &QSplitter::splitterMoved, this, [this, &g](int pos, int) {
        if (Splitter2CanResize(g.Splitter2->sizes().value(0), g.width())) {
            splitter2Sizes_ = g.Splitter2->sizes();
            g.userSplit2 = true;
        } else if (g.userSplit2) g.Splitter2->setSizes(splitter2Sizes_);
        else g.PlaceSplitters();
    });
    if (!pageControl1_) return;
    QObject::connect(pageControl1_, &QTabWidget::currentChanged, this, [this](int i) {
        if (i == 0) view_->GraphTabShown();
    });
    // The user can't leave a tab while the logger exchanges requests: not
    // through the tab bar, nor by the tab widget's own keys (Ctrl+Tab).
    pageControl1_->tabBar()->installEventFilter(this);
    pageControl1_->installEventFilter(this);
}

bool GraphTabControls::Wheel(bool in, QPoint globalPos) {
    ViewCommands::WheelTargets over;
    over.speedGraph = Over(tab_.PaintBoxSpd, globalPos);
    over.zoomMap = Over(tab_.PaintBoxZoom, globalPos);
    over.gView = Over(tab_.PaintBoxGraphG, globalPos);
    if (!over.speedGraph && !over.zoomMap && !over.gView) return false;
    view_->MouseWheel(in, over);
    return true;
}

bool GraphTabControls::eventFilter(QObject* watched, QEvent* e) {
    if (pageControl1_ && watched == pageControl1_->tabBar()) {
        const QEvent::Type t = e->type();
        const bool change = t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick ||
                            t == QEvent::Wheel || t == QEvent::KeyPress;
        return change && services_.logger->IsBusy();
    }
    if (pageControl1_ && watched == pageControl1_) {
        if (e->type() != QEvent::KeyPress) return false;
        const auto* k = static_cast<QKeyEvent*>(e);
        const bool pageKey = k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab || k->key() == Qt::Key_PageUp ||
                             k->key() == Qt::Key_PageDown;
        return pageKey && (k->modifiers() & Qt::ControlModifier) && services_.logger->IsBusy();
    }
    if (e->type() != QEvent::MouseButtonPress) return false;
    GraphTab& g = tab_;
    const QObject* panels[] = {g.PanelDiffTm, g.PanelAltitude, g.PanelXYG, g.PanelDrift,
                               g.PanelViewRdu, g.PanelDist, g.PanelTime};
    const auto isPanel = [&](const QObject* o) { return std::find(std::begin(panels), std::end(panels), o) != std::end(panels); };
    const QObject* panel = isPanel(watched) ? watched : watched->parent();
    ViewCommands& v = *view_;
    if (panel == g.PanelDiffTm) v.PanelDiffTmClick();
    else if (panel == g.PanelAltitude) v.PanelAltitudeClick();
    else if (panel == g.PanelXYG) v.PanelXYGClick();
    else if (panel == g.PanelDrift) v.PanelDriftClick();
    else if (panel == g.PanelViewRdu) v.PanelViewRduClick();
    else if (panel == g.PanelDist) v.PanelDistClick();
    else if (panel == g.PanelTime) v.PanelTimeClick();
    else return false;
    ShowViewState();
    return true;
}

void GraphTabControls::ShowViewState() {
    const GraphView& v = s_.graphView;
    GraphTab& g = tab_;
    SetSwitchPanel(g.PanelDiffTm, v.DiffTmOn);
    SetSwitchPanel(g.PanelAltitude, v.AltitudeOn);
    SetSwitchPanel(g.PanelXYG, v.XYGOn);
    SetSwitchPanel(g.PanelDrift, v.DriftOn);
    SetSwitchPanel(g.PanelViewRdu, v.ViewRduOn);
    SetSwitchPanel(g.PanelDist, v.Axis == AxisMode::Time);
    SetSwitchPanel(g.PanelTime, v.Axis == AxisMode::Dist);
}

void GraphTabControls::SetDataStr() {
    const ReadoutTexts t = ReadoutTextsOf(s_.loadedLaps, s_.comparison, s_.sectorLines.Count(), s_.settings,
                                          s_.graphView.DiffTmOn);
    tab_.LabelPlayTm->setText(t.playTm);
    for (int k = 0; k < 4; ++k) {
        tab_.LabelSlot[k]->setText(t.summary[k]);
        tab_.LabelSect[k]->setText(t.sectors[k]);
    }
}

} // namespace vel
