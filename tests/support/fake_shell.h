#pragma once
// Stand-in for the desktop: records what would have been opened or shown.
#include <QStringList>
#include "platform/shell.h"

namespace vel::test {

class FakeShell : public vel::Shell {
public:
    QStringList opened;   // OpenWithApplication
    QStringList shown;    // ShowInFolder
    bool fails = false;   // a desktop without a handler (xdg-open missing)
    bool OpenWithApplication(const QString& path) override {
        opened << path;
        return !fails;
    }
    bool ShowInFolder(const QString& path) override {
        shown << path;
        return !fails;
    }
};

} // namespace vel::test
