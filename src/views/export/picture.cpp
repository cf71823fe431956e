#include "views/export/picture.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include "common/textfile.h"

namespace vel {

QImage PanePicture(const QSize& size, const PaneDraw& draw) {
    QImage img(std::max(size.width(), 1), std::max(size.height(), 1), QImage::Format_RGB32);
    img.fill(Qt::white);
    if (draw) {
        QPainter p(&img);
        draw(p, img.rect());
    }
    return img;
}

bool WritePicture(const QImage& image, PictureFormat format, const QString& path, QString* error) {
    // Encoded in memory first: an image writer given the file stops at a
    // write that falls short, which sets no error, and says "Unknown error".
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format == PictureFormat::Png ? "png" : "bmp");
        if (format == PictureFormat::Png) writer.setQuality(PngQualityLevel5);
        if (!writer.write(image)) {
            if (error) *error = writer.errorString();
            return false;
        }
    }
    return WriteFileAtomic(path, bytes, error);
}

} // namespace vel
