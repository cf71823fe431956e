#include "logger/loading_dialog.h"

#include <algorithm>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vel {

TOKBottomDlgGPSloading::TOKBottomDlgGPSloading(bool abortable, QWidget* parent) : QDialog(parent) {
    setObjectName("TOKBottomDlgGPSloading");
    setWindowTitle(QStringLiteral("GPSログ読込中 ..."));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    LabelSpd = new QLabel(this);
    LabelSpd->setObjectName("LabelSpd");
    AbortBtn = new QPushButton(QStringLiteral("中止"), this);
    AbortBtn->setObjectName("AbortBtn");
    AbortBtn->setVisible(abortable);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(ProgressBar1);
    lay->addWidget(LabelSpd);
    lay->addWidget(AbortBtn, 0, Qt::AlignHCenter);
    Timer1 = new QTimer(this);
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (onTick) onTick();
    });
    connect(AbortBtn, &QPushButton::clicked, this, &TOKBottomDlgGPSloading::Abort);
    Timer1->start();
}

void TOKBottomDlgGPSloading::Abort() {
    Timer1->stop();
    QDialog::reject();
    if (onAbort) onAbort();
}

void TOKBottomDlgGPSloading::reject() {
    // Closing must not leave the download running unseen.
    if (AbortBtn->isVisibleTo(this)) Abort();
    else if (onCloseAsked) onCloseAsked();
}

void TOKBottomDlgGPSloading::SetPercent(int percent) { ProgressBar1->setValue(std::clamp(percent, 0, 100)); }

} // namespace vel
