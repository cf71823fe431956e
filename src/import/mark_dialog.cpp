#include "import/mark_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vel {

TOKBottomDlgMark::TOKBottomDlgMark(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgMark");
    setWindowTitle("目印設定");
    setModal(true);
    auto* ask = new QLabel("緯度、経度を入力してください", this);
    auto* range = new QLabel("-90.000000..90.000000,-180.000000..180.000000", this);
    auto* example = new QLabel("例) 35.123456,135.123456", this);
    EditY1X1 = new QLineEdit(this);
    EditY1X1->setObjectName("EditY1X1");
    EditY1X1->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("キャンセル", QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* v = new QVBoxLayout(this);
    v->addWidget(ask);
    v->addWidget(range);
    v->addWidget(example);
    v->addWidget(EditY1X1);
    v->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace vel
