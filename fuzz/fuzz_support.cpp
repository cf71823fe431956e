#include "fuzz_support.h"

#include <cstdlib>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

namespace vel::fuzz {

namespace {

// Qt wants an application object before it answers about files and locales.
void EnsureApp() {
    static int argc = 1;
    static char name[] = "velmaris_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

QTemporaryDir* scratch = nullptr;

} // namespace

QString ScratchDir() {
    EnsureApp();
    if (!scratch) {
        // The run script hands a folder it cleans up, also after a crash.
        QString base = qEnvironmentVariable("VELMARIS_FUZZ_SCRATCH");
        if (base.isEmpty() && QFileInfo(QStringLiteral("/dev/shm")).isWritable()) base = QStringLiteral("/dev/shm");
        scratch = base.isEmpty() ? new QTemporaryDir() : new QTemporaryDir(base + "/velmaris_fuzz_XXXXXX");
        if (!scratch->isValid()) std::abort();
        // Removed at exit: libFuzzer ends with exit().
        std::atexit([] { delete scratch; });
    }
    return scratch->path() + "/";
}

QString WriteScratch(const QString& name, const uint8_t* data, size_t size) {
    return WriteScratch(name, QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                      static_cast<qsizetype>(size)));
}

QString WriteScratch(const QString& name, const QByteArray& bytes) {
    const QString path = ScratchDir() + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) std::abort();
    return path;
}

Session& FreshSession() {
    static Session* s = [] {
        auto* session = new Session;
        const QString root = ScratchDir();
        session->folders = FoldersFrom(root + "app/", root + "share/", root + "data/", root + "doc");
        QDir().mkpath(session->folders.TempDir);
        if (!session->logStore.Allocate()) std::abort();
        return session;
    }();
    s->lapList = LapList{};
    s->statusList = StatusList{};
    return *s;
}

} // namespace vel::fuzz
