#pragma once
// The logger tab's controls: the command buttons, the log start speed and
// the status labels. A plain widget the logger tab places; the link locks
// it while a connection runs.
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace vel {

class LoggerLink;

class LoggerControls : public QWidget {
    Q_OBJECT
public:
    explicit LoggerControls(QWidget* parent = nullptr);
    ~LoggerControls() override;

    // DisGPSbutton / EnaGPSbutton: every control but the download button.
    void SetLocked(bool locked);
    // The six status labels emptied (every command does it before it starts).
    void ClearLabels();
    // The controls follow the link's lock.
    void Attach(LoggerLink& link);
    // While the logger erases its memory (about 1 min 30 s without a word
    // from it): a busy cursor and a running bar, until the erase ends or the
    // connection does.
    void SetErasing(bool on);
    bool Erasing() const { return erasing_; }

    QPushButton* ButtonSet10Hz;
    QPushButton* ButtonSet5Hz;
    QPushButton* ButtonSet2Hz;
    QPushButton* ButtonLogSpace;
    QPushButton* ButtonLogErase;
    QPushButton* ButtonSetTrigSpd;
    QSpinBox* UpDownTrigSpd;   // EditTrigSpd and its up-down in one: 0 to 99, "30"
    QToolButton* SpeedButtonLdGPS;
    QLabel* LabelCurrntMode;
    QLabel* LabelLogStat;
    QLabel* LabelPort;
    QLabel* LabelDtVer;
    QLabel* LabelTrigSpd;
    QLabel* LabelTrigSpd2;
    QProgressBar* ProgressErase;   // indeterminate, shown while erasing

private:
    bool erasing_ = false;
};

} // namespace vel
