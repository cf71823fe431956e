#pragma once
// The download's progress dialog: a bar refreshed every 50 ms and, for
// models that allow it, an abort button. The commands drive it through
// onTick and onAbort; it is opened window-modal, never run in a nested loop.
#include <functional>
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vel {

class TOKBottomDlgGPSloading : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgGPSloading(bool abortable, QWidget* parent = nullptr);

    // Every tick of Timer1.
    std::function<void()> onTick;
    // AbortBtn was pressed, or the dialog was closed (the dialog has closed).
    std::function<void()> onAbort;
    // Esc or the window's close without an abort button: the owner may ask
    // and then call Abort(). Without it the dialog stays.
    std::function<void()> onCloseAsked;
    void SetPercent(int percent);
    // Closes the dialog as the abort.
    void Abort();
    // Esc and the window's close come here: closing is the abort.
    void reject() override;

    QProgressBar* ProgressBar1;
    QPushButton* AbortBtn;
    QLabel* LabelSpd;
    QTimer* Timer1;
};

} // namespace vel
