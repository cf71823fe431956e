#pragma once
// The main window: three tabs ("グラフ", "データ", "ロガー") and the menu.
// The window composes the tab widgets; the work is in the command code.
#include <functional>
#include <memory>
#include <QMainWindow>
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "app/startup.h"
#include "import/control_line_dialog_iface.h"
#include "analysis/lap_analysis.h"

class QFrame;
class QLabel;
class QListWidget;
class QTabWidget;
class QTableView;
class QTableWidget;
class QAction;
class QMenu;
class QToolButton;

namespace vel {

class LapListModel;
class LapListHeaderModel;
class LapListCommands;
class LapRanking;
class SectorCommands;
class SectorEditCommand;
class SectorSaveCommand;
class RunFileCommands;
class CourseCommands;

class LogImportCommands;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // prompts may be null: the window then uses real message boxes.
    // lineDialog: the control-line dialog of log imports (tests pass a scripted one).
    TFormMain(Session& session, const Services& services, Prompts* prompts = nullptr,
              QWidget* parent = nullptr, std::unique_ptr<ControlLineDialog> lineDialog = nullptr);
    ~TFormMain() override;

    Session& session() { return session_; }
    Prompts& prompts() { return *prompts_; }
    const StartupReport& startupReport() const { return startup_; }

    // Brings the window to the front (a second start asked for it).
    void RaiseWindow();
    // Opens a document of the Help folder with its application; false
    // (and nothing shown) when it is missing.
    bool OpenHelpDocument(const QString& name);
    // Runs the shut-down once; the destructor calls it when nobody did.
    void FormDestroy();

    // Files dropped on the "データ" tab go here.
    std::function<void(const QStringList&)> onFilesDropped;
    // Saves a sector of a shown lap as a run: from the sector table (true)
    // or the drift table (false).
    std::function<void(bool fromSectTable)> onSaveSector;
    RunFileCommands& runCommands();
    // Loads or removes the lap of a grid row (1 = first data row).
    LapClick StringGridLapDataDblClick(int gridRow);
    LapRanking& ranking() { return *ranking_; }
    LogImportCommands& importCommands() { return *importCommands_; }

    QLabel* LabelVersion;
    QTabWidget* PageControl1;       // "グラフ", "データ", "ロガー"
    QTabWidget* PageControl2;       // "コース", "G / 旋回半径", "ビデオ", "ドリフト"
    QFrame* PanelTool;
    QToolButton* SpeedButtonLdLogFile;
    QToolButton* SpeedButtonReLog;
    QFrame* PanelDiffTm;
    QFrame* PanelAltitude;
    QFrame* PanelDrift;
    QFrame* PanelViewRdu;
    QTableView* StringGridLapData;
    QTableWidget* StringGridSectData;
    QTableWidget* StringGridDrift;
    QToolButton* SpeedButtonLoad;
    QToolButton* SpeedButtonMotec;
    QToolButton* SpeedButtonSvRun;
    QToolButton* SpeedButtonSvAllRun;
    QToolButton* SpeedButtonSvRunSect;
    QToolButton* SpeedButtonClrDt;
    QToolButton* SpeedButtonEdiDataName;
    QToolButton* SpeedButtonGrp;
    QToolButton* SpeedButtonCalSect;
    QToolButton* SpeedButtonLdSect;
    QToolButton* SpeedButtonSvSect;
    QToolButton* SpeedButtonSelSect;
    QToolButton* SpeedButtonSetSect;
    QToolButton* SpeedButtonClrSect;
    QToolButton* SpeedButtonEdSect;
    QFrame* Panel4;
    QToolButton* SpeedButtonPath;
    QToolButton* SpeedButtonPathSave;
    QToolButton* SpeedButtonMkPth;
    QToolButton* SpeedButtonSelCircuit;
    QToolButton* SpeedButtonN;
    QToolButton* SpeedButtonS;
    QToolButton* SpeedButtonW;
    QToolButton* SpeedButtonE;
    QToolButton* SpeedButtonClrPth;
    QFrame* PanelViewOnOff;
    QListWidget* ListBox1;
    QListWidget* ListBox2;
    QTabWidget* PageControl3;       // "セクタ詳細", "ドリフト詳細"
    QMenu* PopupMenu4;
    QAction* A1;
    QAction* Setup1;
    QAction* Exit1;
    QAction* VelmarisInstructionManual1;
    QAction* Videolinkfunction1;
    QAction* driftAngleInfoFunc1;
    QAction* Website1;
    QAction* About1;
    LapListModel* lapListModel;
    LapListHeaderModel* lapListHeaderModel;

public slots:
    void Setup1Click();
    void Exit1Click();
    void HelpClick();
    void Videolinkfunction1Click();
    void driftAngleInfoFunc1Click();
    void Website1Click();
    void About1Click();
    void pmDriftDtClick();
    void SpeedButtonSvRunClick();
    void SpeedButtonSvRunSectClick();
    // Shows or hides the status list and the sentence monitor together.
    void PanelViewOnOffDblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void FormCreate();
    void BuildWidgets();
    void SetLapListLayout();
    void ShowSwitchPanels();

    Session& session_;
    Services services_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_;
    LapRanking* ranking_ = nullptr;
    std::unique_ptr<LapRanking> ownRanking_;   // when the services bring none
    std::unique_ptr<SectorCommands> sectorCommands_;
    std::unique_ptr<SectorEditCommand> sectorEdit_;
    std::unique_ptr<SectorSaveCommand> sectorSave_;
    std::unique_ptr<LapListCommands> lapListCommands_;
    std::unique_ptr<RunFileCommands> runCommands_;
    std::unique_ptr<CourseCommands> courseCommands_;
    std::unique_ptr<ControlLineDialog> lineDialog_;
    std::unique_ptr<LogImportCommands> importCommands_;
    StartupReport startup_;
    bool destroyed_ = false;
};

// The cells of a grid, row by row.
QVector<QStringList> GridRows(const QTableWidget* grid);

// A lowered bevel means on.
void SetSwitchPanel(QFrame* panel, bool on);
bool SwitchPanelOn(const QFrame* panel);

} // namespace vel
