#include "video_fixtures.h"
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <cmath>

namespace vel::test {

QString RunFfmpeg(const QString& folder, const QStringList& args) {
    // posix_spawn rather than QProcess: Qt starts children in a way that
    // leaves ThreadSanitizer blind to the parent's later locking.
    QStringList all = QStringList{"ffmpeg", "-nostdin", "-v", "error", "-y"} + args;
    std::vector<QByteArray> bytes;
    for (const QString& a : all) bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray errFile = QFile::encodeName(folder + "/ffmpeg-errors.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, QFile::encodeName(folder).constData());
    posix_spawn_file_actions_addopen(&actions, 2, errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int r = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) return QStringLiteral("ffmpeg did not start");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return QString();
    QFile f(QFile::decodeName(errFile));
    const QString out = f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    return out.isEmpty() ? QStringLiteral("ffmpeg failed") : out;
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
