#include "logger/logger_tab.h"

#include <QEvent>
#include <QFrame>
#include <QListWidget>
#include <QVBoxLayout>
#include "logger/logger_controls.h"
#include "logger/logger_link.h"
#include "model/status_list.h"

namespace vel {

LoggerTab::LoggerTab(StatusList& statusList, QWidget* parent) : QWidget(parent), statusList_(statusList) {
    auto* lv = new QVBoxLayout(this);
    ControlsLayout = new QVBoxLayout;
    lv->addLayout(ControlsLayout);
    PanelViewOnOff = new QFrame(this);
    PanelViewOnOff->setObjectName("PanelViewOnOff");
    PanelViewOnOff->setFixedSize(9, 9);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setVisible(false);
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName("ListBox2");
    ListBox2->setVisible(false);
    lv->addWidget(PanelViewOnOff);
    lv->addWidget(ListBox1, 1);
    lv->addWidget(ListBox2, 1);
    PanelViewOnOff->installEventFilter(this);
    statusList_.onChanged = [this] {
        ListBox1->clear();
        ListBox1->addItems(statusList_.Lines());
        ListBox1->scrollToTop();
    };
}

LoggerTab::~LoggerTab() {
    statusList_.onChanged = nullptr;
    DetachLink();
}

void LoggerTab::DetachLink() {
    if (link_) link_->monitor.onChanged = nullptr;
    link_ = nullptr;
}

void LoggerTab::AttachLink(LoggerLink& link) {
    link_ = &link;
    controls_ = new LoggerControls(this);
    ControlsLayout->addWidget(controls_);
    controls_->Attach(link);
    link.monitor.onChanged = [this] {
        ListBox2->clear();
        ListBox2->addItems(link_->monitor.Lines());
        ListBox2->scrollToTop();
    };
}

bool LoggerTab::eventFilter(QObject* watched, QEvent* e) {
    if (watched == PanelViewOnOff && e->type() == QEvent::MouseButtonDblClick) {
        PanelViewOnOffDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void LoggerTab::PanelViewOnOffDblClick() {
    const bool show = ListBox1->isHidden();
    ListBox1->setVisible(show);
    ListBox2->setVisible(show);
}

bool LoggerTab::StatusListShown() const { return !ListBox1->isHidden(); }

} // namespace vel
