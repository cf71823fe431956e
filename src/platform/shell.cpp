#include "platform/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vel {

namespace {

// Only these are addresses; anything else, "C:" or "lap:1.dtb" included, is
// a file name.
bool IsAddress(const QString& s, QUrl* url) {
    if (s.startsWith('/')) return false;
    const QUrl u(s, QUrl::StrictMode);
    if (!u.isValid()) return false;
    const QString scheme = u.scheme().toLower();
    if (scheme != "http" && scheme != "https" && scheme != "mailto" && scheme != "file")
        return false;
    *url = u;
    return true;
}

} // namespace

bool OpenWithApplication(const QString& pathOrUrl) {
    if (pathOrUrl.trimmed().isEmpty()) return false;
    QUrl url;
    if (IsAddress(pathOrUrl.trimmed(), &url)) {
        if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) return false;
        return QDesktopServices::openUrl(url);
    }
    const QFileInfo fi(pathOrUrl);
    if (!fi.exists()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(fi.absoluteFilePath()));
}

QString OpenFailedText(const QString& pathOrUrl) {
    return QStringLiteral("ファイルを開けませんでした。\r") + QDir::toNativeSeparators(pathOrUrl);
}

bool ShowInFolder(const QString& path) {
    if (path.trimmed().isEmpty()) return false;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace vel
