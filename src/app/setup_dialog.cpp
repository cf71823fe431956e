#include "app/setup_dialog.h"
#include "platform/prompts.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vel {

namespace {

QLineEdit* NumberEdit(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setAttribute(Qt::WA_InputMethodEnabled, false);   // no IME for numbers
    e->setMaximumWidth(80);
    return e;
}

} // namespace

TOKBottomDlgSetup::TOKBottomDlgSetup(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgSetup");
    setWindowTitle("設定");
    setModal(true);

    PageControl = new QTabWidget(this);

    auto* sect = new QWidget;
    auto* sg = new QGridLayout(sect);
    EditSectMt = NumberEdit(sect);
    EditSectMt->setObjectName("EditSectMt");
    ButtonDef = new QPushButton("初期値", sect);
    ButtonDef->setObjectName("ButtonDef");
    sg->addWidget(new QLabel("セクタゲート長"), 0, 0, 1, 4);
    sg->addWidget(new QLabel("基準車位置から両側に"), 1, 0);
    sg->addWidget(EditSectMt, 1, 1);
    sg->addWidget(new QLabel("m"), 1, 2);
    sg->addWidget(new QLabel("(1.0 .. 30.0)"), 1, 3);
    sg->addWidget(ButtonDef, 1, 4);
    sg->setRowStretch(2, 1);

    auto* lap = new QWidget;
    auto* lg = new QGridLayout(lap);
    EditMinLapDist = NumberEdit(lap);
    EditMinLapDist->setObjectName("EditMinLapDist");
    EditMinLapTime = NumberEdit(lap);
    EditMinLapTime->setObjectName("EditMinLapTime");
    ButtonDefLap = new QPushButton("初期値", lap);
    ButtonDefLap->setObjectName("ButtonDefLap");
    ButtonDefTim = new QPushButton("初期値", lap);
    ButtonDefTim->setObjectName("ButtonDefTim");
    lg->addWidget(new QLabel("最低周回キョリ"), 0, 0);
    lg->addWidget(EditMinLapDist, 0, 1);
    lg->addWidget(new QLabel("m"), 0, 2);
    lg->addWidget(new QLabel("(1 .. 9999)"), 0, 3);
    lg->addWidget(ButtonDefLap, 0, 4);
    lg->addWidget(new QLabel("最低周回タイム"), 1, 0);
    lg->addWidget(EditMinLapTime, 1, 1);
    lg->addWidget(new QLabel("秒"), 1, 2);
    lg->addWidget(new QLabel("(1.0 .. 99.9)"), 1, 3);
    lg->addWidget(ButtonDefTim, 1, 4);
    lg->setRowStretch(2, 1);

    PageControl->addTab(sect, "セクタ");
    PageControl->addTab(lap, "ラップ");
    PageControl->setCurrentIndex(1);

    QDialogButtonBox* buttons = OkCancelButtons(this);

    auto* v = new QVBoxLayout(this);
    v->addWidget(PageControl);
    v->addWidget(buttons);
    setFixedSize(sizeHint());

    connect(ButtonDef, &QPushButton::clicked, this, &TOKBottomDlgSetup::ButtonDefClick);
    connect(ButtonDefLap, &QPushButton::clicked, this, &TOKBottomDlgSetup::ButtonDefLapClick);
    connect(ButtonDefTim, &QPushButton::clicked, this, &TOKBottomDlgSetup::ButtonDefTimClick);
}

void TOKBottomDlgSetup::SetFields(const SetupFields& f) {
    EditSectMt->setText(f.SectMt);
    EditMinLapDist->setText(f.MinLapDist);
    EditMinLapTime->setText(f.MinLapTime);
}

SetupFields TOKBottomDlgSetup::Fields() const {
    return {EditSectMt->text(), EditMinLapDist->text(), EditMinLapTime->text()};
}

void TOKBottomDlgSetup::done(int r) {
    if (r == QDialog::Accepted && !SetupFieldsValid(Fields())) return;
    QDialog::done(r);
}

void TOKBottomDlgSetup::ButtonDefClick() { EditSectMt->setText("15.0"); }
void TOKBottomDlgSetup::ButtonDefLapClick() { EditMinLapDist->setText("200"); }
void TOKBottomDlgSetup::ButtonDefTimClick() { EditMinLapTime->setText("8.0"); }

bool TOKBottomDlgSetup::Run(QWidget* parent, Settings& settings,
                            const std::function<int(TOKBottomDlgSetup&)>& exec) {
    TOKBottomDlgSetup dlg(parent);
    dlg.SetFields(SetupFieldsFrom(settings));
    const int result = exec ? exec(dlg) : dlg.exec();
    if (result != QDialog::Accepted) return false;
    ApplySetupFields(settings, dlg.Fields());
    return true;
}

} // namespace vel
