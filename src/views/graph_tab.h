#pragma once
// The "グラフ" tab: the tool strip and the speed graph on top, below them the
// inner pages "コース", "G / 旋回半径", "ビデオ", "ドリフト" with the sector
// read-outs on the left and the zoom map with its tool strip and read-outs
// on the right. It carries out the panes' repaint steps that the graph
// refresh rules ask for.
//
// Each pane sits in a slot (PaneSlot) as a PaneWidget; a placeholder stands
// there until the pane's own widget is dropped in with SetPane.
#include <array>
#include <functional>
#include <QWidget>
#include "views/graph_refresh.h"
#include "views/pane.h"

class QComboBox;
class QFont;
class QFrame;
class QLabel;
class QRadioButton;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace vel {

enum class PaneSlot {
    SpeedGraph,   // PaintBoxSpd
    SpeedBars,    // PaintBoxSpdBar
    Course,       // PaintBoxGraph, page "コース"
    GView,        // PaintBoxGraphG, page "G / 旋回半径"
    Drift,        // PaintBoxGraphDrift, page "ドリフト"
    ZoomMap,      // PaintBoxZoom
};
constexpr int PaneSlotCount = 6;

class GraphTab : public QWidget, public PaneSteps {
    Q_OBJECT
public:
    explicit GraphTab(QWidget* parent = nullptr);

    // The state the panes draw from and the services their clicks tell;
    // handed on to every pane, also to panes dropped in later.
    void SetHost(const PaneHost& host);
    const PaneHost& host() const { return host_; }

    // Replaces the pane of a slot (the old widget is deleted); the tab
    // takes ownership and gives it the host.
    void SetPane(PaneSlot slot, PaneWidget* pane);
    PaneWidget* Pane(PaneSlot slot) const { return panes_[static_cast<int>(slot)]; }
    // The "ビデオ" page's content (PanelVideo until the video link sets its own).
    void SetVideoWidget(QWidget* w);

    // PaneSteps
    void SetDataStr() override;
    void PaintBoxSpdPaint() override;
    void PaintBoxSpdBarPaint() override;
    void PaintBoxZoomPaint() override;
    void SetPosMarker() override;
    void DrawCurG() override;
    void DrawCurDrift() override;
    void PaintBoxGraphPaint() override;
    void PaintBoxGraphGPaint() override;
    void PaintBoxGraphDriftPaint() override;
    void SetGraphDirty() override;
    void SetGraphGDirty() override;
    void SetGraphDriftDirty() override;
    bool IsPlaying() const override;
    void StopPlayback() override;
    void SwitchPanelsChanged() override;

    // Set by the play clock's wiring: what StopPlayback and SetDataStr do.
    std::function<void()> onStopPlayback;
    std::function<void()> onSetDataStr;

    // Top band
    QFrame* Panel1;
    QFrame* PanelTool;
    QToolButton* SpeedButtonLdLogFile;
    QToolButton* SpeedButtonReLog;
    QToolButton* SpeedButtonLdSect;
    QToolButton* SpeedButtonSvSect;
    QToolButton* SpeedButtonSelSect;
    QToolButton* SpeedButtonSetSect;
    QToolButton* SpeedButtonClrSect;
    QToolButton* SpeedButtonEdSect;
    QToolButton* SpeedButtonPlay;
    QToolButton* SpeedButtonBWD;
    QToolButton* SpeedButtonFWD;
    QToolButton* SpeedButtonToStart;
    QToolButton* SpeedButtonDistOfs;
    QToolButton* SpeedButtonReset;
    QRadioButton* RadioButtonX05;
    QRadioButton* RadioButtonX1;
    QRadioButton* RadioButtonX2;
    QRadioButton* RadioButtonX4;
    QRadioButton* RadioButtonX8;
    QFrame* PanelDiffTm;
    QFrame* PanelAltitude;
    QFrame* PanelXYG;
    QComboBox* ComboBoxG;
    QFrame* PanelDrift;
    QFrame* Panel3;
    QFrame* PanelDist;
    QWidget* PaintBoxDist;
    QFrame* PanelTime;
    QWidget* PaintBoxTime;
    QFrame* Panel6;
    QToolButton* SpeedButtonSpdZin;
    QToolButton* SpeedButtonSpdZout;
    QSplitter* Splitter1;
    QSplitter* Splitter2;
    // Until the user drags a splitter it follows the tab's size: the speed
    // graph about 40 % of the height, the pages about half the width.
    void PlaceSplitters();
    bool userSplit1 = false, userSplit2 = false;

    // Left: inner pages and sector read-outs
    QTabWidget* PageControl2;
    QWidget* PanelVideo;
    QToolButton* SpeedButtonGZin;
    QToolButton* SpeedButtonGZout;
    QToolButton* SpeedButtonGInfo;
    std::array<QLabel*, 4> LabelSect{};   // LabelSectA ... LabelSectD

    // Right: zoom map
    QFrame* PanelData;
    QFrame* Panel4;
    QToolButton* SpeedButtonZin;
    QToolButton* SpeedButtonZout;
    QLabel* LabelPlayTm;
    QLabel* LabelZoomDist;
    QFrame* PanelViewRdu;
    QToolButton* SpeedButtonPath;
    QToolButton* SpeedButtonPathSave;
    QToolButton* SpeedButtonMkPth;
    QToolButton* SpeedButtonSelCircuit;
    QToolButton* SpeedButtonN;
    QToolButton* SpeedButtonS;
    QToolButton* SpeedButtonW;
    QToolButton* SpeedButtonE;
    QToolButton* SpeedButtonClrPth;
    std::array<QLabel*, 4> LabelSlot{};   // LabelA ... LabelD

    // The panes (also reachable through Pane())
    PaneWidget* PaintBoxSpd;
    PaneWidget* PaintBoxSpdBar;
    PaneWidget* PaintBoxGraph;
    PaneWidget* PaintBoxGraphG;
    PaneWidget* PaintBoxGraphDrift;
    PaneWidget* PaintBoxZoom;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void BuildTopBand();
    QWidget* BuildPages();
    QWidget* BuildZoomSide();
    void UpdatePaneMembers();

    PaneHost host_;
    std::array<PaneWidget*, PaneSlotCount> panes_{};
    QWidget* videoWidget_ = nullptr;
};

} // namespace vel
