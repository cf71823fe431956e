#include "logger/logger_controls.h"

#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include "logger/logger_link.h"

namespace vel {

namespace {
template <typename T>
T* Named(T* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
}

LoggerControls::LoggerControls(QWidget* parent) : QWidget(parent) {
    ButtonSet10Hz = Named(new QPushButton(QStringLiteral("10Hzモード設定"), this), "ButtonSet10Hz");
    ButtonSet5Hz = Named(new QPushButton(QStringLiteral("5Hzモード設定"), this), "ButtonSet5Hz");
    ButtonSet2Hz = Named(new QPushButton(QStringLiteral("20Hzモード設定"), this), "ButtonSet2Hz");
    ButtonLogSpace = Named(new QPushButton(QStringLiteral("ロガー状態確認"), this), "ButtonLogSpace");
    ButtonLogErase = Named(new QPushButton(QStringLiteral("保存ログの消去"), this), "ButtonLogErase");
    ButtonSetTrigSpd = Named(new QPushButton(QStringLiteral("ログ開始速度設定"), this), "ButtonSetTrigSpd");
    UpDownTrigSpd = Named(new QSpinBox(this), "UpDownTrigSpd");
    UpDownTrigSpd->setRange(0, 99);
    UpDownTrigSpd->setValue(30);
    UpDownTrigSpd->setSuffix(QStringLiteral(" km/h"));
    SpeedButtonLdGPS = Named(new QToolButton(this), "SpeedButtonLdGPS");
    SpeedButtonLdGPS->setText(QStringLiteral("ログ読込"));
    SpeedButtonLdGPS->setToolTip(QStringLiteral("GPSロガーからログ読込"));
    LabelCurrntMode = Named(new QLabel(this), "LabelCurrntMode");
    LabelLogStat = Named(new QLabel(this), "LabelLogStat");
    LabelPort = Named(new QLabel(this), "LabelPort");
    LabelDtVer = Named(new QLabel(this), "LabelDtVer");
    LabelTrigSpd = Named(new QLabel(this), "LabelTrigSpd");
    LabelTrigSpd2 = Named(new QLabel(this), "LabelTrigSpd2");
    ProgressErase = Named(new QProgressBar(this), "ProgressErase");
    ProgressErase->setRange(0, 0);
    ProgressErase->setTextVisible(false);
    ProgressErase->hide();

    auto* grid = new QGridLayout(this);
    grid->addWidget(SpeedButtonLdGPS, 0, 0);
    grid->addWidget(ButtonLogSpace, 0, 1);
    grid->addWidget(ButtonLogErase, 0, 2);
    grid->addWidget(ButtonSet10Hz, 1, 0);
    grid->addWidget(ButtonSet5Hz, 1, 1);
    grid->addWidget(ButtonSet2Hz, 1, 2);
    grid->addWidget(UpDownTrigSpd, 2, 0);
    grid->addWidget(ButtonSetTrigSpd, 2, 1);
    grid->addWidget(LabelCurrntMode, 3, 0);
    grid->addWidget(LabelLogStat, 3, 1);
    grid->addWidget(LabelPort, 3, 2);
    grid->addWidget(LabelDtVer, 4, 0, 1, 3);
    grid->addWidget(LabelTrigSpd, 5, 0);
    grid->addWidget(LabelTrigSpd2, 5, 1, 1, 2);
    grid->addWidget(ProgressErase, 6, 0, 1, 3);
    grid->setRowStretch(7, 1);
}

LoggerControls::~LoggerControls() { SetErasing(false); }

void LoggerControls::SetLocked(bool locked) {
    for (QWidget* w : {static_cast<QWidget*>(ButtonSet10Hz), static_cast<QWidget*>(ButtonSet5Hz),
                       static_cast<QWidget*>(ButtonSet2Hz), static_cast<QWidget*>(ButtonLogSpace),
                       static_cast<QWidget*>(ButtonLogErase), static_cast<QWidget*>(ButtonSetTrigSpd),
                       static_cast<QWidget*>(UpDownTrigSpd)})
        w->setEnabled(!locked);
}

void LoggerControls::ClearLabels() {
    for (QLabel* l : {LabelCurrntMode, LabelLogStat, LabelPort, LabelDtVer, LabelTrigSpd, LabelTrigSpd2}) l->clear();
}

void LoggerControls::Attach(LoggerLink& link) {
    connect(&link, &LoggerLink::ControlsEnabled, this, [this](bool enabled) {
        SetLocked(!enabled);
        if (enabled) SetErasing(false);
    });
}

void LoggerControls::SetErasing(bool on) {
    if (on == erasing_) return;
    erasing_ = on;
    ProgressErase->setVisible(on);
    if (on) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else QGuiApplication::restoreOverrideCursor();
}

} // namespace vel
