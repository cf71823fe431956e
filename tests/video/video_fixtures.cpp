#include "video_fixtures.h"
#include <QProcess>
#include <cmath>

namespace vel::test {

QString RunFfmpeg(const QString& folder, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args);
    if (!p.waitForStarted(10000)) return QStringLiteral("ffmpeg did not start");
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("ffmpeg did not finish");
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        const QString out = QString::fromLocal8Bit(p.readAll());
        return out.isEmpty() ? QStringLiteral("ffmpeg failed") : out;
    }
    return QString();
}

QString NumberedSource(int width, int height, int fps, double seconds) {
    return QStringLiteral("nullsrc=s=%1x%2:r=%3:d=%4,format=yuv420p,geq=lum='16+8*N+X/8':cb=128:cr=128")
        .arg(width)
        .arg(height)
        .arg(fps)
        .arg(seconds);
}

QString FlatNumberedSource(int width, int height, int fps, double seconds) {
    return QStringLiteral("nullsrc=s=%1x%2:r=%3:d=%4,format=yuv420p,geq=lum='16+4*N':cb=128:cr=128")
        .arg(width)
        .arg(height)
        .arg(fps)
        .arg(seconds);
}

int FrameNumberOfGrey(int grey) {
    const double y = 16 + grey * 219.0 / 255.0;
    return int(std::lround((y - 16) / 4));
}

} // namespace vel::test
