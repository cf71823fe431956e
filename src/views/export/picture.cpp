#include "views/export/picture.h"

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format == PictureFormat::Png ? "png" : "bmp");
    if (format == PictureFormat::Png) writer.setQuality(PngQualityLevel5);
    if (!writer.write(image)) {
        if (error) *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    return CommitSaveFile(file, error);
}

} // namespace vel
