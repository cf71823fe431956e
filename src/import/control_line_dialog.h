#pragma once
// The control-line dialog: the log's blocks to tick, the course map view
// to place a control line or a start and a finish line on, control-line
// files, the circuit search, and the selection saved as one run file.
#include <functional>
#include <optional>
#include <QDialog>
#include "import/control_line_dialog_iface.h"
#include "import/control_lines.h"
#include "import/course_map_view.h"
#include "model/catalogue.h"
#include "platform/prompts.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace vel {

inline const QString MbCaption = QStringLiteral("コントロールライン、スタート／フィニッシュ設定");
inline const QString RecNameCaption = QStringLiteral("レコード名編集");

// What the dialog takes from outside the import: dialogs that live higher
// up or that tests script, and the refresh after sector lines changed.
struct MbHooks {
    // The name dialog over parent: caption and current text in, the new
    // text on OK. Without it the block list can't be renamed.
    std::function<std::optional<QString>(QWidget* parent, const QString& caption, const QString& text)> askName;
    // The mark dialog: the typed text on OK. Default: TOKBottomDlgMark.
    std::function<std::optional<QString>()> askMark;
    // The hint dialog. Default: TOKBottomDlgLapHint.
    std::function<void()> showHint;
    // The circuit search's selection dialog. Default: TSelCircuitDlg.
    CircuitChooser chooser;
    // Sector lines were loaded by the circuit search.
    std::function<void()> onSectorsLoaded;
};

class TOKBottomDlgMb : public QDialog {
    Q_OBJECT
public:
    // state: the view, the stop display and the mark, kept between uses.
    TOKBottomDlgMb(Session& session, Prompts& prompts, MbViewState& state, MbHooks hooks,
                   QWidget* parent = nullptr);
    ~TOKBottomDlgMb() override;

    // The block list from the store's blocks, the log's label and the view.
    void SetLog(const ControlLineDialogInput& input);
    MapTool Tool() const;

    // Closing with OK and no line asks whether to search first.
    void done(int r) override;

    // The circuit search; automatic (not forced) only while nothing is
    // loaded or set.
    void ReqSelCircuit(bool forced);
    void WMAutoSelCircuit() { ReqSelCircuit(false); }

    void CheckListBoxLogBlkClickCheck();
    // A double click at x (list coordinates) renames the current item.
    void CheckListBoxLogBlkDblClick(int x);
    void SpeedButtonAllSelClick();
    void SpeedButtonAllRelClick();
    void SpeedButtonEdiRecNameClick();
    void SpeedButtonRstZoomClick();
    void SpeedButtonDelClick();
    void SpeedButtonMarkClick();
    void SpeedButtonSelCircuitClick() { ReqSelCircuit(true); }
    void SpeedButtonLoadClick();
    void SpeedButtonSaveClick();
    void SpeedButtonHintClick();
    void SpeedButtonLdCourseClick();
    void SpeedButtonAEClick() { Shift(0, 1); }
    void SpeedButtonAWClick() { Shift(0, -1); }
    void SpeedButtonANClick() { Shift(1, 0); }
    void SpeedButtonASClick() { Shift(-1, 0); }
    void SpeedButtonSvAsDtbClick();
    void SpeedButtonCtrlClick();
    void CheckBoxRallyStaClick();
    void CheckBoxViewStopClick();

    QToolButton* SpeedButtonRstZoom;
    QToolButton* SpeedButtonRect;
    QToolButton* SpeedButtonCtrl;
    QToolButton* SpeedButtonSta;
    QToolButton* SpeedButtonFin;
    QToolButton* SpeedButtonDel;
    QToolButton* SpeedButtonMark;
    QToolButton* SpeedButtonSelCircuit;
    QToolButton* SpeedButtonLoad;
    QToolButton* SpeedButtonSave;
    QCheckBox* CheckBoxRallySta;
    QCheckBox* CheckBoxViewStop;
    QToolButton* SpeedButtonHint;
    QToolButton* SpeedButtonLdCourse;
    QToolButton* SpeedButtonAE;
    QToolButton* SpeedButtonAW;
    QToolButton* SpeedButtonAS;
    QToolButton* SpeedButtonAN;
    QToolButton* SpeedButtonAllSel;
    QToolButton* SpeedButtonAllRel;
    QToolButton* SpeedButtonSvAsDtb;
    QToolButton* SpeedButtonEdiRecName;
    QLabel* LabelIK;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QLabel* LabelLogName;
    QListWidget* CheckListBoxLogBlk;
    CourseMapView* PaintBox2;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildWidgets();
    // A tick changed: blocks, samples, LogRect and the view follow.
    void BlocksChanged();
    void SetAllTicks(bool on);
    void Rename(int index);
    // One pixel of the current view: rows north (+) or south, columns east (+) or west.
    void Shift(int north, int east);
    void ApplyCln(const ClnApplied& a);
    void ShowSelection();
    bool LoadFoundPth(int cand);
    void LoadFoundCln(int cand);
    // Reads a ".cln" and applies its lines; byLoad for the load button.
    void LoadCln(const QString& path, bool byLoad);
    void LoadFoundSci(int cand);

    Session& session_;
    Prompts& prompts_;
    MbViewState& state_;
    MbHooks hooks_;
    QButtonGroup* tools_ = nullptr;
    bool filling_ = false;   // the list is being filled or renamed: no tick handling
};

// The dialog as the import calls it: made for each use, shown maximised
// and modally, released.
class QtControlLineDialog : public ControlLineDialog {
public:
    explicit QtControlLineDialog(Prompts& prompts, QWidget* parent = nullptr)
        : prompts_(prompts), parent_(parent) {}

    MbHooks hooks;
    MbViewState& state() { return state_; }

    bool Exec(Session& session, const ControlLineDialogInput& input) override;

protected:
    // Shows the made dialog modally; true for OK. Tests drive it here instead.
    virtual bool RunModal(TOKBottomDlgMb& dlg);

private:
    Prompts& prompts_;
    QWidget* parent_;
    MbViewState state_;
};

} // namespace vel
