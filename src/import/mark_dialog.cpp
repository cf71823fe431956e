#include "import/mark_dialog.h"
#include "platform/prompts.h"

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
    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* v = new QVBoxLayout(this);
    v->addWidget(ask);
    v->addWidget(range);
    v->addWidget(example);
    v->addWidget(EditY1X1);
    v->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace vel
