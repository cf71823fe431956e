#pragma once
// One running instance per user: a lock file plus a local socket through
// which a second start asks the first to raise its window.
#include <functional>
#include <memory>
#include <QString>

class QLockFile;
class QLocalServer;

namespace vel {

class SingleInstance {
public:
    // key names the lock and the socket ("Velmaris" in the program; tests
    // pass their own).
    explicit SingleInstance(const QString& key);
    ~SingleInstance();

    // true when this process is now the only instance.
    bool TryAcquire();
    // In the first instance: start listening; onRaise runs on the main
    // thread whenever a later start asks for the window.
    void Listen(std::function<void()> onRaise);
    // In a second instance: ask the first one to raise its window.
    // true when the message was delivered.
    bool AskToRaise(int timeoutMs = 1000);
    void Release();

    // Where the lock file and the socket of key live (per user).
    static QString LockPath(const QString& key);
    static QString SocketPath(const QString& key);

private:
    QString key_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace vel
