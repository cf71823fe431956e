#pragma once
// Tool buttons and switch panels of the tabs' tool strips.
#include <QString>

class QBoxLayout;
class QFrame;
class QToolButton;
class QWidget;

namespace vel {

// A tool button named name with its caption and hint, added to layout.
QToolButton* ToolButton(QWidget* parent, QBoxLayout* layout, const char* name, const QString& text,
                        const QString& hint);

// A 22 x 22 toggle panel; a lowered bevel means on.
QFrame* SwitchPanel(QWidget* parent, const char* name, const QString& hint);
void SetSwitchPanel(QFrame* panel, bool on);
bool SwitchPanelOn(const QFrame* panel);

} // namespace vel
