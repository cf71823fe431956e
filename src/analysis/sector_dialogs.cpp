#include "analysis/sector_dialogs.h"
#include "platform/prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vel {

TOKBottomDlgRelSect::TOKBottomDlgRelSect(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgRelSect");
    setWindowTitle("セクタ解除");
    setModal(true);
    auto* v = new QVBoxLayout(this);
    CheckBoxAll = new QCheckBox("すべて解除", this);
    CheckBoxAll->setObjectName("CheckBoxAll");
    v->addWidget(CheckBoxAll);
    for (int i = 0; i < MaxSectLines; ++i) {
        CheckBoxSect[i] = new QCheckBox(QStringLiteral("セクタ %1 解除").arg(i + 1), this);
        CheckBoxSect[i]->setObjectName(QStringLiteral("CheckBoxSect%1").arg(i + 1));
        v->addWidget(CheckBoxSect[i]);
    }
    QDialogButtonBox* buttons = OkCancelButtons(this);
    v->addWidget(buttons);
}

void TOKBottomDlgRelSect::Setup(int sectNum, bool allTicked) {
    CheckBoxAll->setChecked(allTicked);
    for (int i = 0; i < MaxSectLines; ++i) {
        CheckBoxSect[i]->setChecked(false);
        CheckBoxSect[i]->setEnabled(i < sectNum);
    }
}

SectRelease TOKBottomDlgRelSect::Result(bool ok) const {
    SectRelease r;
    r.ok = ok;
    r.all = CheckBoxAll->isChecked();
    // A disabled box names no line.
    for (int i = 0; i < MaxSectLines; ++i) r.lines[i] = CheckBoxSect[i]->isEnabled() && CheckBoxSect[i]->isChecked();
    return r;
}

SectReleaseAsk QtSectReleaseAsk(QWidget* parent) {
    return [parent](int sectNum, bool allTicked) {
        TOKBottomDlgRelSect dlg(parent);
        dlg.Setup(sectNum, allTicked);
        const bool ok = dlg.exec() == QDialog::Accepted;
        return dlg.Result(ok);
    };
}

} // namespace vel
