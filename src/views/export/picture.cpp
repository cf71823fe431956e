#include "views/export/picture.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
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
    // Encoded in memory first, then written by hand: an image writer given
    // the file stops at a write that falls short (the disk filled up on the
    // way), which sets no error, and says "Unknown error".
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
    // Unbuffered, so each write reaches the disk here: after a short one the
    // next write fails with the system's reason.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error) *error = file.errorString();
        return false;
    }
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            if (error) *error = file.errorString();
            file.cancelWriting();
            return false;
        }
        done += n;
    }
    return CommitSaveFile(file, error);
}

} // namespace vel
