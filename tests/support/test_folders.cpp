#include "support/test_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vel::test {

Folders FoldersUnder(const QString& root) {
    Folders f;
    f.AppDir = root + "/bin/";
    f.ShareDir = root + "/share/";
    f.TempDir = f.ShareDir + "temp/";
    f.DataRoot = root + "/data/";
    f.DocDir = root + "/Documents";
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
