#pragma once
// The main window: three tabs ("グラフ", "データ", "ロガー") and the menu.
// The window composes the tab widgets and routes its handlers; the work is
// in the command code.
#include <memory>
#include <QMainWindow>
#include "analysis/lap_analysis.h"
#include "app/data_tab.h"
#include "app/startup.h"
#include "import/control_line_dialog_iface.h"
#include "logger/logger_tab.h"
#include "model/services.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/tool_buttons.h"
#include "views/graph_tab.h"

class QAction;
class QLabel;
class QTabWidget;

namespace vel {

class AppServices;
class GraphRefresh;
class LapRanking;
class LogImportCommands;
class LoggerLink;
class VideoLink;
class RunFileCommands;
class WindowCommands;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // prompts may be null: the window then uses real message boxes.
    // lineDialog: the control-line dialog of log imports (tests pass a scripted one).
    TFormMain(Session& session, AppServices& services, Prompts* prompts = nullptr, QWidget* parent = nullptr,
              std::unique_ptr<ControlLineDialog> lineDialog = nullptr);
    ~TFormMain() override;

    Session& session() { return session_; }
    Prompts& prompts() { return *prompts_; }
    const StartupReport& startupReport() const { return startup_; }
    GraphTab& graphTab() { return *graphTab_; }
    DataTab& dataTab() { return *dataTab_; }
    LoggerTab& loggerTab() { return *loggerTab_; }

    // Brings the window to the front (a second start asked for it).
    void RaiseWindow();
    // Opens a document of the Help folder with its application; false
    // (and nothing shown) when it is missing. When the desktop then could
    // not open it, a message says so.
    bool OpenHelpDocument(const QString& name);
    // The desktop the help menu opens its documents and the web page with.
    void SetShell(Shell& shell) { shell_ = &shell; }
    // Runs the shut-down once; the destructor calls it when nobody did.
    void FormDestroy();

    // Files dropped on the "データ" tab go here.
    std::function<void(const QStringList&)> onFilesDropped;
    RunFileCommands& runCommands();
    LogImportCommands& importCommands();
    // Loads or removes the lap of a grid row (1 = first data row).
    LapClick StringGridLapDataDblClick(int gridRow);
    LapRanking& ranking() { return ranking_; }

    QLabel* LabelVersion;
    QTabWidget* PageControl1;   // "グラフ", "データ", "ロガー"
    QAction* Setup1;
    QAction* Exit1;
    QAction* VelmarisInstructionManual1;
    QAction* Videolinkfunction1;
    QAction* driftAngleInfoFunc1;
    QAction* Website1;
    QAction* About1;

public slots:
    void Setup1Click();
    void Exit1Click();
    void HelpClick();
    void Videolinkfunction1Click();
    void driftAngleInfoFunc1Click();
    void Website1Click();
    void About1Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void FormCreate();
    void BuildMenu();
    void ShowSwitchPanels();
    // Hands a file or an address to the desktop; a failure is told later.
    void OpenOnDesktop(const QString& pathOrUrl);

    Session& session_;
    Services services_;
    LapRanking& ranking_;
    GraphRefresh* refresh_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_;
    SystemShell systemShell_;
    Shell* shell_ = &systemShell_;
    std::unique_ptr<ControlLineDialog> lineDialog_;
    GraphTab* graphTab_;
    DataTab* dataTab_;
    LoggerTab* loggerTab_;
    std::unique_ptr<LoggerLink> loggerLink_;   // when no test recorder stands in
    std::unique_ptr<VideoLink> videoLink_;     // likewise
    std::unique_ptr<WindowCommands> commands_;
    StartupReport startup_;
    bool destroyed_ = false;
};

} // namespace vel
