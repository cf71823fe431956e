#include "support/test_env.h"
#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace vel::test {

void SetHome(const QString& root) {
    QDir().mkpath(root);
    const QByteArray r = QDir(root).absolutePath().toUtf8();
    qputenv("HOME", r);
    qputenv("XDG_DATA_HOME", r + "/.local/share");
    qputenv("XDG_CONFIG_HOME", r + "/.config");
    qputenv("XDG_CACHE_HOME", r + "/.cache");
    qputenv("XDG_DOCUMENTS_DIR", r + "/Documents");
    QDir().mkpath(QString::fromUtf8(r + "/Documents"));
    QByteArray run = r + "/run";
    QDir().mkpath(QString::fromUtf8(run));
    QFile::setPermissions(QString::fromUtf8(run), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", run);
}

QString OutputDir() {
    QString d = qEnvironmentVariable("VELMARIS_TEST_OUT");
    if (d.isEmpty()) d = QDir::tempPath() + "/velmaris-test-output";
    QDir().mkpath(d);
    return d;
}

} // namespace vel::test
