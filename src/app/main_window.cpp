#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include "app/run_commands.h"
#include "app/setup_dialog.h"
#include "analysis/sector_save.h"
#include "app/sector_edit_commands.h"
#include "import/control_line_dialog.h"
#include "analysis/lap_ranking.h"
#include "analysis/sector_commands.h"
#include "analysis/sector_tables.h"
#include "app/lap_list_view.h"
#include "app/sector_dialogs.h"
#include "import/motec_csv.h"
#include "import/import_flow.h"
#include "import/course_commands.h"
#include "import/select_circuit_dialog.h"
#include "app/small_dialogs.h"
#include "platform/shell.h"
#include "model/lap_list_model.h"

namespace vel {

namespace {

constexpr int DataTab = 1;


QFrame* SwitchPanel(QWidget* parent, const char* name, const QString& hint) {
    auto* p = new QFrame(parent);
    p->setObjectName(name);
    p->setToolTip(hint);
    p->setFixedSize(22, 22);
    return p;
}

QToolButton* ToolButton(QWidget* parent, QBoxLayout* layout, const char* name, const QString& text,
                        const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    layout->addWidget(b);
    return b;
}

QTableWidget* EmptyGrid(QWidget* parent, const char* name) {
    auto* g = new QTableWidget(parent);
    g->setObjectName(name);
    g->verticalHeader()->setVisible(false);
    g->horizontalHeader()->setVisible(false);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return g;
}

} // namespace

void SetSwitchPanel(QFrame* panel, bool on) {
    panel->setFrameShape(on ? QFrame::Panel : QFrame::NoFrame);
    panel->setFrameShadow(on ? QFrame::Sunken : QFrame::Plain);
    panel->setLineWidth(1);
}

bool SwitchPanelOn(const QFrame* panel) {
    return panel->frameShape() != QFrame::NoFrame && panel->frameShadow() == QFrame::Sunken;
}

TFormMain::TFormMain(Session& session, const Services& services, Prompts* prompts, QWidget* parent,
                     std::unique_ptr<ControlLineDialog> lineDialog)
    : QMainWindow(parent), session_(session), services_(services), lineDialog_(std::move(lineDialog)) {
    if (!prompts) {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    ranking_ = dynamic_cast<LapRanking*>(services_.ranking);
    if (!ranking_) {
        ownRanking_ = std::make_unique<LapRanking>(session_, session_.sectorLines);
        ranking_ = ownRanking_.get();
    }
    runCommands_ = std::make_unique<RunFileCommands>(session_, *prompts_, *services_.ranking);
    runCommands_->onRowsChanged = [this] { lapListModel->Reset(); };
    setObjectName("FormMain");
    setWindowTitle("Velmaris");
    BuildWidgets();
    connect(SpeedButtonLoad, &QToolButton::clicked, this, [this] { runCommands_->SpeedButtonLoadClick(); });
    connect(SpeedButtonMotec, &QToolButton::clicked, this, [this] { runCommands_->SpeedButtonMotecClick(); });
    connect(SpeedButtonSvRun, &QToolButton::clicked, this, &TFormMain::SpeedButtonSvRunClick);
    connect(SpeedButtonSvAllRun, &QToolButton::clicked, this, [this] { runCommands_->SpeedButtonSvAllRunClick(); });
    connect(SpeedButtonSvRunSect, &QToolButton::clicked, this, &TFormMain::SpeedButtonSvRunSectClick);
    courseCommands_ = std::make_unique<CourseCommands>(session_, session_.coursePaths, *prompts_,
                                                       *services_.graphs, session_.FileDlgOpen,
                                                       QtCircuitChooser(this));
    CourseCommands* cc = courseCommands_.get();
    connect(SpeedButtonPath, &QToolButton::clicked, this, [cc] { cc->SpeedButtonPathClick(); });
    connect(SpeedButtonPathSave, &QToolButton::clicked, this, [cc] { cc->SpeedButtonPathSaveClick(); });
    connect(SpeedButtonMkPth, &QToolButton::clicked, this, [cc] { cc->SpeedButtonMkPthClick(); });
    connect(SpeedButtonSelCircuit, &QToolButton::clicked, this, [cc] { cc->SpeedButtonSelCircuitClick(); });
    connect(SpeedButtonN, &QToolButton::clicked, this, [cc] { cc->SpeedButtonNClick(); });
    connect(SpeedButtonS, &QToolButton::clicked, this, [cc] { cc->SpeedButtonSClick(); });
    connect(SpeedButtonW, &QToolButton::clicked, this, [cc] { cc->SpeedButtonWClick(); });
    connect(SpeedButtonE, &QToolButton::clicked, this, [cc] { cc->SpeedButtonEClick(); });
    connect(SpeedButtonClrPth, &QToolButton::clicked, this, [cc] { cc->SpeedButtonClrPthClick(); });
    if (!lineDialog_) {
        auto dlg = std::make_unique<QtControlLineDialog>(*prompts_, this);
        dlg->hooks.askName = [](QWidget* parent, const QString& caption,
                                const QString& text) -> std::optional<QString> {
            TOKBottomDlgEdiStr d(parent);
            d.setWindowTitle(caption);
            d.EditStr->setText(text);
            if (d.exec() != QDialog::Accepted) return std::nullopt;
            return d.EditStr->text();
        };
        dlg->hooks.onSectorsLoaded = [this] { sectorCommands_->SectRefresh(true); };
        lineDialog_ = std::move(dlg);
    }
    importCommands_ = std::make_unique<LogImportCommands>(session_, *prompts_, *services_.ranking, *lineDialog_);
    importCommands_->onShowDataTab = [this] {
        lapListModel->Reset();
        PageControl1->setCurrentIndex(DataTab);
    };
    importCommands_->onBusy = [this](bool on) {
        if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
        SpeedButtonLdLogFile->setEnabled(!on);
    };
    connect(SpeedButtonLdLogFile, &QToolButton::clicked, this, [this] { importCommands_->SpeedButtonLdLogFileClick(); });
    connect(SpeedButtonReLog, &QToolButton::clicked, this, [this] { importCommands_->SpeedButtonReLogClick(); });
    ranking_->onChanged = [this] {
        lapListModel->Reset();
        lapListHeaderModel->Refresh();
    };
    ranking_->onError = [this](const QString& e) { prompts_->Error(e); };
    const auto playing = [] { return false; };   // no playback clock yet
    const auto fillTables = [this] {
        ShowSectTables(StringGridSectData, StringGridDrift,
                       SetSectGrid(session_.sectorLines, session_.loadedLaps, session_.comparison),
                       session_.sectorLines.Count());
    };
    sectorCommands_ = std::make_unique<SectorCommands>(session_, session_.sectorLines, *prompts_, services_,
                                                       QtCircuitChooser(this), QtSectReleaseAsk(this), playing);
    sectorCommands_->SetSectGrid = fillTables;
    SectorCommands* sc = sectorCommands_.get();
    connect(SpeedButtonLdSect, &QToolButton::clicked, this, [sc] { sc->SpeedButtonLdSectClick(); });
    connect(SpeedButtonSvSect, &QToolButton::clicked, this, [sc] { sc->SpeedButtonSvSectClick(); });
    connect(SpeedButtonSelSect, &QToolButton::clicked, this, [sc] { sc->SpeedButtonSelSectClick(); });
    connect(SpeedButtonSetSect, &QToolButton::clicked, this, [sc] { sc->SpeedButtonSetSectClick(); });
    connect(SpeedButtonClrSect, &QToolButton::clicked, this, [sc] { sc->SpeedButtonClrSectClick(); });
    lapListCommands_ = std::make_unique<LapListCommands>(session_, session_.sectorLines, *prompts_, services_,
                                                         *ranking_, QtSectReleaseAsk(this), QtNameAsk(this),
                                                         playing);
    lapListCommands_->SetSectGrid = fillTables;
    lapListCommands_->RepaintLapList = [this] { lapListModel->Reset(); };
    LapListCommands* lc = lapListCommands_.get();
    connect(SpeedButtonClrDt, &QToolButton::clicked, this, [lc] { lc->SpeedButtonClrDtClick(); });
    connect(SpeedButtonEdiDataName, &QToolButton::clicked, this, [this, lc] {
        const QModelIndex cur = StringGridLapData->currentIndex();
        lc->SpeedButtonEdiDataNameClick(cur.isValid() ? cur.row() + 1 : 0, cur.isValid() ? cur.column() : -1,
                                        StringGridLapData->hasFocus());
    });
    connect(SpeedButtonGrp, &QToolButton::clicked, this, [this] {
        const QModelIndex cur = StringGridLapData->currentIndex();
        if (cur.isValid()) StringGridLapDataDblClick(cur.row() + 1);
    });
    connect(SpeedButtonCalSect, &QToolButton::clicked, this, [lc] { lc->SpeedButtonCalSectClick(); });
    sectorEdit_ = std::make_unique<SectorEditCommand>(
        session_, QtEdSectDialogs(this, session_, [this] { return SwitchPanelOn(PanelViewRdu); }), playing,
        [] { return 1.0L; }, [this] { sectorCommands_->SectRefresh(true); });
    connect(SpeedButtonEdSect, &QToolButton::clicked, this, [this] { sectorEdit_->SpeedButtonEdSectClick(); });
    sectorSave_ = std::make_unique<SectorSaveCommand>(session_, *prompts_);
    sectorSave_->saveDialogFolder = [this] { return runCommands_->SaveDialogFolder(); };
    sectorSave_->onFolderChosen = [this](const QString& dir) { runCommands_->TakeRunFolder(dir); };
    connect(StringGridSectData, &QTableWidget::cellDoubleClicked, this, [this](int r, int c) {
        sectorSave_->StringGridSectDataDblClick(r, c, GridRows(StringGridSectData));
    });
    connect(StringGridDrift, &QTableWidget::cellDoubleClicked, this, [this](int r, int c) {
        sectorSave_->StringGridDriftDblClick(r, c, GridRows(StringGridDrift));
    });
    onSaveSector = [this](bool fromSectTable) {
        QTableWidget* g = fromSectTable ? StringGridSectData : StringGridDrift;
        if (fromSectTable)
            sectorSave_->StringGridSectDataDblClick(g->currentRow(), g->currentColumn(), GridRows(g));
        else
            sectorSave_->StringGridDriftDblClick(g->currentRow(), g->currentColumn(), GridRows(g));
    };
    connect(StringGridLapData, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { StringGridLapDataDblClick(index.row() + 1); });
    onFilesDropped = [this](const QStringList& files) {
        runCommands_->DropFiles(files, PageControl1->currentIndex() == DataTab);
    };
    session_.statusList.onChanged = [this] {
        ListBox1->clear();
        ListBox1->addItems(session_.statusList.Lines());
        ListBox1->scrollToTop();
    };
    PanelViewOnOff->installEventFilter(this);
    FormCreate();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* e) {
    if (watched == PanelViewOnOff && e->type() == QEvent::MouseButtonDblClick) {
        PanelViewOnOffDblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

void TFormMain::PanelViewOnOffDblClick() {
    const bool show = ListBox1->isHidden();
    ListBox1->setVisible(show);
    ListBox2->setVisible(show);
}

LapClick TFormMain::StringGridLapDataDblClick(int gridRow) {
    LapRefreshHooks hooks = lapListCommands_->Hooks();
    hooks.LoadMotecGCsv = [this](int lap, const QString& fn) {
        if (lap < 0 || lap >= session_.loadedLaps.LapDt.size()) return;
        QString error;
        if (!LoadMotecGCsv(session_.loadedLaps.LapDt[lap], fn, &error) && !error.isEmpty())
            prompts_->Error(error);
    };
    QString error;
    const LapClick r = vel::StringGridLapDataDblClick(session_, services_, gridRow, hooks, &error);
    if (!error.isEmpty()) prompts_->Error(error);
    return r;
}

void TFormMain::SpeedButtonSvRunClick() {
    const QModelIndex cur = StringGridLapData->currentIndex();
    runCommands_->SpeedButtonSvRunClick(cur.isValid() ? cur.row() + 1 : 0, StringGridLapData->hasFocus(),
                                        ListBox1->isVisible());
}

void TFormMain::SpeedButtonSvRunSectClick() {
    if (!StringGridSectData->hasFocus() && !StringGridDrift->hasFocus()) return;
    if (onSaveSector) onSaveSector(PageControl3->currentIndex() == 0);
}

TFormMain::~TFormMain() {
    if (ranking_) {
        ranking_->onChanged = nullptr;
        ranking_->onError = nullptr;
    }
    sectorEdit_.reset();
    sectorSave_.reset();
    sectorCommands_.reset();
    lapListCommands_.reset();
    courseCommands_.reset();
    importCommands_.reset();
    session_.statusList.onChanged = nullptr;
    FormDestroy();
}

RunFileCommands& TFormMain::runCommands() { return *runCommands_; }

void TFormMain::BuildWidgets() {
    auto* fileMenu = menuBar()->addMenu("ファイル(&F)");
    Setup1 = fileMenu->addAction("設定(&S)");
    fileMenu->addSeparator();
    Exit1 = fileMenu->addAction("終了(&X)");
    connect(Setup1, &QAction::triggered, this, &TFormMain::Setup1Click);
    connect(Exit1, &QAction::triggered, this, &TFormMain::Exit1Click);

    auto* helpMenu = menuBar()->addMenu("ヘルプ(&H)");
    auto* helpSub = helpMenu->addMenu("ヘルプ(&H)");
    VelmarisInstructionManual1 = helpSub->addAction("ヴェルマリスIV・ヘルプ(&4)");
    Videolinkfunction1 = helpSub->addAction("映像リンク機能・ヘルプ(&V)");
    driftAngleInfoFunc1 = helpSub->addAction("ドリフトアングル表示機能・ヘルプ(&D)");
    Website1 = helpMenu->addAction("ヴェルマリス ホームページ(&I)");
    About1 = helpMenu->addAction("バージョン情報(&A)");
    connect(VelmarisInstructionManual1, &QAction::triggered, this, &TFormMain::HelpClick);
    connect(Videolinkfunction1, &QAction::triggered, this, &TFormMain::Videolinkfunction1Click);
    connect(driftAngleInfoFunc1, &QAction::triggered, this, &TFormMain::driftAngleInfoFunc1Click);
    connect(Website1, &QAction::triggered, this, &TFormMain::Website1Click);
    connect(About1, &QAction::triggered, this, &TFormMain::About1Click);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    setCentralWidget(PageControl1);

    // "グラフ": the tool strip above the inner pages.
    auto* graph = new QWidget;
    auto* gv = new QVBoxLayout(graph);
    gv->setContentsMargins(2, 2, 2, 2);
    PanelTool = new QFrame(graph);
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
    // The course-map buttons of the zoom map's tool bar.
    Panel4 = new QFrame(graph);
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
    PageControl2 = new QTabWidget(graph);
    PageControl2->setObjectName("PageControl2");
    for (const char* t : {"コース", "G / 旋回半径", "ビデオ", "ドリフト"})
        PageControl2->addTab(new QWidget, QString::fromUtf8(t));
    gv->addWidget(PanelTool);
    gv->addWidget(Panel4);
    gv->addWidget(PageControl2, 1);
    PageControl1->addTab(graph, "グラフ");

    // "データ": the lap list above the sector and drift tables.
    auto* dataPage = new QWidget;
    auto* dpv = new QVBoxLayout(dataPage);
    dpv->setContentsMargins(2, 2, 2, 2);
    auto* dataTool = new QFrame(dataPage);
    dataTool->setObjectName("PanelDataTool");
    auto* dth = new QHBoxLayout(dataTool);
    dth->setContentsMargins(0, 0, 0, 0);
    auto tool = [&](const char* name, const QString& hint) {
        QToolButton* b = ToolButton(dataTool, dth, name, hint, hint);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return b;
    };
    SpeedButtonLoad = tool("SpeedButtonLoad", "走行データ読込");
    SpeedButtonMotec = tool("SpeedButtonMotec", "MoTeCファイル(.csv)読込");
    SpeedButtonSvRun = tool("SpeedButtonSvRun", "走行データ保存");
    SpeedButtonSvAllRun = tool("SpeedButtonSvAllRun", "走行データ一括保存");
    SpeedButtonSvRunSect = tool("SpeedButtonSvRunSect", "セクタを走行データとして保存");
    SpeedButtonClrDt = tool("SpeedButtonClrDt", "走行データ全クリア");
    SpeedButtonEdiDataName = tool("SpeedButtonEdiDataName", "データ名編集");
    SpeedButtonGrp = tool("SpeedButtonGrp", "走行データをグラフに表示/非表示");
    SpeedButtonCalSect = tool("SpeedButtonCalSect", "区間タイム計算");
    SpeedButtonCalSect->setText("SC");
    SpeedButtonCalSect->setVisible(false);
    dth->addStretch();
    auto* data = new QSplitter(Qt::Vertical);
    dpv->addWidget(dataTool);
    dpv->addWidget(data, 1);
    StringGridLapData = new QTableView(data);
    StringGridLapData->setObjectName("StringGridLapData");
    lapListModel = new LapListModel(session_.lapList, this);
    lapListHeaderModel = InstallLapListView(StringGridLapData, lapListModel, session_.lapList,
                                            session_.loadedLaps, ranking_->State());
    PageControl3 = new QTabWidget(data);
    PageControl3->setObjectName("PageControl3");
    StringGridSectData = EmptyGrid(PageControl3, "StringGridSectData");
    StringGridDrift = EmptyGrid(PageControl3, "StringGridDrift");
    PageControl3->addTab(StringGridSectData, "セクタ詳細");
    PageControl3->addTab(StringGridDrift, "ドリフト詳細");
    PopupMenu4 = new QMenu(this);
    A1 = PopupMenu4->addAction("データをクリップボードへ(&A)");
    connect(A1, &QAction::triggered, this, &TFormMain::pmDriftDtClick);
    for (QWidget* w : std::initializer_list<QWidget*>{PageControl3, StringGridSectData, StringGridDrift}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& pos) { PopupMenu4->popup(w->mapToGlobal(pos)); });
    }
    data->addWidget(StringGridLapData);
    data->addWidget(PageControl3);
    data->setStretchFactor(0, 3);
    data->setStretchFactor(1, 2);
    PageControl1->addTab(dataPage, "データ");

    // "ロガー": the status list starts hidden.
    auto* logger = new QWidget;
    auto* lv = new QVBoxLayout(logger);
    PanelViewOnOff = new QFrame(logger);
    PanelViewOnOff->setObjectName("PanelViewOnOff");
    PanelViewOnOff->setFixedSize(9, 9);
    ListBox1 = new QListWidget(logger);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setVisible(false);
    ListBox2 = new QListWidget(logger);
    ListBox2->setObjectName("ListBox2");
    ListBox2->setVisible(false);
    lv->addWidget(PanelViewOnOff);
    lv->addWidget(ListBox1, 1);
    lv->addWidget(ListBox2, 1);
    PageControl1->addTab(logger, "ロガー");

    LabelVersion = new QLabel(this);
    LabelVersion->setObjectName("LabelVersion");
    statusBar()->addPermanentWidget(LabelVersion);
}

void TFormMain::FormCreate() {
    LabelVersion->setText(VersionText);
    startup_ = RunStartup(session_, services_);
    ShowSwitchPanels();
    SetLapListLayout();
    if (logicalDpiX() > 96) {
        for (QWidget* g : std::initializer_list<QWidget*>{StringGridLapData, StringGridSectData,
                                                          StringGridDrift}) {
            QFont f = g->font();
            f.setPointSize(9);
            g->setFont(f);
        }
    }
    setAcceptDrops(true);
    for (const QString& e : startup_.errors) prompts_->Error(e);
}

void TFormMain::ShowSwitchPanels() {
    SetSwitchPanel(PanelDiffTm, session_.settings.DiffTmOn);
    SetSwitchPanel(PanelAltitude, session_.settings.AltitudeOn);
    SetSwitchPanel(PanelDrift, session_.settings.DriftOn);
}

void TFormMain::SetLapListLayout() {
    QTableView* g = StringGridLapData;
    QFont f("Tahoma");
    f.setPixelSize(15);
    g->setFont(f);
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const auto& w = LapListWidths();
    for (int c = 0; c < LapListColumns; ++c) g->setColumnWidth(c, w[c]);
}

void TFormMain::RaiseWindow() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

bool TFormMain::OpenHelpDocument(const QString& name) {
    const QString path = session_.folders.HelpDir + name;
    if (!QFileInfo::exists(path)) return false;
    return OpenWithApplication(path);
}

void TFormMain::HelpClick() { OpenHelpDocument(HelpManualPdf); }
void TFormMain::Videolinkfunction1Click() { OpenHelpDocument(HelpVideoLinkPdf); }
void TFormMain::driftAngleInfoFunc1Click() { OpenHelpDocument(HelpDriftPdf); }
void TFormMain::Website1Click() { OpenWithApplication(MakerWebPage); }

void TFormMain::About1Click() {
    TOKBottomDlgVer dlg(this);
    dlg.exec();
}

QVector<QStringList> GridRows(const QTableWidget* grid) {
    QVector<QStringList> rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < grid->columnCount(); ++c) {
            const QTableWidgetItem* it = grid->item(r, c);
            row << (it ? it->text() : QString());
        }
        rows << row;
    }
    return rows;
}

void TFormMain::pmDriftDtClick() {
    QGuiApplication::clipboard()->setText(DriftTableClipboardText(GridRows(StringGridDrift)));
}

void TFormMain::Setup1Click() { TOKBottomDlgSetup::Run(this, session_.settings); }

// Through the normal close path, so the close query runs as for the close box.
void TFormMain::Exit1Click() { close(); }

void TFormMain::closeEvent(QCloseEvent* e) {
    services_.video->Stop(true);
    services_.video->DetachHandlers();
    e->accept();
}

void TFormMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    session_.settings.DiffTmOn = SwitchPanelOn(PanelDiffTm);
    session_.settings.AltitudeOn = SwitchPanelOn(PanelAltitude);
    session_.settings.DriftOn = SwitchPanelOn(PanelDrift);
    const QStringList errors = RunShutdown(session_, services_);
    for (const QString& err : errors) qWarning("%s", qUtf8Printable(err));
}

void TFormMain::dragEnterEvent(QDragEnterEvent* e) {
    if (PageControl1->currentIndex() == DataTab && e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void TFormMain::dropEvent(QDropEvent* e) {
    if (PageControl1->currentIndex() != DataTab || !e->mimeData()->hasUrls()) {
        e->ignore();
        return;
    }
    QStringList files;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile()) files << u.toLocalFile();
    e->acceptProposedAction();
    if (onFilesDropped && !files.isEmpty()) onFilesDropped(files);
}

} // namespace vel
