#include "common/file_names.h"

#include <QFileInfo>

namespace vel {

QString FolderOf(const QString& path) { return QFileInfo(path).absolutePath() + "/"; }

QString ExtensionOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot);
}

QString ChangeExt(const QString& path, const QString& ext) {
    return path.left(path.size() - ExtensionOf(path).size()) + ext;
}

} // namespace vel
