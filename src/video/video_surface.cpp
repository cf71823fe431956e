#include "video/video_surface.h"
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <cmath>
#include "video/engine/thread_helpers.h"

namespace vel {

VideoSurface::VideoSurface(QWidget* parent) : QWidget(parent), alive_(std::make_shared<bool>(true)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

video::TPictureSink VideoSurface::Sink() {
    // The player may outlive a call in flight: the widget is reached through
    // the main thread and only while it exists.
    std::weak_ptr<bool> alive = alive_;
    return [this, alive](std::shared_ptr<const video::TVideoPicture> pic) {
        video::PostToMainThread([this, alive, pic] {
            if (alive.lock()) SetPicture(pic);
        });
    };
}

void VideoSurface::SetPicture(std::shared_ptr<const video::TVideoPicture> pic) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        picture_ = std::move(pic);
    }
    update();
}

std::shared_ptr<const video::TVideoPicture> VideoSurface::Picture() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return picture_;
}

QRect VideoSurface::PictureRect() const {
    const auto pic = Picture();
    if (!pic || pic->Width <= 0 || pic->Height <= 0) return QRect();
    const double ratio = pic->AspectRatio > 0 ? pic->AspectRatio : double(pic->Width) / pic->Height;
    int w = 0, h = 0;
    video::FitPicture(ratio, width(), height(), w, h);
    return QRect((width() - w) / 2, (height() - h) / 2, w, h);
}

void VideoSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const auto pic = Picture();
    if (!pic || pic->Bits.empty()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    QImage img(pic->Bits.data(), pic->Width, pic->Height, pic->Stride, QImage::Format_RGB32);
    const QRect r = PictureRect();
    // Black only around the picture: the picture covers the rest, and
    // filling the whole widget each time costs as much as drawing it.
    for (const QRect& bar : QRegion(rect()).subtracted(QRegion(r))) p.fillRect(bar, Qt::black);
    const double dpr = devicePixelRatioF();
    if (pic->Width == int(std::lround(r.width() * dpr)) && pic->Height == int(std::lround(r.height() * dpr))) {
        // Converted for this size: drawn as it is.
        img.setDevicePixelRatio(dpr);
        p.drawImage(r.topLeft(), img);
        return;
    }
    // A picture of another size (the video's own, or made before a resize).
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(r, img);
}

void VideoSurface::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The next picture comes at the new size.
    const double dpr = devicePixelRatioF();
    shown_->Set(int(std::lround(width() * dpr)), int(std::lround(height() * dpr)));
}

} // namespace vel
