#pragma once
// The hint dialog of the control-line dialog: one picture and "閉じる".
#include <QDialog>
#include <QImage>

class QLabel;

namespace vel {

// The hint picture, 631 x 500 pixels.
QImage LapHintPicture();

class TOKBottomDlgLapHint : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgLapHint(QWidget* parent = nullptr);
    QLabel* Image1;
};

} // namespace vel
