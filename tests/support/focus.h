#pragma once
// Input focus in offscreen tests: a widget only holds the focus while its
// window is shown and active.
class QWidget;
namespace vel::test {
// Shows and activates w's window, then gives w the focus; true when it has it.
bool GiveFocus(QWidget* w);
} // namespace vel::test
