#pragma once
// The mark dialog of the control-line dialog: one "latitude,longitude" edit.
#include <QDialog>

class QLineEdit;

namespace vel {

class TOKBottomDlgMark : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgMark(QWidget* parent = nullptr);
    QLineEdit* EditY1X1;
};

} // namespace vel
