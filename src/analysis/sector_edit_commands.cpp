#include "analysis/sector_edit_commands.h"

#include "analysis/sector_adjust_dialog.h"
#include "common/file_names.h"
#include "platform/prompts.h"

namespace vel {

bool SectorEditCommands::SpeedButtonEdSectClick() {
    if (playing_ && playing_()) return false;
    SectorLines& lines = session_.sectorLines;
    Comparison& cmp = session_.comparison;
    const TDispSlotRec& slot0 = cmp.DispSlot[0];
    const int n = lines.Count();
    if (!slot0.Active || slot0.LapIdx < 0 || slot0.LapIdx >= session_.loadedLaps.LapDt.size() || n == 0)
        return false;

    int sel = 0;
    if (n > 1) {
        if (!dialogs_.selectLine) return false;
        DialogFlag flag(session_.FileDlgOpen);
        sel = dialogs_.selectLine(n, EdSectPreselect(lines));
        if (sel < 0 || sel >= n) return false;
    }
    lines.EdSectSel = sel;

    EdSectState st = OpenEdSect(lines, sel, mapZoom_ ? mapZoom_() : 1.0L);
    if (!dialogs_.adjust || !dialogs_.adjust(st)) return false;
    st.sel = sel;
    // The reference lap is read after the dialog: nothing changes it while the dialog is modal.
    const TLapDtRec& ref = session_.loadedLaps.LapDt[slot0.LapIdx];
    return EdSectOk(lines, st, ref, cmp.SelSect, refresh_);
}

EdSectDialogs QtEdSectDialogs(QWidget* parent, const Session& session, std::function<bool()> rduOn,
                             Prompts* prompts) {
    EdSectDialogs d;
    d.selectLine = [parent](int sectNum, int preselect) {
        TOKBottomDlgSelEdSect dlg(parent);
        dlg.Setup(sectNum, preselect);
        if (dlg.exec() != QDialog::Accepted) return -1;
        return dlg.Selected();
    };
    d.adjust = [parent, &session, rduOn, prompts](EdSectState& st) {
        EdSectScene scene{session.sectorLines, session.coursePaths, session.loadedLaps, session.comparison,
                          rduOn ? rduOn() : false};
        TOKBottomDlgEdSect dlg(scene, parent);
        dlg.prompts = prompts;
        dlg.Setup(st);
        if (dlg.exec() != QDialog::Accepted) return false;
        st = dlg.State();
        return true;
    };
    return d;
}

} // namespace vel
