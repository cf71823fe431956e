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
    void OpenWithApplication(const QString& path, OpenDone done) override {
        opened << path;
        if (done) done(!fails);
    }
    void ShowInFolder(const QString& path, OpenDone done) override {
        shown << path;
        if (done) done(!fails);
    }
};

} // namespace vel::test
