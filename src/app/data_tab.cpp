#include "app/data_tab.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include "analysis/sector_tables.h"
#include "app/lap_list_view.h"
#include "app/small_dialogs.h"
#include "model/lap_list_model.h"
#include "model/session.h"
#include "platform/tool_buttons.h"
#include "views/export/grid_text.h"

namespace vel {

namespace {

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

DataTab::DataTab(Session& session, const LapRankState& ranking, QWidget* parent)
    : QWidget(parent), session_(session), ranking_(ranking) {
    auto* dpv = new QVBoxLayout(this);
    dpv->setContentsMargins(2, 2, 2, 2);
    auto* dataTool = new QFrame(this);
    dataTool->setObjectName("PanelDataTool");
    PanelDataTool = dataTool;
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
    lapListModel = new LapListModel(session.lapList, this);
    lapListHeaderModel =
        InstallLapListView(StringGridLapData, lapListModel, session.lapList, session.loadedLaps, ranking);
    PageControl3 = new QTabWidget(data);
    PageControl3->setObjectName("PageControl3");
    StringGridSectData = EmptyGrid(PageControl3, "StringGridSectData");
    StringGridDrift = EmptyGrid(PageControl3, "StringGridDrift");
    PageControl3->addTab(StringGridSectData, "セクタ詳細");
    PageControl3->addTab(StringGridDrift, "ドリフト詳細");
    PopupMenu4 = new QMenu(this);
    A1 = PopupMenu4->addAction("データをクリップボードへ(&A)");
    connect(A1, &QAction::triggered, this, &DataTab::pmDriftDtClick);
    PopupMenu2 = new QMenu(this);
    pmAllDt = PopupMenu2->addAction("全データをクリップボードへ(&A)");
    pmSelDt = PopupMenu2->addAction("表示対象データをクリップボードへ(&S)");
    connect(pmAllDt, &QAction::triggered, this, &DataTab::pmAllDtClick);
    connect(pmSelDt, &QAction::triggered, this, &DataTab::pmSelDtClick);
    PopupMenu3 = new QMenu(this);
    pmSectDt = PopupMenu3->addAction("データをクリップボードへ(&A)");
    connect(pmSectDt, &QAction::triggered, this, &DataTab::pmSectDtClick);
    const std::pair<QWidget*, QMenu*> popups[] = {{PageControl3, PopupMenu4},
                                                  {StringGridSectData, PopupMenu3},
                                                  {StringGridDrift, PopupMenu4},
                                                  {StringGridLapData, PopupMenu2}};
    for (const auto& popup : popups) {
        // Named copies: clang 14 can't capture structured bindings.
        QWidget* w = popup.first;
        QMenu* menu = popup.second;
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [w, menu](const QPoint& pos) { menu->popup(w->mapToGlobal(pos)); });
    }
    data->addWidget(StringGridLapData);
    data->addWidget(PageControl3);
    data->setStretchFactor(0, 3);
    data->setStretchFactor(1, 2);
    SetLapListLayout();
    if (logicalDpiX() > 96) {
        for (QWidget* g : std::initializer_list<QWidget*>{StringGridLapData, StringGridSectData, StringGridDrift}) {
            QFont f = g->font();
            f.setPointSize(9);
            g->setFont(f);
        }
    }
}

void DataTab::SetLapListLayout() {
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
    FitLapListColumns();
    connect(lapListHeaderModel, &QAbstractItemModel::headerDataChanged, this, [this] { FitLapListColumns(); });
    for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(lapListModel, sig, this, [this] { FitLapListColumns(); });
    connect(lapListModel, &QAbstractItemModel::modelReset, this, [this] { FitLapListColumns(); });
    connect(lapListModel, &QAbstractItemModel::dataChanged, this, [this] { FitLapListColumns(); });
}

void DataTab::FitLapListColumns() {
    QTableView* g = StringGridLapData;
    QHeaderView* header = g->horizontalHeader();
    QAbstractItemModel* m = g->model();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < LapListColumns && c < m->columnCount(); ++c) {
        const QVariant font = m->headerData(c, Qt::Horizontal, Qt::FontRole);
        const QFontMetrics fm(font.isValid() ? font.value<QFont>() : header->font());
        int need = fm.horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) + 2 * margin;
        // The data name is written from 2 pixels in (LapCellTextX).
        if (c == 0)
            for (int r = 0; r < m->rowCount(); ++r)
                need = std::max(need, g->fontMetrics().horizontalAdvance(m->index(r, 0).data().toString()) + 6);
        if (header->sectionSize(c) < need) g->setColumnWidth(c, need);
    }
}

int DataTab::CurrentLapRow() const {
    const QModelIndex cur = StringGridLapData->currentIndex();
    return cur.isValid() ? cur.row() + 1 : 0;
}

void DataTab::pmDriftDtClick() {
    QGuiApplication::clipboard()->setText(DriftTableClipboardText(GridRows(StringGridDrift)));
}

QStringList DataTab::LapListHeaderTexts() const {
    QStringList h;
    for (int c = 0; c < LapListColumns; ++c) h << LapListHeader(ranking_, c);
    return h;
}

namespace {

QVector<QStringList> LapListCells(const LapList& list) {
    QVector<QStringList> rows;
    rows.reserve(list.Rows.size());
    for (const LapRow& r : list.Rows) rows << QStringList(r.Cells.begin(), r.Cells.end());
    return rows;
}

} // namespace

void DataTab::pmAllDtClick() {
    QGuiApplication::clipboard()->setText(LapListClipboardText(LapListHeaderTexts(), LapListCells(session_.lapList)));
}

void DataTab::pmSelDtClick() {
    QStringList shown;
    const LoadedLaps& laps = session_.loadedLaps;
    for (int k = 0; k < laps.LapDtNum && k < laps.LapDt.size(); ++k) shown << laps.LapDt[k].DtName;
    QGuiApplication::clipboard()->setText(
        ShownLapsClipboardText(LapListHeaderTexts(), LapListCells(session_.lapList), shown));
}

void DataTab::pmSectDtClick() {
    QGuiApplication::clipboard()->setText(SectTableClipboardText(GridRows(StringGridSectData)));
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

} // namespace vel
