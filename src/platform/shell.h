#pragma once
#include <functional>
#include <memory>
#include <QString>

class QObject;

namespace vel {

// What the opener is handed for a file or an address: the address itself
// (http, https, mailto, file), or a file's absolute path as a file URL.
// Empty when there is nothing to open (an empty text, a missing file).
QString OpenerArgument(const QString& pathOrUrl);
// The folder holding a file as the opener is handed it (a file URL); empty
// when that folder does not exist.
QString FolderOpenerArgument(const QString& path);
// The message when the desktop could not open a file, folder or address.
QString OpenFailedText(const QString& pathOrUrl);

// The desktop behind an interface, so commands that end by opening a file
// can be run in tests without opening anything.
class Shell {
public:
    // Told once whether the file or address was opened.
    using OpenDone = std::function<void(bool opened)>;

    virtual ~Shell() = default;
    // Opens a file or an address with its application without waiting for
    // it. done runs on the main thread, once: at once when there is nothing
    // to open or no opener, else when the opener has ended; never after the
    // shell is gone.
    virtual void OpenWithApplication(const QString& path, OpenDone done) = 0;
    // Shows the folder holding a file, told the same way.
    virtual void ShowInFolder(const QString& path, OpenDone done) = 0;
};

// The desktop's own applications and file manager, through xdg-open, whose
// exit status says whether an application took the file.
class SystemShell : public Shell {
public:
    SystemShell();
    ~SystemShell() override;
    SystemShell(const SystemShell&) = delete;
    SystemShell& operator=(const SystemShell&) = delete;

    void OpenWithApplication(const QString& path, OpenDone done) override;
    void ShowInFolder(const QString& path, OpenDone done) override;

private:
    void RunOpener(const QString& argument, OpenDone done);

    std::unique_ptr<QObject> openers_;   // parent of the openers still running
};

} // namespace vel
