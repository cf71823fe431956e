#include "logger/range_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QVBoxLayout>

namespace vel {

class RangeScale : public QWidget {
public:
    explicit RangeScale(LoadRange& r, QWidget* parent) : QWidget(parent), r_(r) {
        setObjectName("PaintBox1");
        setMinimumSize(360, 90);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int w = width(), h = height();
        const int span = w - 21;
        auto tickX = [&](int i) { return 10 + span * i / 8; };
        p.fillRect(rect(), palette().window());
        p.setPen(Qt::black);
        const int used = 10 + span * r_.used / 128;
        if (used > 11) p.fillRect(QRect(QPoint(11, h / 4 + 1), QPoint(used, 3 * h / 4 - 1)), Qt::blue);
        p.drawRect(QRect(QPoint(10, h / 4), QPoint(w - 10, 3 * h / 4)));
        for (int i = 0; i <= 8; ++i) {
            p.drawLine(tickX(i), h / 4, tickX(i), h / 4 - 4);
            p.drawLine(tickX(i), 3 * h / 4, tickX(i), 3 * h / 4 + 4);
        }
        p.setBrush(Qt::black);
        const int xs = tickX(r_.start), xe = tickX(r_.end);
        p.drawPolygon(QPolygon({QPoint(xs, h / 4 - 3), QPoint(xs - 8, h / 4 - 15), QPoint(xs + 8, h / 4 - 15)}));
        p.drawPolygon(
            QPolygon({QPoint(xe, 3 * h / 4 + 3), QPoint(xe - 8, 3 * h / 4 + 15), QPoint(xe + 8, 3 * h / 4 + 15)}));
    }
    void mousePressEvent(QMouseEvent* e) override {
        RangeMouseDown(r_, e->position().toPoint().x(), e->position().toPoint().y(), width(), height());
        update();
    }

private:
    LoadRange& r_;
};

TLoadRangeSelDlg::TLoadRangeSelDlg(const LoadRange& r, QWidget* parent) : QDialog(parent), range(r) {
    setObjectName("TLoadRangeSelDlg");
    setWindowTitle(QStringLiteral("読み込み範囲指定"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(QStringLiteral("読み込み開始位置"), this));
    PaintBox1 = new RangeScale(range, this);
    lay->addWidget(PaintBox1);
    lay->addWidget(new QLabel(QStringLiteral("読み込み終了位置"), this));
    for (const char* t : {"目盛りをクリックし開始、終了位置を指定します。",
                          "1目盛りは1メガバイト、約1時間半のログ(5Hzモード時)に相当します。",
                          "1メガバイトの読み込みに約50秒を要します。",
                          "範囲を指定することで読み込み時間を短くすることができます。"})
        lay->addWidget(new QLabel(QString::fromUtf8(t), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    lay->addWidget(buttons);
}

bool RunLoadRangeDialog(LoadRange& r, QWidget* parent) {
    TLoadRangeSelDlg dlg(r, parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    r = dlg.range;
    return true;
}

} // namespace vel
