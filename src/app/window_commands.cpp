#include "app/window_commands.h"

#include <QApplication>
#include <QMenu>
#include <QListWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTabWidget>
#include <QToolButton>
#include "analysis/lap_ranking.h"
#include "analysis/sector_commands.h"
#include "analysis/sector_save_commands.h"
#include "analysis/sector_tables.h"
#include "app/data_tab.h"
#include "app/lap_list_commands.h"
#include "app/lap_list_view.h"
#include "app/run_file_commands.h"
#include "analysis/sector_dialogs.h"
#include "analysis/sector_edit_commands.h"
#include "import/course_commands.h"
#include "import/log_import_commands.h"
#include "import/motec_csv.h"
#include "import/select_circuit_dialog.h"
#include "logger/logger_tab.h"
#include "model/lap_list_model.h"
#include "model/session.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/tool_buttons.h"
#include <QPainter>
#include "views/export_commands.h"
#include "views/pane.h"
#include "views/graph_tab.h"
#include "views/graph_tab_controls.h"
#include "views/course_view.h"
#include "views/drift_view.h"
#include "views/g_view.h"
#include "views/speed_graph.h"
#include "views/speed_graph_pane.h"
#include "views/zoom_map.h"
#include "views/map_panes.h"

namespace vel {

WindowCommands::WindowCommands(Session& session, const Services& services, LapRanking& ranking,
                               Prompts& prompts, ControlLineDialog& lineDialog, const WindowTabs& tabs)
    : session_(session), services_(services), ranking_(ranking), prompts_(prompts), tabs_(tabs) {
    QWidget* parent = tabs_.window;
    const auto playing = [g = services_.graphs] { return g->IsPlaying(); };
    run_ = std::make_unique<RunFileCommands>(session_, prompts_, ranking_);
    run_->onRowsChanged = [this] { tabs_.data.lapListModel->Reset(); };
    course_ = std::make_unique<CourseCommands>(session_, session_.coursePaths, prompts_, *services_.graphs,
                                               session_.FileDlgOpen, QtCircuitChooser(parent));
    import_ = std::make_unique<LogImportCommands>(session_, prompts_, ranking_, lineDialog);
    import_->onShowDataTab = [this] {
        tabs_.data.lapListModel->Reset();
        if (tabs_.showDataTab) tabs_.showDataTab();
    };
    import_->onBusy = [this](bool on) {
        if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
        tabs_.graph.SpeedButtonLdLogFile->setEnabled(!on);
    };
    ranking_.onChanged = [this] {
        tabs_.data.lapListModel->Reset();
        tabs_.data.lapListHeaderModel->Refresh();
    };
    ranking_.onError = [this](const QString& e) { prompts_.Error(e); };
    sector_ = std::make_unique<SectorCommands>(session_, session_.sectorLines, prompts_, services_,
                                               QtCircuitChooser(parent), QtSectReleaseAsk(parent), playing);
    sector_->SetSectGrid = [this] { FillSectTables(); };
    lapList_ = std::make_unique<LapListCommands>(session_, session_.sectorLines, prompts_, services_, ranking_,
                                                 QtSectReleaseAsk(parent), QtNameAsk(parent), playing);
    lapList_->SetSectGrid = [this] { FillSectTables(); };
    lapList_->RepaintLapList = [this] { tabs_.data.lapListModel->Reset(); };
    sectorEdit_ = std::make_unique<SectorEditCommands>(
        session_, QtEdSectDialogs(
                      parent, session_, [this] { return SwitchPanelOn(tabs_.graph.PanelViewRdu); }, &prompts_),
        playing, [this] { return session_.graphView.MapZoom; }, [this] { sector_->SectRefresh(true); });
    sectorSave_ = std::make_unique<SectorSaveCommands>(session_, prompts_);
    graphControls_ = std::make_unique<GraphTabControls>(tabs_.graph, parent->findChild<QTabWidget*>("PageControl1"),
                                                        parent, session_, services_, prompts_,
                                                        [this] { FillSectTables(); });
    // The panes' right click opens the picture menu for the pane it names.
    const auto pictureMenu = [this](QPoint globalPos) {
        if (!exports_ || !pictureMenu_.PopupMenu1) return;
        exports_->PopupSrc = session_.graphView.PopupSrc;
        pictureMenu_.PopupMenu1->popup(globalPos);
    };
    if (SpeedGraphPane* spd = InstallSpeedGraphPanes(tabs_.graph)) spd->onPopup = pictureMenu;
    InstallMapPanes(tabs_.graph, pictureMenu);
    InstallGDriftPanes(tabs_.graph, pictureMenu);
    WireGraphTab();
    WireDataTab();
    WireExports();
}

WindowCommands::~WindowCommands() {
    ranking_.onChanged = nullptr;
    ranking_.onError = nullptr;
}

void WindowCommands::WireGraphTab() {
    GraphTab& g = tabs_.graph;
    QObject* ctx = &g;
    LogImportCommands* ic = import_.get();
    QObject::connect(g.SpeedButtonLdLogFile, &QToolButton::clicked, ctx, [ic] { ic->SpeedButtonLdLogFileClick(); });
    QObject::connect(g.SpeedButtonReLog, &QToolButton::clicked, ctx, [ic] { ic->SpeedButtonReLogClick(); });
    SectorCommands* sc = sector_.get();
    QObject::connect(g.SpeedButtonLdSect, &QToolButton::clicked, ctx, [sc] { sc->SpeedButtonLdSectClick(); });
    QObject::connect(g.SpeedButtonSvSect, &QToolButton::clicked, ctx, [sc] { sc->SpeedButtonSvSectClick(); });
    QObject::connect(g.SpeedButtonSelSect, &QToolButton::clicked, ctx, [sc] { sc->SpeedButtonSelSectClick(); });
    QObject::connect(g.SpeedButtonSetSect, &QToolButton::clicked, ctx, [sc] { sc->SpeedButtonSetSectClick(); });
    QObject::connect(g.SpeedButtonClrSect, &QToolButton::clicked, ctx, [sc] { sc->SpeedButtonClrSectClick(); });
    SectorEditCommands* se = sectorEdit_.get();
    QObject::connect(g.SpeedButtonEdSect, &QToolButton::clicked, ctx, [se] { se->SpeedButtonEdSectClick(); });
    CourseCommands* cc = course_.get();
    QObject::connect(g.SpeedButtonPath, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonPathClick(); });
    QObject::connect(g.SpeedButtonPathSave, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonPathSaveClick(); });
    QObject::connect(g.SpeedButtonMkPth, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonMkPthClick(); });
    QObject::connect(g.SpeedButtonSelCircuit, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonSelCircuitClick(); });
    QObject::connect(g.SpeedButtonN, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonNClick(); });
    QObject::connect(g.SpeedButtonS, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonSClick(); });
    QObject::connect(g.SpeedButtonW, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonWClick(); });
    QObject::connect(g.SpeedButtonE, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonEClick(); });
    QObject::connect(g.SpeedButtonClrPth, &QToolButton::clicked, ctx, [cc] { cc->SpeedButtonClrPthClick(); });
}

void WindowCommands::WireDataTab() {
    DataTab& d = tabs_.data;
    QObject* ctx = &d;
    RunFileCommands* rc = run_.get();
    QObject::connect(d.SpeedButtonLoad, &QToolButton::clicked, ctx, [rc] { rc->SpeedButtonLoadClick(); });
    QObject::connect(d.SpeedButtonMotec, &QToolButton::clicked, ctx, [rc] { rc->SpeedButtonMotecClick(); });
    QObject::connect(d.SpeedButtonSvRun, &QToolButton::clicked, ctx, [this] { SpeedButtonSvRunClick(); });
    QObject::connect(d.SpeedButtonSvAllRun, &QToolButton::clicked, ctx, [rc] { rc->SpeedButtonSvAllRunClick(); });
    QObject::connect(d.SpeedButtonSvRunSect, &QToolButton::clicked, ctx, [this] { SpeedButtonSvRunSectClick(); });
    LapListCommands* lc = lapList_.get();
    QObject::connect(d.SpeedButtonClrDt, &QToolButton::clicked, ctx, [lc] { lc->SpeedButtonClrDtClick(); });
    QObject::connect(d.SpeedButtonEdiDataName, &QToolButton::clicked, ctx, [&d, lc] {
        const QModelIndex cur = d.StringGridLapData->currentIndex();
        lc->SpeedButtonEdiDataNameClick(cur.isValid() ? cur.row() + 1 : 0, cur.isValid() ? cur.column() : -1,
                                        d.StringGridLapData->hasFocus());
    });
    QObject::connect(d.SpeedButtonGrp, &QToolButton::clicked, ctx, [this, &d] {
        if (const int row = d.CurrentLapRow()) StringGridLapDataDblClick(row);
    });
    QObject::connect(d.SpeedButtonCalSect, &QToolButton::clicked, ctx, [lc] { lc->SpeedButtonCalSectClick(); });
    QObject::connect(d.StringGridSectData, &QTableWidget::cellDoubleClicked, ctx, [this, &d](int r, int c) {
        sectorSave_->StringGridSectDataDblClick(r, c, GridRows(d.StringGridSectData));
    });
    QObject::connect(d.StringGridDrift, &QTableWidget::cellDoubleClicked, ctx, [this, &d](int r, int c) {
        sectorSave_->StringGridDriftDblClick(r, c, GridRows(d.StringGridDrift));
    });
    QObject::connect(d.StringGridLapData, &QTableView::doubleClicked, ctx,
                     [this](const QModelIndex& index) { StringGridLapDataDblClick(index.row() + 1); });
}

void WindowCommands::WireExports() {
    shell_ = std::make_unique<SystemShell>();
    exports_ = std::make_unique<ExportCommands>(session_, prompts_, *shell_);
    exports_->driftPanelOn = [this] { return SwitchPanelOn(tabs_.graph.PanelDrift); };
    DataTab& d = tabs_.data;
    exportButtons_ = AddExportButtons(tabs_.graph, d.PanelDataTool);
    pictureMenu_ = MakePictureMenu(tabs_.window, *exports_);
    // Each pane's picture routine, drawn from the state at the moment of the
    // export; size and font are the panes' own, looked up then (panes may be
    // set on the tab later). The speed graph lends its font to the course
    // and G pictures.
    struct Picture {
        int id;
        PaneSlot pane, font;
        void (*draw)(QPainter&, const QRect&, const PaneInput&);
    };
    static constexpr Picture pictures[] = {{PaneSpd, PaneSlot::SpeedGraph, PaneSlot::SpeedGraph, DrawSpdPicture},
                                           {PaneGraph, PaneSlot::Course, PaneSlot::SpeedGraph, DrawGeneralPicture},
                                           {PaneZoom, PaneSlot::ZoomMap, PaneSlot::ZoomMap, DrawZoomPicture},
                                           {PaneGraphG, PaneSlot::GView, PaneSlot::SpeedGraph, DrawGPicture},
                                           {PaneGraphDrift, PaneSlot::Drift, PaneSlot::Drift, DrawCurDriftPicture}};
    GraphTab* graph = &tabs_.graph;
    const Session* session = &session_;
    for (const Picture& pic : pictures) {
        exports_->SetPicturePane(pic.id, {[graph, pic] {
                                              const PaneWidget* p = graph->Pane(pic.pane);
                                              return p ? p->size() : QSize(1, 1);
                                          },
                                          [graph, session, pic](QPainter& painter, const QRect& r) {
                                              if (const PaneWidget* f = graph->Pane(pic.font))
                                                  painter.setFont(f->font());
                                              pic.draw(painter, r, PaneInputOf(*session));
                                          }});
    }
    ExportCommands* ex = exports_.get();
    const ExportButtons& b = exportButtons_;
    QObject::connect(b.SpeedButtonGoogleEarth, &QToolButton::clicked, &tabs_.graph,
                     [ex] { ex->SpeedButtonGoogleEarthClick(); });
    QObject::connect(b.SpeedButtonCsv2, &QToolButton::clicked, &d, [ex, &d] {
        ex->SpeedButtonCsv2Click(d.CurrentLapRow(), d.StringGridLapData->hasFocus());
    });
    QObject::connect(b.SpeedButtonNMEA, &QToolButton::clicked, &d, [ex, &d] {
        ex->SpeedButtonNMEAClick(d.CurrentLapRow(), d.StringGridLapData->hasFocus());
    });
    QObject::connect(b.SpeedButtonCsv, &QToolButton::clicked, &d,
                     [ex, &d] { ex->SpeedButtonCsvClick(d.CurrentLapRow(), d.LapListHeaderTexts()); });
}

void WindowCommands::SectRefresh() { sector_->SectRefresh(true); }

void WindowCommands::FillSectTables() {
    ShowSectTables(tabs_.data.StringGridSectData, tabs_.data.StringGridDrift,
                   SetSectGrid(session_.sectorLines, session_.loadedLaps, session_.comparison),
                   session_.sectorLines.Count());
}

LapClick WindowCommands::StringGridLapDataDblClick(int gridRow) {
    LapRefreshHooks hooks = lapList_->Hooks();
    hooks.LoadMotecGCsv = [this](int lap, const QString& fn) {
        if (lap < 0 || lap >= session_.loadedLaps.LapDt.size()) return;
        QString error;
        if (!LoadMotecGCsv(session_.loadedLaps.LapDt[lap], fn, &error) && !error.isEmpty()) prompts_.Error(error);
    };
    QString error;
    const LapClick r = vel::StringGridLapDataDblClick(session_, services_, gridRow, hooks, &error);
    if (!error.isEmpty()) prompts_.Error(error);
    return r;
}

void WindowCommands::SpeedButtonSvRunClick() {
    const QTableView* g = tabs_.data.StringGridLapData;
    run_->SpeedButtonSvRunClick(tabs_.data.CurrentLapRow(), g->hasFocus(), tabs_.logger.StatusListShown());
}

void WindowCommands::SpeedButtonSvRunSectClick() {
    DataTab& d = tabs_.data;
    if (!d.StringGridSectData->hasFocus() && !d.StringGridDrift->hasFocus()) return;
    SaveSector(d.PageControl3->currentIndex() == 0);
}

void WindowCommands::SaveSector(bool fromSectTable) {
    DataTab& d = tabs_.data;
    QTableWidget* g = fromSectTable ? d.StringGridSectData : d.StringGridDrift;
    if (fromSectTable)
        sectorSave_->StringGridSectDataDblClick(g->currentRow(), g->currentColumn(), GridRows(g));
    else
        sectorSave_->StringGridDriftDblClick(g->currentRow(), g->currentColumn(), GridRows(g));
}

} // namespace vel
