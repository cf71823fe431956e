#include "views/graph_tab.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include "platform/tool_buttons.h"

namespace vel {

GraphTab::GraphTab(QWidget* parent) : QWidget(parent) {
    auto* gv = new QVBoxLayout(this);
    gv->setContentsMargins(2, 2, 2, 2);
    PanelTool = new QFrame(this);
    PanelTool->setObjectName("PanelTool");
    PanelTool->setFixedHeight(26);
    auto* th = new QHBoxLayout(PanelTool);
    th->setContentsMargins(2, 2, 2, 2);
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
    PanelDiffTm = SwitchPanel(PanelTool, "PanelDiffTm", "タイム差 表示／非表示");
    PanelAltitude = SwitchPanel(PanelTool, "PanelAltitude", "標高 表示／非表示");
    PanelDrift = SwitchPanel(PanelTool, "PanelDrift", "ドリフト角 表示／非表示");
    PanelViewRdu = SwitchPanel(PanelTool, "PanelViewRdu", "減速区間 表示／非表示");
    for (QFrame* p : {PanelDiffTm, PanelAltitude, PanelDrift, PanelViewRdu}) th->addWidget(p);
    th->addStretch();
    SetSwitchPanel(PanelDiffTm, true);
    SetSwitchPanel(PanelAltitude, false);
    SetSwitchPanel(PanelDrift, true);
    SetSwitchPanel(PanelViewRdu, true);

    Panel4 = new QFrame(this);
    Panel4->setObjectName("Panel4");
    auto* p4 = new QHBoxLayout(Panel4);
    p4->setContentsMargins(2, 0, 2, 0);
    auto pathTool = [&](const char* name, const QString& text, const QString& hint) {
        return ToolButton(Panel4, p4, name, text, hint);
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
    p4->addStretch();

    PageControl2 = new QTabWidget(this);
    PageControl2->setObjectName("PageControl2");
    for (const char* t : {"コース", "G / 旋回半径", "ビデオ", "ドリフト"})
        PageControl2->addTab(new QWidget, QString::fromUtf8(t));
    gv->addWidget(PanelTool);
    gv->addWidget(Panel4);
    gv->addWidget(PageControl2, 1);
}

} // namespace vel
