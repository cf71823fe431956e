#pragma once
// The command objects behind the main window's tabs, made once and wired to
// the tabs' buttons; each subsystem's work stays in its own command class.
#include <functional>
#include <memory>
#include "analysis/lap_analysis.h"
#include "model/services.h"
#include "views/export_widgets.h"

class QWidget;

namespace vel {

class ControlLineDialog;
class CourseCommands;
class DataTab;
class ExportCommands;
class GraphTab;
class GraphTabControls;
class LapListCommands;
class LapRanking;
class LogImportCommands;
class LoggerTab;
class Prompts;
class RunFileCommands;
class SectorCommands;
class SectorEditCommands;
class SectorSaveCommands;
class Shell;
struct Session;

struct WindowTabs {
    GraphTab& graph;
    DataTab& data;
    LoggerTab& logger;
    QWidget* window;   // parent of the dialogs
    std::function<void()> showDataTab;
};

class WindowCommands {
public:
    WindowCommands(Session& session, const Services& services, LapRanking& ranking, Prompts& prompts,
                   ControlLineDialog& lineDialog, const WindowTabs& tabs);
    ~WindowCommands();

    // Loads or removes the lap of a grid row (1 = first data row).
    LapClick StringGridLapDataDblClick(int gridRow);
    void SpeedButtonSvRunClick();
    void SpeedButtonSvRunSectClick();
    // Saves a sector of a shown lap as a run: from the sector table (true)
    // or the drift table (false).
    void SaveSector(bool fromSectTable);
    // Sectors were loaded elsewhere (the control-line dialog's search).
    void SectRefresh();

    RunFileCommands& runCommands() { return *run_; }
    GraphTabControls& graphControls() { return *graphControls_; }
    LogImportCommands& importCommands() { return *import_; }
    // The exports, and the picture menu the graph panes open on a right click.
    ExportCommands& exportCommands() { return *exports_; }
    const PictureMenu& pictureMenu() const { return pictureMenu_; }
    const ExportButtons& exportButtons() const { return exportButtons_; }

private:
    void WireGraphTab();
    void WireDataTab();
    void WireExports();
    void FillSectTables();

    Session& session_;
    Services services_;
    LapRanking& ranking_;
    Prompts& prompts_;
    WindowTabs tabs_;
    std::unique_ptr<RunFileCommands> run_;
    std::unique_ptr<CourseCommands> course_;
    std::unique_ptr<LogImportCommands> import_;
    std::unique_ptr<SectorCommands> sector_;
    std::unique_ptr<LapListCommands> lapList_;
    std::unique_ptr<SectorEditCommands> sectorEdit_;
    std::unique_ptr<SectorSaveCommands> sectorSave_;
    std::unique_ptr<GraphTabControls> graphControls_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<ExportCommands> exports_;
    ExportButtons exportButtons_;
    PictureMenu pictureMenu_;
};

} // namespace vel
