#pragma once
// A stand-in for xdg-open, first on PATH while the object lives: records the
// argument of each run, one a line, and exits with the status asked for.
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace vel::test {

class StubOpener {
public:
    // status < 0: no opener on PATH at all.
    explicit StubOpener(int status) : oldPath_(qgetenv("PATH")) {
        if (status >= 0) {
            QFile f(dir_.path() + "/xdg-open");
            if (f.open(QIODevice::WriteOnly)) {
                f.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/arguments\"\nexit " +
                        QByteArray::number(status) + "\n");
                f.close();
                f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            }
            qputenv("PATH", QFile::encodeName(dir_.path()) + ":" + oldPath_);
        } else {
            qputenv("PATH", QFile::encodeName(dir_.path()));
        }
    }
    ~StubOpener() { qputenv("PATH", oldPath_); }
    StubOpener(const StubOpener&) = delete;
    StubOpener& operator=(const StubOpener&) = delete;

    // What the opener was handed, run by run.
    QStringList arguments() const {
        QFile f(dir_.path() + "/arguments");
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

} // namespace vel::test
