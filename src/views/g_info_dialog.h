#pragma once
// The help picture about G and turning radius.
#include <QDialog>

namespace vel {

class TOKBottomDlgGInfo : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgGInfo(QWidget* parent = nullptr);
};

// The explanatory picture of the dialog.
QImage GInfoPicture();

} // namespace vel
