#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include "analysis/lap_ranking.h"
#include "app/app_services.h"
#include "app/run_file_commands.h"
#include "app/setup_dialog.h"
#include "app/small_dialogs.h"
#include "app/window_commands.h"
#include "import/control_line_dialog.h"
#include "import/log_import_commands.h"
#include "logger/logger_link.h"
#include "app/video_wiring.h"
#include "video/video_link.h"
#include "platform/shell.h"
#include "views/graph_refresh.h"

namespace vel {

namespace {

constexpr int DataTabIndex = 1;

std::unique_ptr<ControlLineDialog> RealLineDialog(Prompts& prompts, QWidget* parent,
                                                  std::function<void()> onSectorsLoaded) {
    auto dlg = std::make_unique<QtControlLineDialog>(prompts, parent);
    dlg->hooks.askName = [](QWidget* p, const QString& caption, const QString& text) -> std::optional<QString> {
        TOKBottomDlgEdiStr d(p);
        d.setWindowTitle(caption);
        d.EditStr->setText(text);
        if (d.exec() != QDialog::Accepted) return std::nullopt;
        return d.EditStr->text();
    };
    dlg->hooks.onSectorsLoaded = std::move(onSectorsLoaded);
    return dlg;
}

} // namespace

TFormMain::TFormMain(Session& session, AppServices& services, Prompts* prompts, QWidget* parent,
                     std::unique_ptr<ControlLineDialog> lineDialog)
    : QMainWindow(parent), session_(session), services_(services.services()), ranking_(services.ranking()),
      lineDialog_(std::move(lineDialog)) {
    if (!prompts) {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    setObjectName("FormMain");
    setWindowTitle("Velmaris");
    BuildMenu();
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    setCentralWidget(PageControl1);
    graphTab_ = new GraphTab;
    dataTab_ = new DataTab(session_, ranking_.State());
    loggerTab_ = new LoggerTab(session_.statusList);
    PageControl1->addTab(graphTab_, "グラフ");
    PageControl1->addTab(dataTab_, "データ");
    PageControl1->addTab(loggerTab_, "ロガー");
    refresh_ = &services.graphRefresh();
    refresh_->SetSteps(graphTab_);
    LabelVersion = new QLabel(this);
    LabelVersion->setObjectName("LabelVersion");
    statusBar()->addPermanentWidget(LabelVersion);

    if (!services.LoggerOverridden()) {
        loggerLink_ = std::make_unique<LoggerLink>(session_, *prompts_);
        services_.logger = loggerLink_.get();
        loggerTab_->AttachLink(*loggerLink_);
    }
    if (!services.VideoOverridden()) {
        videoLink_ = MakeVideoLink(session_, *prompts_, *graphTab_);
        services_.video = videoLink_.get();
    }
    if (!lineDialog_)
        lineDialog_ = RealLineDialog(*prompts_, this, [this] { commands_->SectRefresh(); });
    commands_ = std::make_unique<WindowCommands>(
        session_, services_, ranking_, *prompts_, *lineDialog_,
        WindowTabs{*graphTab_, *dataTab_, *loggerTab_, this, [this] { PageControl1->setCurrentIndex(DataTabIndex); }});
    if (loggerLink_)
        connect(loggerLink_.get(), &LoggerLink::LogLoaded, this,
                [this] { importCommands().WMLogLoaded(session_.loggerHandover); });
    if (videoLink_) WireVideoLink(*videoLink_, *graphTab_, commands_->graphControls());
    onFilesDropped = [this](const QStringList& files) {
        runCommands().DropFiles(files, PageControl1->currentIndex() == DataTabIndex);
    };
    FormCreate();
}

TFormMain::~TFormMain() {
    videoLink_.reset();
    commands_.reset();
    FormDestroy();
    loggerTab_->DetachLink();
    loggerLink_.reset();
    refresh_->SetSteps(nullptr);
}

void TFormMain::BuildMenu() {
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
}

void TFormMain::FormCreate() {
    LabelVersion->setText(VersionText);
    startup_ = RunStartup(session_, services_);
    ShowSwitchPanels();
    setAcceptDrops(true);
    for (const QString& e : startup_.errors) prompts_->Error(e);
}

void TFormMain::ShowSwitchPanels() {
    SetSwitchPanel(graphTab_->PanelDiffTm, session_.settings.DiffTmOn);
    SetSwitchPanel(graphTab_->PanelAltitude, session_.settings.AltitudeOn);
    SetSwitchPanel(graphTab_->PanelDrift, session_.settings.DriftOn);
}

RunFileCommands& TFormMain::runCommands() { return commands_->runCommands(); }
LogImportCommands& TFormMain::importCommands() { return commands_->importCommands(); }

LapClick TFormMain::StringGridLapDataDblClick(int gridRow) { return commands_->StringGridLapDataDblClick(gridRow); }

void TFormMain::RaiseWindow() {
    // Back from the task bar as it was (maximised stays maximised), shown
    // when hidden, then in front with the focus.
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    if (!isVisible()) {
        if (windowState() & Qt::WindowMaximized) showMaximized();
        else showNormal();
    }
    raise();
    activateWindow();
}

bool TFormMain::OpenHelpDocument(const QString& name) {
    const QString path = session_.folders.HelpDir + name;
    if (!QFileInfo::exists(path)) return false;
    OpenOnDesktop(path);
    return true;
}

void TFormMain::OpenOnDesktop(const QString& pathOrUrl) {
    // The answer comes once the opener has ended; the window goes on meanwhile.
    shell_->OpenWithApplication(pathOrUrl, [this, pathOrUrl](bool opened) {
        if (!opened) prompts_->Error(OpenFailedText(pathOrUrl));
    });
}

void TFormMain::HelpClick() { OpenHelpDocument(HelpManualPdf); }
void TFormMain::Videolinkfunction1Click() { OpenHelpDocument(HelpVideoLinkPdf); }
void TFormMain::driftAngleInfoFunc1Click() { OpenHelpDocument(HelpDriftPdf); }
void TFormMain::Website1Click() { OpenOnDesktop(MakerWebPage); }

void TFormMain::About1Click() {
    TOKBottomDlgVer dlg(this);
    dlg.exec();
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
    session_.settings.DiffTmOn = SwitchPanelOn(graphTab_->PanelDiffTm);
    session_.settings.AltitudeOn = SwitchPanelOn(graphTab_->PanelAltitude);
    session_.settings.DriftOn = SwitchPanelOn(graphTab_->PanelDrift);
    // The settings of this run would be lost silently otherwise; the other
    // steps have run whatever the boxes say.
    const QStringList errors = RunShutdown(session_, services_);
    for (const QString& err : errors) prompts_->Error(err);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* e) {
    if (PageControl1->currentIndex() == DataTabIndex && e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void TFormMain::dropEvent(QDropEvent* e) {
    if (PageControl1->currentIndex() != DataTabIndex || !e->mimeData()->hasUrls()) {
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
