#include "views/readout_widgets.h"

#include <optional>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyleOptionTabWidgetFrame>
#include <QTabWidget>

namespace vel {

namespace {

// The property of a container that paints nothing under a read-out line.
constexpr const char* PaintsNothing = "velPaintsNothing";

// The colour a tab widget's pane shows inside its frame; none when the pane
// is not filled with one opaque colour.
std::optional<QColor> PaneColour(const QTabWidget* tabs) {
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(tabs);
    opt.rect = QRect(0, 0, 64, 64);
    opt.lineWidth = tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs);
    QImage img(opt.rect.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        tabs->style()->drawPrimitive(QStyle::PE_FrameTabWidget, &opt, &p, tabs);
    }
    const QRgb c = img.pixel(32, 32);
    for (const QPoint at : {QPoint(16, 16), QPoint(48, 48), QPoint(16, 48), QPoint(48, 16)})
        if (img.pixel(at) != c) return std::nullopt;
    if (qAlpha(c) != 255) return std::nullopt;
    return QColor(c);
}

// The single colour the widgets under w paint where w stands, when it is
// known: the first ancestor filling its background decides; a plain
// container paints nothing there. None where some ancestor may draw more.
std::optional<QColor> BackdropOf(const QWidget* w) {
    for (const QWidget* a = w->parentWidget(); a; a = a->parentWidget()) {
        if (a->autoFillBackground() || a->isWindow()) {
            const QBrush b = a->palette().brush(a->backgroundRole());
            if (b.style() != Qt::SolidPattern || b.color().alpha() != 255) return std::nullopt;
            return b.color();
        }
        if (a->testAttribute(Qt::WA_StyledBackground) || !a->styleSheet().isEmpty()) return std::nullopt;
        if (const auto* tabs = qobject_cast<const QTabWidget*>(a)) {
            if (tabs->documentMode()) continue;
            return PaneColour(tabs);
        }
        const QMetaObject* m = a->metaObject();
        const bool plain = m == &QWidget::staticMetaObject || m == &QFrame::staticMetaObject ||
                           m == &QSplitter::staticMetaObject || m == &QStackedWidget::staticMetaObject ||
                           a->property(PaintsNothing).toBool();
        if (!plain) return std::nullopt;
    }
    return std::nullopt;
}

// A read-out line whose font shrinks rather than cutting the text. Its text
// changes on every playback tick: where the colour under it is known it
// paints that itself, so a new text repaints the label alone and not every
// widget under it.
class FitLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    bool event(QEvent* e) override {
        switch (e->type()) {
        case QEvent::Show:
        case QEvent::ParentChange:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
            backdrop_ = BackdropOf(this);
            setAttribute(Qt::WA_OpaquePaintEvent, backdrop_.has_value());
            break;
        default:
            break;
        }
        return QLabel::event(e);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (backdrop_) p.fillRect(rect(), *backdrop_);
        p.setFont(ReadoutShownFont(this));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(contentsRect(), int(alignment()), text());
    }

private:
    std::optional<QColor> backdrop_;
};

// Holds a read-out label, filled by it. Its text changes on every playback
// tick, and a label right in a layout would have every layout up to the
// window worked out again and the whole window painted again; the holder
// has no layout, so a new text paints the label's own place only.
class ReadoutHolder : public QWidget {
public:
    explicit ReadoutHolder(QWidget* parent) : QWidget(parent) {}
    QLabel* label = nullptr;
    QSize sizeHint() const override { return label ? label->sizeHint() : QWidget::sizeHint(); }
    QSize minimumSizeHint() const override { return label ? label->minimumSizeHint() : QWidget::minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent*) override {
        if (label) label->setGeometry(rect());
    }
};

} // namespace

VerticalCaption::VerticalCaption(const char* name, const QString& text, QWidget* parent)
    : QWidget(parent), text_(text) {
    setObjectName(name);
    setToolTip(text);
}

void VerticalCaption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int cw = fm.horizontalAdvance(text_);
    const int ch = fm.height();
    p.translate((width() - ch) / 2, cw + (height() - cw) / 2);
    p.rotate(-90);
    p.drawText(0, fm.ascent(), text_);
}

QLabel* ReadoutLabel(QWidget* parent, const char* name, QColor colour, const QString& hint) {
    auto* holder = new ReadoutHolder(parent);
    auto* l = new FitLabel(".", holder);
    holder->label = l;
    l->setObjectName(name);
    QFont f = l->font();
    f.setPixelSize(15);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    l->setToolTip(hint);
    // A long line shrinks its font rather than widening the panes.
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    l->setMinimumWidth(8);
    return l;
}

QWidget* Held(QLabel* l) {
    QWidget* holder = l->parentWidget();
    holder->setSizePolicy(l->sizePolicy());
    holder->setMinimumSize(l->minimumSize());
    holder->setMaximumSize(l->maximumSize());
    return holder;
}

QFont ReadoutShownFont(const QLabel* label) {
    QFont f = label->font();
    const int width = label->contentsRect().width();
    for (int px = f.pixelSize(); px > 11 && QFontMetrics(f).horizontalAdvance(label->text()) > width;)
        f.setPixelSize(--px);
    return f;
}

void MarkPaintsNothing(QWidget* w) {
    w->setProperty(PaintsNothing, true);
}

} // namespace vel
