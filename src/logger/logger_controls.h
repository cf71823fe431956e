#pragma once
// The logger tab's controls: the command buttons, the log start speed and
// the status labels. A plain widget the logger tab places; the link locks
// it while a connection runs.
#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace vel {

class LoggerLink;

class LoggerControls : public QWidget {
    Q_OBJECT
public:
    explicit LoggerControls(QWidget* parent = nullptr);

    // DisGPSbutton / EnaGPSbutton: every control but the download button.
    void SetLocked(bool locked);
    // The six status labels emptied (every command does it before it starts).
    void ClearLabels();
    // The controls follow the link's lock.
    void Attach(LoggerLink& link);

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
};

} // namespace vel
