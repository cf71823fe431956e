#include "views/g_info_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vel {

QImage GInfoPicture() {
    QImage img(420, 300, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f = p.font();
    f.setPixelSize(13);
    p.setFont(f);
    const QPointF c(150, 150);
    // The G-G circle: lateral G across, braking up, acceleration down.
    p.setPen(QPen(QColor(160, 160, 160), 1));
    for (int r : {40, 80, 120}) p.drawEllipse(c, r, r);
    p.drawLine(QPointF(30, 150), QPointF(270, 150));
    p.drawLine(QPointF(150, 30), QPointF(150, 270));
    p.setPen(Qt::black);
    p.drawText(QRectF(100, 8, 100, 18), Qt::AlignCenter, "減速 G");
    p.drawText(QRectF(100, 274, 100, 18), Qt::AlignCenter, "加速 G");
    p.drawText(QRectF(0, 132, 60, 18), Qt::AlignCenter, "左 横G");
    p.drawText(QRectF(240, 132, 60, 18), Qt::AlignCenter, "右 横G");
    p.setPen(QPen(QColor(255, 0, 0), 2));
    p.setBrush(QColor(255, 0, 0));
    p.drawLine(c, QPointF(215, 95));
    p.drawEllipse(QPointF(215, 95), 4, 4);
    // Turning radius: a car on an arc of radius r.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 255), 2));
    p.drawArc(QRectF(300, 60, 100, 100), 0, 180 * 16);
    p.drawLine(QPointF(350, 110), QPointF(400, 110));
    p.setPen(Qt::black);
    p.drawText(QRectF(300, 112, 100, 18), Qt::AlignCenter, "旋回半径 r");
    p.drawText(QRectF(290, 180, 130, 80), Qt::AlignLeft | Qt::TextWordWrap,
               "横G = v² ÷ r ÷ 9.80665\n(v: 速度 m/s)");
    return img;
}

TOKBottomDlgGInfo::TOKBottomDlgGInfo(QWidget* parent) : QDialog(parent) {
    setObjectName("OKBottomDlgGInfo");
    setWindowTitle("G、旋回半径について");
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    auto* v = new QVBoxLayout(this);
    auto* pic = new QLabel(this);
    pic->setPixmap(QPixmap::fromImage(GInfoPicture()));
    v->addWidget(pic);
    auto* close = new QPushButton("閉じる", this);
    close->setObjectName("OKBtn");
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    v->addWidget(close, 0, Qt::AlignHCenter);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace vel
