#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include "common/textfile.h"

namespace vel {

namespace {

QString WithSlash(const QString& dir) {
    return dir.endsWith('/') ? dir : dir + "/";
}

bool IsFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

// Writes through a temporary file in the target folder and renames it into
// place, so an interrupted copy never leaves a half-written master file.
bool CopyFileOver(const QString& src, const QString& dst) {
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QSaveFile out(dst);
    if (!out.open(QIODevice::WriteOnly)) return false;
    char buf[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buf, sizeof buf);
        if (n < 0) {
            out.cancelWriting();
            return false;
        }
        if (n == 0) break;
        if (out.write(buf, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return CommitSaveFile(out);
}

void CopyTree(const QString& src, const QString& dst, const QString& dstCanonical) {
    const QFileInfoList entries = QDir(src).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& fi : entries) {
        const QString name = fi.fileName();
        if (name.startsWith('.')) continue;
        const QString target = dst + "/" + name;
        if (fi.isDir()) {
            // A linked folder could lead back into itself; the destination
            // inside the source would be copied into itself forever.
            if (fi.isSymLink()) continue;
            if (fi.canonicalFilePath() == dstCanonical) continue;
            QDir().mkpath(target);
            CopyTree(fi.filePath(), target, dstCanonical);
        } else if (fi.isFile()) {
            CopyFileOver(fi.filePath(), target);
        }
    }
}

} // namespace

QString StandardShareDir() {
    return WithSlash(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString StandardDocDir() {
    QString d = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    while (d.size() > 1 && d.endsWith('/')) d.chop(1);
    return d;
}

QString FindDataRoot(const QString& appDir) {
    const QString app = WithSlash(appDir);
    const QString installed = QDir::cleanPath(app + "../share/velmaris");
    const QStringList candidates = {
        installed,
        QDir::cleanPath(app + "share/velmaris"),
#ifdef VELMARIS_SOURCE_DATA_DIR
        QDir::cleanPath(QStringLiteral(VELMARIS_SOURCE_DATA_DIR)),
#endif
    };
    for (const QString& c : candidates)
        if (IsFolder(c)) return WithSlash(c);
    // Nothing found: keep an absolute place that simply holds nothing, rather
    // than an empty root that would turn "Help/" into a path below the
    // current folder.
    return WithSlash(installed);
}

Folders FoldersFrom(const QString& appDir, const QString& shareDir, const QString& dataRoot,
                    const QString& docDir) {
    Folders f;
    f.AppDir = appDir;
    f.ShareDir = shareDir;
    f.TempDir = f.ShareDir + "temp/";
    f.DataRoot = dataRoot;
    f.DocDir = docDir;
    f.UserDir = f.DocDir + "/Velmaris/";
    f.RawDir = f.UserDir + "Raw/";
    f.SectDir = f.UserDir + "Sector/";
    f.ClnDir = f.UserDir + "ControlLine/";
    f.CircuitDir = f.UserDir + "Circuit/";
    f.DataDir = f.UserDir + "Data/";
    f.HelpDir = f.DataRoot + "Help/";
    f.ExportDir = f.VideoDir = f.VidInfDir = f.NmeaDir = f.DocDir;
    return f;
}

Folders StandardFolders() {
    const QString appDir = WithSlash(QCoreApplication::applicationDirPath());
    return FoldersFrom(appDir, StandardShareDir(), FindDataRoot(appDir), StandardDocDir());
}

bool MakeDir(const QString& path) {
    if (path.isEmpty()) return false;
    return QDir().mkpath(path);
}

void CopyFolderContent(const QString& src, const QString& dst) {
    // An empty name would mean the current folder.
    if (src.isEmpty() || dst.isEmpty() || !IsFolder(src)) return;
    QDir().mkpath(dst);
    const QString dstCanonical = QFileInfo(dst).canonicalFilePath();
    if (dstCanonical == QFileInfo(src).canonicalFilePath()) return;
    CopyTree(QDir::cleanPath(src), QDir::cleanPath(dst), dstCanonical);
}

int DeleteMatching(const QString& dir, const QString& wildcard) {
    if (dir.isEmpty() || wildcard.isEmpty()) return 0;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(wildcard),
                                QRegularExpression::CaseInsensitiveOption);
    if (!re.isValid()) return 0;
    QDir d(dir);
    if (!d.exists()) return 0;
    int count = 0;
    const QFileInfoList files = d.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& fi : files) {
        if (fi.isDir()) continue;
        if (!re.match(fi.fileName()).hasMatch()) continue;
        if (QFile::remove(fi.filePath())) ++count;
    }
    return count;
}

} // namespace vel
