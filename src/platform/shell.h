#pragma once
#include <QString>
namespace vel {
// Opens a file or an address with its application; false when nothing opened it.
bool OpenWithApplication(const QString& pathOrUrl);
// Shows the folder holding a file.
bool ShowInFolder(const QString& path);
// The message when the desktop could not open a file, folder or address.
QString OpenFailedText(const QString& pathOrUrl);

// The two calls behind an interface, so commands that end by opening a file
// can be run in tests without opening anything.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool OpenWithApplication(const QString& path) = 0;
    virtual bool ShowInFolder(const QString& path) = 0;
};

// The desktop's own applications and file manager.
class SystemShell : public Shell {
public:
    bool OpenWithApplication(const QString& path) override { return vel::OpenWithApplication(path); }
    bool ShowInFolder(const QString& path) override { return vel::ShowInFolder(path); }
};
} // namespace vel
