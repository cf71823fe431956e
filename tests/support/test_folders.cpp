#include "support/test_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vel::test {

Folders FoldersUnder(const QString& root) {
    return FoldersFrom(root + "/bin/", root + "/share/", root + "/data/", root + "/Documents");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace vel::test
