#include "import/lap_hint_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace vel {

QImage LapHintPicture() {
    QImage img(631, 500, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QFont title = p.font();
    title.setPixelSize(18);
    title.setBold(true);
    QFont body = p.font();
    body.setPixelSize(14);

    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRect(20, 12, 591, 28), Qt::AlignLeft | Qt::AlignVCenter, "コントロールラインの設定");

    // A small circuit: the course map in grey, the trace in red.
    const QRectF track(60, 60, 510, 200);
    QPainterPath oval;
    oval.addRoundedRect(track, 100, 100);
    p.setPen(QPen(QColor(222, 222, 222), 14));
    p.drawPath(oval);
    p.setPen(QPen(QColor(255, 0, 0), 1.5));
    p.drawPath(oval);

    // The control line across the straight, drawn from its centre.
    const QPointF centre(315, track.bottom());
    const QPointF e1(315, track.bottom() - 30), e2(315, track.bottom() + 30);
    p.setPen(QPen(QColor(128, 128, 128), 3));
    p.drawLine(centre, QPointF(centre.x() + 30, centre.y()));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawLine(e1, e2);
    p.drawRect(QRectF(e1.x() - 3, e1.y() - 3, 6, 6));
    p.drawRect(QRectF(e2.x() - 3, e2.y() - 3, 6, 6));
    p.setBrush(Qt::NoBrush);
    p.setFont(body);
    p.drawText(QPointF(330, track.bottom() + 34), "ドラッグ");
    p.drawText(QPointF(330, track.bottom() - 36), "□ : 端を移動");

    const char* steps[] = {
        "1. 右の「レコード一覧」で使うレコードにチェックを付けます。",
        "2. コントロールライン設定ボタンを押し、コースを横切る位置で",
        "    ラインの中心を押したまま横へドラッグして離します。",
        "3. 区間走行はスタート設定とフィニッシュ設定で2本のラインを引きます。",
        "4. ラインの端の□をドラッグすると端を動かせます。",
        "5. ホイールまたは範囲指定拡大で拡大し、拡大表示解除で戻ります。",
        "6. OKを押すとラップに分割されます。",
    };
    int y = 312;
    for (const char* s : steps) {
        p.drawText(QRect(30, y, 580, 24), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(s));
        y += 25;
    }
    return img;
}

TOKBottomDlgLapHint::TOKBottomDlgLapHint(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgLapHint");
    setWindowTitle("ヒント");
    setModal(true);
    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap::fromImage(LapHintPicture()));
    Image1->setFixedSize(631, 500);
    auto* close = new QPushButton("閉じる", this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* v = new QVBoxLayout(this);
    v->addWidget(Image1);
    v->addWidget(close, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

} // namespace vel
