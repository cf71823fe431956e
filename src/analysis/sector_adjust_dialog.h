#pragma once
// The dialogs of the sector adjustment: the choice of the line
// ("調整セクタ選択") and the adjustment map ("セクタ調整") with its two
// layers, the back one cached (other lines, course map, laps), the front
// one the working line that the mouse drags.
#include <array>
#include <QDialog>
#include <QImage>
#include "analysis/sector_adjust.h"
#include "model/comparison.h"
#include "model/course_path.h"
#include "model/loaded_laps.h"
#include "model/sector_lines.h"
#include "platform/prompts.h"

class QLabel;
class QPainter;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace vel {

// What the back layer shows.
struct EdSectScene {
    const SectorLines& lines;
    const CoursePaths& paths;
    const LoadedLaps& laps;
    const Comparison& cmp;
    bool rduOn = false;   // decelerating steps dotted
};

constexpr uint32_t EdSectOtherLineColor = 0x808080;
constexpr uint32_t EdSectPathColor = 0xDEDEDE;
constexpr int EdSectPathWidth = 5;
constexpr uint32_t EdSectLowSatColor = 0xC0C0C0;
constexpr int32_t EdSectLowSat = 7;   // fewer satellites draw grey

// The back layer on white: the sector lines other than st.sel, the course
// map, and the traces of the shown laps, slot 0 on top.
void DrawEdSectBack(QPainter& p, const EdSectScene& scene, const EdSectState& st, const EdSectProjection& proj);
// The front layer: the working line with a filled square at each end.
void DrawEdSectFront(QPainter& p, const EdSectState& st, const EdSectProjection& proj);

class TOKBottomDlgSelEdSect : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgSelEdSect(QWidget* parent = nullptr);
    // Buttons of missing lines disabled, line preselect (0-based) selected.
    void Setup(int sectNum, int preselect);
    // The selected line (0-based), -1 none.
    int Selected() const;

    std::array<QRadioButton*, MaxSectLines> RadioButton;
};

class TOKBottomDlgEdSect : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgEdSect(const EdSectScene& scene, QWidget* parent = nullptr);

    void Setup(const EdSectState& st);
    // The working line, view and the pass number in the field.
    EdSectState State() const;
    EdSectProjection Projection() const;
    // How often the back layer was drawn afresh (it is copied otherwise).
    int BackDraws() const { return backDraws_; }

    QWidget* Panel1;
    QWidget* PaintBox1;   // back layer
    QWidget* PaintBox2;   // front layer, takes the mouse
    QWidget* Panel2;
    QSpinBox* UpDownDtcN; // the pass-number field with its up-down
    QLabel* Label1;
    QLabel* Label2;
    QToolButton* SpeedButtonZin;
    QToolButton* SpeedButtonZout;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
    // Says why OK does not close the dialog; none in some tests.
    Prompts* prompts = nullptr;

public slots:
    void SpeedButtonZinClick();
    void SpeedButtonZoutClick();
    void ButtonOKClick();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void PaintBox1Paint();
    void PaintBox2Paint();
    void PaintBox2MouseDown(QMouseEvent* e);
    void PaintBox2MouseMove(QMouseEvent* e);
    void PaintBox2MouseUp(QMouseEvent* e);
    void Wheel(QWheelEvent* e);
    void Zoomed(long double zoom);
    // A number typed into the field is taken over before the focus leaves it.
    void LeaveField();

    EdSectScene scene_;
    EdSectState st_;
    QImage backBmp_;
    bool redraw_ = true;
    int backDraws_ = 0;
};

} // namespace vel
