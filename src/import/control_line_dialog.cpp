#include "import/control_line_dialog.h"

#include <algorithm>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include "common/textfile.h"
#include "import/course_commands.h"
#include "import/lap_hint_dialog.h"
#include "import/mark_dialog.h"
#include "import/select_circuit_dialog.h"
#include "model/lap_file.h"
#include "model/sector_lines.h"
#include "model/session.h"
#include "common/file_names.h"

namespace vel {

namespace {

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint,
                        bool checkable = false) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setAutoRaise(false);
    return b;
}

QLabel* Legend(QWidget* parent, const QString& text, const char* colour) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
    return l;
}

bool AnyLine(const LineChoice& l) { return l.CtrlLineSet || l.StaLineSet || l.FinLineSet; }

} // namespace

TOKBottomDlgMb::TOKBottomDlgMb(Session& session, Prompts& prompts, MbViewState& state, MbHooks hooks,
                               QWidget* parent)
    : QDialog(parent), session_(session), prompts_(prompts), state_(state),
      hooks_(std::move(hooks)) {
    setObjectName("OKBottomDlgMb");
    setWindowTitle(MbCaption);
    setModal(true);
    setSizeGripEnabled(true);
    BuildWidgets();
    if (!hooks_.chooser) hooks_.chooser = QtCircuitChooser(this);

    // FormCreate: the rally box with its click effect, the stop display.
    if (session_.lineChoice.RallySta) CheckBoxRallySta->setChecked(true);
    if (state_.ViewStop) CheckBoxViewStop->setChecked(true);
    // Once the dialog is up, before anything else happens in it.
    QMetaObject::invokeMethod(this, [this] { WMAutoSelCircuit(); }, Qt::QueuedConnection);
}

TOKBottomDlgMb::~TOKBottomDlgMb() {
    // FormDestroy: a ticked rally box stays the rule of the next imports.
    if (CheckBoxRallySta->isChecked()) session_.lineChoice.RallySta = true;
}

void TOKBottomDlgMb::BuildWidgets() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSpacing(4);

    // Top bar.
    auto* top = new QFrame(this);
    top->setObjectName("PanelTop");
    auto* tb = new QHBoxLayout(top);
    tb->setContentsMargins(2, 2, 2, 2);
    tb->setSpacing(2);
    SpeedButtonRstZoom = MakeButton(top, "SpeedButtonRstZoom", "全体", "拡大表示解除");
    SpeedButtonRect = MakeButton(top, "SpeedButtonRect", "範囲拡大", "範囲指定拡大表示", true);
    SpeedButtonCtrl = MakeButton(top, "SpeedButtonCtrl", "コントロール", "コントロールライン設定", true);
    SpeedButtonSta = MakeButton(top, "SpeedButtonSta", "スタート", "スタート設定", true);
    SpeedButtonFin = MakeButton(top, "SpeedButtonFin", "フィニッシュ", "フィニッシュ設定", true);
    SpeedButtonSta->setStyleSheet("QToolButton { color: rgb(0,0,255); }");
    SpeedButtonFin->setStyleSheet("QToolButton { color: rgb(0,128,0); }");
    SpeedButtonDel = MakeButton(top, "SpeedButtonDel", "削除", "コントロールライン、スタート／フィニッシュ削除");
    SpeedButtonMark = MakeButton(top, "SpeedButtonMark", "目印", "目印設定");
    SpeedButtonSelCircuit = MakeButton(top, "SpeedButtonSelCircuit", "検索", "コース図、コントロールライン検索");
    SpeedButtonLoad = MakeButton(top, "SpeedButtonLoad", "読込", "コントロールライン、スタート／フィニッシュ読込");
    SpeedButtonSave = MakeButton(top, "SpeedButtonSave", "保存", "コントロールライン、スタート／フィニッシュ保存");
    CheckBoxRallySta = new QCheckBox("ラリー", top);
    CheckBoxRallySta->setObjectName("CheckBoxRallySta");
    CheckBoxRallySta->setToolTip("ラリーSS (00秒スタート)");
    CheckBoxViewStop = new QCheckBox("停止位置表示", top);
    CheckBoxViewStop->setObjectName("CheckBoxViewStop");
    SpeedButtonHint = MakeButton(top, "SpeedButtonHint", "ヒント", "ヒント");
    SpeedButtonLdCourse = MakeButton(top, "SpeedButtonLdCourse", "コース図", "コース図ファイル読込");
    SpeedButtonAE = MakeButton(top, "SpeedButtonAE", "→", "軌跡補正・右(東)へ");
    SpeedButtonAW = MakeButton(top, "SpeedButtonAW", "←", "軌跡補正・左(西)へ");
    SpeedButtonAS = MakeButton(top, "SpeedButtonAS", "↓", "軌跡補正・下(南)へ");
    SpeedButtonAN = MakeButton(top, "SpeedButtonAN", "↑", "軌跡補正・上(北)へ");
    SpeedButtonAllSel = MakeButton(top, "SpeedButtonAllSel", "全選択", "すべて選択");
    SpeedButtonAllRel = MakeButton(top, "SpeedButtonAllRel", "全解除", "すべて解除");
    SpeedButtonSvAsDtb = MakeButton(top, "SpeedButtonSvAsDtb", "走行保存", "選択レコードを1つの走行ファイルとして保存");
    SpeedButtonEdiRecName = MakeButton(top, "SpeedButtonEdiRecName", "名前編集", "レコード名編集");

    tools_ = new QButtonGroup(this);
    tools_->setExclusive(true);
    tools_->addButton(SpeedButtonRect, int(MapTool::Rect));
    tools_->addButton(SpeedButtonCtrl, int(MapTool::Ctrl));
    tools_->addButton(SpeedButtonSta, int(MapTool::Sta));
    tools_->addButton(SpeedButtonFin, int(MapTool::Fin));
    SpeedButtonCtrl->setChecked(true);

    auto gap = [tb] { tb->addSpacing(10); };
    tb->addWidget(SpeedButtonRstZoom);
    tb->addWidget(SpeedButtonRect);
    gap();
    tb->addWidget(SpeedButtonCtrl);
    tb->addWidget(SpeedButtonSta);
    tb->addWidget(SpeedButtonFin);
    tb->addWidget(SpeedButtonDel);
    gap();
    tb->addWidget(SpeedButtonMark);
    tb->addWidget(SpeedButtonSelCircuit);
    tb->addWidget(SpeedButtonLoad);
    tb->addWidget(SpeedButtonSave);
    gap();
    tb->addWidget(CheckBoxRallySta);
    tb->addWidget(CheckBoxViewStop);
    gap();
    tb->addWidget(SpeedButtonHint);
    tb->addWidget(SpeedButtonLdCourse);
    gap();
    tb->addWidget(SpeedButtonAE);
    tb->addWidget(SpeedButtonAW);
    tb->addWidget(SpeedButtonAS);
    tb->addWidget(SpeedButtonAN);
    tb->addStretch(1);
    tb->addWidget(SpeedButtonAllSel);
    tb->addWidget(SpeedButtonAllRel);
    tb->addSpacing(2);
    tb->addWidget(SpeedButtonSvAsDtb);
    tb->addSpacing(2);
    tb->addWidget(SpeedButtonEdiRecName);
    root->addWidget(top);

    // Centre: the map in a white panel, the block list at the right.
    auto* centre = new QHBoxLayout;
    auto* panel = new QFrame(this);
    panel->setObjectName("PanelMap");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    panel->setPalette(pal);
    auto* pl = new QVBoxLayout(panel);
    pl->setContentsMargins(0, 0, 0, 0);
    PaintBox2 = new CourseMapView(session_.logStore, session_.coursePaths, session_.lineChoice, state_, panel);
    pl->addWidget(PaintBox2);
    centre->addWidget(panel, 1);

    auto* right = new QVBoxLayout;
    LabelLogName = new QLabel(this);
    LabelLogName->setObjectName("LabelLogName");
    QFont bold = LabelLogName->font();
    bold.setBold(true);
    LabelLogName->setFont(bold);
    right->addWidget(LabelLogName);
    right->addWidget(new QLabel("レコード一覧", this));
    right->addWidget(new QLabel("記録開始の日付と時刻", this));
    right->addWidget(new QLabel("YYYYMMDD_HHNN", this));
    CheckListBoxLogBlk = new QListWidget(this);
    CheckListBoxLogBlk->setObjectName("CheckListBoxLogBlk");
    CheckListBoxLogBlk->setToolTip("レコード選択");
    QFont lf = CheckListBoxLogBlk->font();
    lf.setPixelSize(15);
    CheckListBoxLogBlk->setFont(lf);
    CheckListBoxLogBlk->setUniformItemSizes(true);
    CheckListBoxLogBlk->setFixedWidth(200);
    CheckListBoxLogBlk->viewport()->installEventFilter(this);
    right->addWidget(CheckListBoxLogBlk, 1);
    centre->addLayout(right);
    root->addLayout(centre, 1);

    // Bottom bar.
    auto* bottom = new QFrame(this);
    bottom->setObjectName("PanelBottom");
    auto* bb = new QHBoxLayout(bottom);
    bb->setContentsMargins(2, 2, 2, 2);
    LabelIK = new QLabel(bottom);
    LabelIK->setObjectName("LabelIK");
    LabelIK->setMinimumWidth(220);
    bb->addWidget(LabelIK);
    bb->addSpacing(20);
    bb->addWidget(Legend(bottom, "- : 走行", "rgb(255,0,0)"));
    bb->addSpacing(12);
    bb->addWidget(Legend(bottom, "- : 2 km/h以下", "rgb(0,0,255)"));
    bb->addSpacing(12);
    bb->addWidget(Legend(bottom, "○ : 停止", "rgb(0,0,0)"));
    bb->addStretch(1);
    OKBtn = new QPushButton("OK", bottom);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("キャンセル", bottom);
    CancelBtn->setObjectName("CancelBtn");
    bb->addWidget(OKBtn);
    bb->addSpacing(8);
    bb->addWidget(CancelBtn);
    bb->addSpacing(8);
    root->addWidget(bottom);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(tools_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) PaintBox2->tool = static_cast<MapTool>(id);
    });
    connect(SpeedButtonCtrl, &QToolButton::clicked, this, [this] { SpeedButtonCtrlClick(); });
    connect(CheckBoxRallySta, &QCheckBox::toggled, this, [this] { CheckBoxRallyStaClick(); });
    connect(CheckBoxViewStop, &QCheckBox::toggled, this, [this] { CheckBoxViewStopClick(); });
    connect(SpeedButtonRstZoom, &QToolButton::clicked, this, [this] { SpeedButtonRstZoomClick(); });
    connect(SpeedButtonDel, &QToolButton::clicked, this, [this] { SpeedButtonDelClick(); });
    connect(SpeedButtonMark, &QToolButton::clicked, this, [this] { SpeedButtonMarkClick(); });
    connect(SpeedButtonSelCircuit, &QToolButton::clicked, this, [this] { SpeedButtonSelCircuitClick(); });
    connect(SpeedButtonLoad, &QToolButton::clicked, this, [this] { SpeedButtonLoadClick(); });
    connect(SpeedButtonSave, &QToolButton::clicked, this, [this] { SpeedButtonSaveClick(); });
    connect(SpeedButtonHint, &QToolButton::clicked, this, [this] { SpeedButtonHintClick(); });
    connect(SpeedButtonLdCourse, &QToolButton::clicked, this, [this] { SpeedButtonLdCourseClick(); });
    connect(SpeedButtonAE, &QToolButton::clicked, this, [this] { SpeedButtonAEClick(); });
    connect(SpeedButtonAW, &QToolButton::clicked, this, [this] { SpeedButtonAWClick(); });
    connect(SpeedButtonAS, &QToolButton::clicked, this, [this] { SpeedButtonASClick(); });
    connect(SpeedButtonAN, &QToolButton::clicked, this, [this] { SpeedButtonANClick(); });
    connect(SpeedButtonAllSel, &QToolButton::clicked, this, [this] { SpeedButtonAllSelClick(); });
    connect(SpeedButtonAllRel, &QToolButton::clicked, this, [this] { SpeedButtonAllRelClick(); });
    connect(SpeedButtonSvAsDtb, &QToolButton::clicked, this, [this] { SpeedButtonSvAsDtbClick(); });
    connect(SpeedButtonEdiRecName, &QToolButton::clicked, this, [this] { SpeedButtonEdiRecNameClick(); });
    connect(CheckListBoxLogBlk, &QListWidget::itemChanged, this, [this] {
        if (!filling_) CheckListBoxLogBlkClickCheck();
    });
    connect(PaintBox2, &CourseMapView::PointerText, this, [this](const QString& text) {
        LabelIK->setText(text);
        // The wheel goes to the map, not to a focused list.
        if (CheckListBoxLogBlk->hasFocus()) OKBtn->setFocus();
    });
    // Shown maximised; when restored it must still fit a small screen.
    QSize size(1280, 800);
    if (QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size());
    resize(size.expandedTo(minimumSizeHint()));
}

void TOKBottomDlgMb::SetLog(const ControlLineDialogInput& input) {
    state_.MbViewRect = input.viewRect;
    LabelLogName->setText(input.label);
    LabelLogName->setToolTip(input.hint);
    filling_ = true;
    CheckListBoxLogBlk->clear();
    for (const TLogBlock& b : session_.logStore.LogBlock) {
        auto* item = new QListWidgetItem(b.Title, CheckListBoxLogBlk);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(b.Act ? Qt::Checked : Qt::Unchecked);
        item->setSizeHint(QSize(0, 18));
    }
    filling_ = false;
    PaintBox2->FullRepaint();
}

MapTool TOKBottomDlgMb::Tool() const { return static_cast<MapTool>(tools_->checkedId()); }

void TOKBottomDlgMb::done(int r) {
    if (r == QDialog::Accepted && !AnyLine(session_.lineChoice)) {
        if (prompts_.AskYesNo(NoLineQuestion) == Answer::Yes) {
            // Stays open; the search runs once this question is gone.
            QMetaObject::invokeMethod(this, [this] { ReqSelCircuit(true); }, Qt::QueuedConnection);
            return;
        }
    }
    QDialog::done(r);
}

bool TOKBottomDlgMb::eventFilter(QObject* watched, QEvent* e) {
    if (watched == CheckListBoxLogBlk->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        const auto* me = static_cast<QMouseEvent*>(e);
        // Near the left edge lie the tick boxes: a double click there only ticks.
        if (me->position().x() >= 16) {
            // The press before it has made the item current.
            CheckListBoxLogBlkDblClick(static_cast<int>(me->position().x()));
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TOKBottomDlgMb::BlocksChanged() {
    LogStore& st = session_.logStore;
    for (int i = 0; i < CheckListBoxLogBlk->count() && i < st.LogBlock.size(); ++i)
        st.LogBlock[i].Act = CheckListBoxLogBlk->item(i)->checkState() == Qt::Checked;
    st.SetMbActAndRect();
    state_.MbViewRect = st.LogRect;
    PaintBox2->FullRepaint();
}

void TOKBottomDlgMb::CheckListBoxLogBlkClickCheck() { BlocksChanged(); }

void TOKBottomDlgMb::SetAllTicks(bool on) {
    if (CheckListBoxLogBlk->count() == 0) return;
    filling_ = true;
    for (int i = 0; i < CheckListBoxLogBlk->count(); ++i)
        CheckListBoxLogBlk->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
    for (TLogBlock& b : session_.logStore.LogBlock) b.Act = on;
    BlocksChanged();
}

void TOKBottomDlgMb::SpeedButtonAllSelClick() { SetAllTicks(true); }
void TOKBottomDlgMb::SpeedButtonAllRelClick() { SetAllTicks(false); }

void TOKBottomDlgMb::Rename(int index) {
    if (!hooks_.askName || index < 0 || index >= CheckListBoxLogBlk->count()) return;
    QListWidgetItem* item = CheckListBoxLogBlk->item(index);
    const std::optional<QString> name = hooks_.askName(this, RecNameCaption, item->text());
    if (!name) return;
    filling_ = true;
    item->setText(*name);
    filling_ = false;
    if (index < session_.logStore.LogBlock.size()) session_.logStore.LogBlock[index].Title = *name;
}

void TOKBottomDlgMb::CheckListBoxLogBlkDblClick(int x) {
    if (x < 16 || CheckListBoxLogBlk->count() == 0) return;
    const int index = std::clamp(CheckListBoxLogBlk->currentRow(), 0, CheckListBoxLogBlk->count() - 1);
    Rename(index);
}

void TOKBottomDlgMb::SpeedButtonEdiRecNameClick() { Rename(CheckListBoxLogBlk->currentRow()); }

void TOKBottomDlgMb::SpeedButtonRstZoomClick() {
    state_.MbViewRect = session_.logStore.LogRect;
    PaintBox2->FullRepaint();
}

void TOKBottomDlgMb::SpeedButtonDelClick() {
    LineChoice& l = session_.lineChoice;
    switch (Tool()) {
    case MapTool::Ctrl: l.CtrlLineSet = l.StaLineSet = l.FinLineSet = false; break;
    case MapTool::Sta: l.StaLineSet = false; break;
    case MapTool::Fin: l.FinLineSet = false; break;
    case MapTool::Rect: break;
    }
    PaintBox2->FullRepaint();
}

void TOKBottomDlgMb::SpeedButtonCtrlClick() {
    if (SpeedButtonCtrl->isChecked() && CheckBoxRallySta->isChecked()) CheckBoxRallySta->setChecked(false);
}

void TOKBottomDlgMb::CheckBoxRallyStaClick() {
    if (CheckBoxRallySta->isChecked()) {
        session_.lineChoice.RallySta = true;
        // A rally stage runs from a start line.
        if (SpeedButtonCtrl->isChecked()) SpeedButtonSta->setChecked(true);
    } else {
        session_.lineChoice.RallySta = false;
    }
}

void TOKBottomDlgMb::CheckBoxViewStopClick() {
    state_.ViewStop = CheckBoxViewStop->isChecked();
    PaintBox2->FullRepaint();
}

void TOKBottomDlgMb::SpeedButtonMarkClick() {
    std::optional<QString> text;
    if (hooks_.askMark) {
        text = hooks_.askMark();
    } else {
        QPointer<TOKBottomDlgMark> dlg = new TOKBottomDlgMark(this);
        if (dlg->exec() == QDialog::Accepted && dlg) text = dlg->EditY1X1->text();
        delete dlg;
    }
    long double ido = 0, kdo = 0;
    if (!text || !ParseMarkText(*text, ido, kdo)) return;
    state_.MarkSet = 1;
    state_.MarkIdo = ido;
    state_.MarkKdo = kdo;
    PaintBox2->update();
}

void TOKBottomDlgMb::SpeedButtonHintClick() {
    if (hooks_.showHint) {
        hooks_.showHint();
        return;
    }
    QPointer<TOKBottomDlgLapHint> dlg = new TOKBottomDlgLapHint(this);
    dlg->exec();
    delete dlg;
}

void TOKBottomDlgMb::ApplyCln(const ClnApplied& a) {
    if (!a.changed) return;
    // The box's own effect (the start tool for a rally) comes with the tick.
    if (a.rallyBox) CheckBoxRallySta->setChecked(*a.rallyBox);
    if (a.controlLine) SpeedButtonCtrl->setChecked(true);
    PaintBox2->update();
}

void TOKBottomDlgMb::SpeedButtonLoadClick() {
    FileDialogSpec ask;
    ask.title = ClnOpenTitle;
    ask.folder = session_.folders.ClnDir;
    ask.filters = {ClnFilter};
    const QStringList files = prompts_.OpenFiles(ask);
    activateWindow();
    if (files.isEmpty() || files.first().isEmpty()) return;
    QString path = files.first();
    // "X.CLN" opens as it is named.
    if (ExtensionOf(path).compare(ClnExt, Qt::CaseInsensitive) != 0) path = ChangeExt(path, ClnExt);
    LoadCln(path, true);
}

void TOKBottomDlgMb::LoadCln(const QString& path, bool byLoad) {
    if (!QFileInfo(path).isFile()) return;
    session_.folders.ClnDir = FolderOf(path);
    QStringList lines;
    QString error;
    if (!ReadTextLines(path, lines, &error)) {
        prompts_.Error(error);
        return;
    }
    ApplyCln(ApplyClnLines(session_.lineChoice, lines, byLoad));
}

void TOKBottomDlgMb::SpeedButtonSaveClick() {
    const LineChoice& l = session_.lineChoice;
    if (!CanSaveCln(l)) return;
    FileDialogSpec ask;
    ask.title = ClnSaveTitle;
    ask.folder = session_.folders.ClnDir;
    ask.filters = {ClnFilter};
    SaveTargetSteps steps;
    steps.dialogClosed = [this] { activateWindow(); };
    steps.chosen = [this](const QString& target) { session_.folders.ClnDir = FolderOf(target); };
    const QString target = AskSaveTarget(prompts_, ask, ClnExt, steps);
    if (target.isEmpty()) return;
    QString error;
    if (!WriteTextLines(target, ClnFileLines(l), &error)) prompts_.Error(error);
}

void TOKBottomDlgMb::SpeedButtonLdCourseClick() {
    const PathLoad r = OpenCoursePath(prompts_, session_.folders.CircuitDir, session_.coursePaths);
    activateWindow();
    if (r == PathLoad::Loaded) PaintBox2->FullRepaint();
}

void TOKBottomDlgMb::Shift(int north, int east) {
    const TLogRect& v = state_.MbViewRect;
    const long double w = std::max(1, PaintBox2->width()), h = std::max(1, PaintBox2->height());
    ShiftLogItems(session_.logStore, north * (v.IdoMax - v.IdoMin) / h, east * (v.KdoMax - v.KdoMin) / w);
    PaintBox2->FullRepaint();
}

bool TOKBottomDlgMb::LoadFoundPth(int cand) {
    const Catalogue& cat = session_.catalogue;
    const QString path = CandidatePath(cat.SelCirLstPth, cat.PthDat, cand);
    if (path.isEmpty()) return false;
    return LoadFoundCoursePath(path, prompts_, session_.folders.CircuitDir, session_.coursePaths) ==
           PathLoad::Loaded;
}

void TOKBottomDlgMb::LoadFoundCln(int cand) {
    const Catalogue& cat = session_.catalogue;
    const QString path = CandidatePath(cat.SelCirLstCln, cat.ClnDat, cand);
    if (!path.isEmpty()) LoadCln(path, false);
}

void TOKBottomDlgMb::LoadFoundSci(int cand) {
    const Catalogue& cat = session_.catalogue;
    const QString path = CandidatePath(cat.SelCirLstSci, cat.SciDat, cand);
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    session_.folders.SectDir = FolderOf(path);
    QString error;
    if (!LoadSectFile(path, session_.sectorLines, session_.comparison.SelSect, &error)) {
        prompts_.Error(error);
        return;
    }
    if (hooks_.onSectorsLoaded) hooks_.onSectorsLoaded();
}

void TOKBottomDlgMb::ShowSelection() {
    const Catalogue& cat = session_.catalogue;
    SelCircuitLists lists;
    lists.pth = CandidateNames(cat.SelCirLstPth);
    lists.cln = CandidateNames(cat.SelCirLstCln);
    lists.sci = CandidateNames(cat.SelCirLstSci);
    lists.usePth = lists.useCln = lists.useSci = true;
    const SelCircuitChoice c = hooks_.chooser(lists);
    if (!c.ok) return;
    const bool map = LoadFoundPth(c.pth);
    LoadFoundCln(c.cln);
    LoadFoundSci(c.sci);
    if (map) PaintBox2->FullRepaint();
    else PaintBox2->update();
}

void TOKBottomDlgMb::ReqSelCircuit(bool forced) {
    if (!forced && (session_.coursePaths.CoursePathNum >= 1 || AnyLine(session_.lineChoice))) return;
    const std::optional<SearchPos> pos = CircuitSearchPos(session_.logStore);
    if (!pos) return;
    Catalogue& cat = session_.catalogue;
    CalPthGap(cat, pos->kdo, pos->ido);
    CalClnGap(cat, pos->kdo, pos->ido);
    CalSciGap(cat, pos->kdo, pos->ido);
    SetSelCirLstPth(cat, SelCircuitRadiusKm);
    SetSelCirLstCln(cat, SelCircuitRadiusKm);
    SetSelCirLstSci(cat, SelCircuitRadiusKm);
    const qsizetype np = cat.SelCirLstPth.size(), nc = cat.SelCirLstCln.size(), ns = cat.SelCirLstSci.size();
    if (forced) {
        // Sector files alone are not what was searched for.
        if (np == 0 && nc == 0) prompts_.Inform(CourseNotFound);
        else ShowSelection();
        return;
    }
    if (np == 0 && nc == 0) return;
    if (np > 1 || nc > 1 || ns > 1) {
        ShowSelection();
        return;
    }
    const bool map = np == 1 && LoadFoundPth(0);
    if (nc == 1) LoadFoundCln(0);
    if (ns == 1) LoadFoundSci(0);
    if (map) PaintBox2->FullRepaint();
    else PaintBox2->update();
}

void TOKBottomDlgMb::SpeedButtonSvAsDtbClick() {
    const LogStore& st = session_.logStore;
    const SelRange r = ActiveRange(st);
    if (r.first < 0 || r.Single()) return;
    int blk = 0;
    for (int i = 0; i < st.LogBlock.size(); ++i)
        if (st.LogBlock[i].Act) {
            blk = i;
            break;
        }
    if (blk < CheckListBoxLogBlk->count()) CheckListBoxLogBlk->setCurrentRow(blk);
    FileDialogSpec ask;
    ask.title = RunSaveTitle;
    ask.folder = session_.folders.RawDir;
    ask.fileName = QStringLiteral("LOG_") + (blk < st.LogBlock.size() ? st.LogBlock[blk].Title : QString()) + DtbExt;
    ask.filters = {RunFileFilter};
    SaveTargetSteps steps;
    steps.dialogClosed = [this] { activateWindow(); };
    const QString target = AskSaveTarget(prompts_, ask, DtbExt, steps);
    if (target.isEmpty()) return;
    QString error;
    if (!WriteLapFile(target, SelectionRunRecords(st), &error)) prompts_.Error(error);
}

bool QtControlLineDialog::Exec(Session& session, const ControlLineDialogInput& input) {
    TOKBottomDlgMb dlg(session, prompts_, state_, hooks, parent_);
    dlg.SetLog(input);
    return RunModal(dlg);
}

bool QtControlLineDialog::RunModal(TOKBottomDlgMb& dlg) {
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace vel
