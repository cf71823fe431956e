#pragma once
// The graph tab's read-out widgets: the lines of text that change on every
// playback tick (the play time, the lap summaries, the sector times) and the
// vertical captions of the axis-mode tabs.
#include <QColor>
#include <QString>
#include <QWidget>

class QFont;
class QLabel;

namespace vel {

// An axis-mode tab's caption, reading from bottom to top.
class VerticalCaption : public QWidget {
public:
    VerticalCaption(const char* name, const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
};

// A read-out line ("." until its first text), 15 pixels high in colour,
// inside a holder of its own; put Held(label) into the layout.
QLabel* ReadoutLabel(QWidget* parent, const char* name, QColor colour, const QString& hint);
// What a layout takes for a read-out label: its holder, sized as the label asks.
QWidget* Held(QLabel* label);

// The font a read-out line is drawn with: its own, made smaller (down to
// 11 pixels) while the text is wider than the label.
QFont ReadoutShownFont(const QLabel* label);

// Marks w as a container that paints nothing where a read-out line stands,
// so that the line looks through it for the colour it is drawn on.
void MarkPaintsNothing(QWidget* w);

} // namespace vel
