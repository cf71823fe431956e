#include "support/focus.h"

#include <QApplication>
#include <QWidget>

namespace vel::test {

bool GiveFocus(QWidget* w) {
    QWidget* top = w->window();
    if (!top->isVisible()) top->show();
    top->activateWindow();
    for (int i = 0; i < 200 && !top->isActiveWindow(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    return w->hasFocus();
}

} // namespace vel::test
