#include "app/lap_list_view.h"

#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QTableWidget>
#include "analysis/display_slots.h"
#include "app/small_dialogs.h"

namespace vel {

namespace {

constexpr int DataNameCol = 0;
constexpr int DataNumberCol = 1;

void SetCell(QTableWidget* grid, int r, int c, const QString& text, const GridCellLook& look) {
    QTableWidgetItem* it = grid->item(r, c);
    if (!it) {
        it = new QTableWidgetItem;
        grid->setItem(r, c, it);
    }
    it->setText(text);
    it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    it->setBackground(look.header ? grid->palette().button().color() : ColorOf(look.brush));
    it->setForeground(ColorOf(look.font));
}

template <class Look>
void ShowGrid(QTableWidget* grid, const QVector<QStringList>& rows, int cols, int sectNum, Look look) {
    if (!grid) return;
    grid->setRowCount(static_cast<int>(rows.size()));
    grid->setColumnCount(cols);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < cols; ++c)
            SetCell(grid, r, c, c < rows[r].size() ? rows[r][c] : QString(), look(sectNum, r, c));
}

} // namespace


int LapCellTextX(int col, int left, int right, int textWidth) {
    if (col >= 1 && col <= 3) return left + ((right - left + 1) - textWidth) / 2;
    if ((col >= 4 && col <= 6) || (col >= 8 && col <= 18)) return right - textWidth - 2;
    if (col == 7) return left + 6;
    return left + 2;
}

QVariant LapListHeaderModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= LapListColumns)
        return QIdentityProxyModel::headerData(section, o, role);
    switch (role) {
    case Qt::DisplayRole:
        return LapListHeader(state_, section);
    case Qt::TextAlignmentRole: {
        Qt::Alignment h = Qt::AlignLeft;
        if (section >= 1 && section <= 3) h = Qt::AlignHCenter;
        else if ((section >= 4 && section <= 6) || (section >= 9 && section <= 18)) h = Qt::AlignRight;
        else if (section == 8 && LapListHeader(state_, 8) != QStringLiteral("セクタ")) h = Qt::AlignRight;
        return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case Qt::FontRole:
        if (section >= DriftCol && section <= 18) {
            QFont f;
            f.setPointSize(9);
            return f;
        }
        return {};
    default:
        return QIdentityProxyModel::headerData(section, o, role);
    }
}

void LapListHeaderModel::Refresh() {
    emit headerDataChanged(Qt::Horizontal, 0, LapListColumns - 1);
}

void LapListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int col = index.column();
    const CellColours c = LapCellColours(list_, laps_, state_, index.row() + 1, col);
    const QRect r = option.rect;
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetrics fm(option.font);
    painter->save();
    painter->fillRect(r, ColorOf(c.brush));
    painter->setFont(option.font);
    painter->setPen(ColorOf(c.font));
    const int x = LapCellTextX(col, r.left(), r.right(), fm.horizontalAdvance(text));
    painter->drawText(QPoint(x, r.top() + 2 + fm.ascent()), text);
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

LapListHeaderModel* InstallLapListView(QTableView* view, QAbstractItemModel* source, const LapList& list,
                                       const LoadedLaps& laps, const LapRankState& state) {
    auto* header = new LapListHeaderModel(state, view);
    header->setSourceModel(source);
    view->setModel(header);
    view->setItemDelegate(new LapListDelegate(list, laps, state, view));
    return header;
}

void ShowSectTables(QTableWidget* sectGrid, QTableWidget* driftGrid, const SectTables& t, int sectNum) {
    ShowGrid(sectGrid, t.sect, SectGridCols, sectNum, SectCellLook);
    ShowGrid(driftGrid, t.drift, DriftGridCols, sectNum, DriftCellLook);
}

NameAsk QtNameAsk(QWidget* parent) {
    return [parent](const QString& caption, const QString& text) -> std::optional<QString> {
        TOKBottomDlgEdiStr dlg(parent);
        dlg.setWindowTitle(caption);
        dlg.EditStr->setText(text);
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.EditStr->text();
    };
}

LapListCommands::LapListCommands(Session& session, SectorLines& lines, Prompts& prompts, const Services& services,
                                 LapRanking& ranking, SectReleaseAsk release, NameAsk askName,
                                 std::function<bool()> playing)
    : session_(session), lines_(lines), prompts_(prompts), services_(services), ranking_(ranking),
      release_(std::move(release)), askName_(std::move(askName)), playing_(std::move(playing)) {}

bool LapListCommands::SpeedButtonClrDtClick() {
    LapList& list = session_.lapList;
    if (list.Rows.isEmpty() || list.Rows.front().Cells[DataNumberCol].isEmpty()) return false;
    if (prompts_.AskYesNo(ClearAllQuestion) != Answer::Yes) return false;

    LoadedLaps& laps = session_.loadedLaps;
    Comparison& cmp = session_.comparison;
    GraphsService& g = *services_.graphs;
    if (cmp.DispSlot[0].Active) {
        if (playing_ && playing_()) g.StopPlayback();
        laps.LapDt.clear();
        laps.LapDtNum = 0;
        ClrDispSlots(cmp);
        cmp.RefIdo = 0;
        cmp.SelSect = 0;
        CalDistOfs(laps, cmp, lines_.Count());
        g.LapsShownChanged(LapsChange::Cleared);
    }

    list.Rows.clear();
    list.LapStrLst.clear();
    ranking_.SetBestLapRank();
    list.GrpNo = 0;

    const int n = lines_.Count();
    if (n > 0 && release_) {
        const SectRelease r = release_(n, true);
        if (r.ok) {
            if (r.all) lines_.SectNum = 0;
            else RemoveSects(lines_, r.lines, &cmp.SelSect);
            ranking_.SetSectTmList();
            ranking_.SetDriftAngleList();
        }
    }

    if (SetSectGrid) SetSectGrid();
    ranking_.SetBestSectRank();
    ranking_.SetBestDriftRank();
    if (RepaintLapList) RepaintLapList();

    VideoService& v = *services_.video;
    const TPlayState st = v.State();
    if (v.VideoDuration() != 0 && (st == TPlayState::psPlay || st == TPlayState::psResume)) v.Pause();
    return true;
}

bool LapListCommands::SpeedButtonEdiDataNameClick(int row, int col, bool lapListFocused) {
    LapList& list = session_.lapList;
    if (row < 1 || row > list.Rows.size() || col != DataNameCol || !lapListFocused) return false;
    const QString number = list.Rows[row - 1].Cells[DataNumberCol];
    if (number.isEmpty() || !askName_) return false;
    const std::optional<QString> name =
        askName_(QStringLiteral("データ名編集 ") + number, list.Rows[row - 1].Cells[DataNameCol]);
    // The rows may have changed while the dialog was open.
    if (!name || row > list.Rows.size()) return false;
    list.Rows[row - 1].Cells[DataNameCol] = *name;
    if (RepaintLapList) RepaintLapList();
    return true;
}

LapClick LapListCommands::SpeedButtonGrpClick(int row) {
    return StringGridLapDataDblClick(session_, services_, row, Hooks());
}

void LapListCommands::SpeedButtonCalSectClick() {
    ranking_.SetSectTmList();
    ranking_.SetDriftAngleList();
}

LapRefreshHooks LapListCommands::Hooks() {
    LapRefreshHooks h;
    h.SetSectGrid = [this] { if (SetSectGrid) SetSectGrid(); };
    h.RepaintLapList = [this] { if (RepaintLapList) RepaintLapList(); };
    return h;
}

} // namespace vel
