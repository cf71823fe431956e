#pragma once
// The "グラフ" tab: the tool strips above the inner pages "コース",
// "G / 旋回半径", "ビデオ" and "ドリフト". It carries out the panes'
// repaint steps that the graph refresh rules ask for.
#include <QWidget>
#include "views/graph_refresh.h"

class QFrame;
class QTabWidget;
class QToolButton;

namespace vel {

class GraphTab : public QWidget, public PaneSteps {
    Q_OBJECT
public:
    explicit GraphTab(QWidget* parent = nullptr);

    QFrame* PanelTool;
    QToolButton* SpeedButtonLdLogFile;
    QToolButton* SpeedButtonReLog;
    QToolButton* SpeedButtonLdSect;
    QToolButton* SpeedButtonSvSect;
    QToolButton* SpeedButtonSelSect;
    QToolButton* SpeedButtonSetSect;
    QToolButton* SpeedButtonClrSect;
    QToolButton* SpeedButtonEdSect;
    QFrame* PanelDiffTm;
    QFrame* PanelAltitude;
    QFrame* PanelDrift;
    QFrame* PanelViewRdu;
    QFrame* Panel4;   // the course-map buttons of the zoom map
    QToolButton* SpeedButtonPath;
    QToolButton* SpeedButtonPathSave;
    QToolButton* SpeedButtonMkPth;
    QToolButton* SpeedButtonSelCircuit;
    QToolButton* SpeedButtonN;
    QToolButton* SpeedButtonS;
    QToolButton* SpeedButtonW;
    QToolButton* SpeedButtonE;
    QToolButton* SpeedButtonClrPth;
    QTabWidget* PageControl2;
};

} // namespace vel
