#include "app/lap_list_commands.h"

#include <QLineEdit>
#include "analysis/display_slots.h"
#include "app/small_dialogs.h"

namespace vel {

namespace {

constexpr int DataNameCol = 0;
constexpr int DataNumberCol = 1;

} // namespace

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
    if (prompts_.AskYesCancel(ClearAllQuestion) != Answer::Yes) return false;

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
