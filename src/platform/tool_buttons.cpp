#include "platform/tool_buttons.h"

#include <QBoxLayout>
#include <QFrame>
#include <QToolButton>

namespace vel {

QToolButton* ToolButton(QWidget* parent, QBoxLayout* layout, const char* name, const QString& text,
                        const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    layout->addWidget(b);
    return b;
}

QFrame* SwitchPanel(QWidget* parent, const char* name, const QString& hint) {
    auto* p = new QFrame(parent);
    p->setObjectName(name);
    p->setToolTip(hint);
    p->setFixedSize(22, 22);
    return p;
}

void SetSwitchPanel(QFrame* panel, bool on) {
    panel->setFrameShape(on ? QFrame::Panel : QFrame::NoFrame);
    panel->setFrameShadow(on ? QFrame::Sunken : QFrame::Plain);
    panel->setLineWidth(1);
}

bool SwitchPanelOn(const QFrame* panel) {
    return panel->frameShape() != QFrame::NoFrame && panel->frameShadow() == QFrame::Sunken;
}

} // namespace vel
