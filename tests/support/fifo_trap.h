#pragma once
// A named pipe that no reader waits on for good: a watcher thread opens its
// writing end as soon as anything has it open for reading, which lets a
// blocked open(2) return (the reader then sees an empty file), and remembers
// that it had to. A test checks opened() to catch code that opens the pipe.
#include <QFile>
#include <QString>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vel::test {

class FifoTrap {
public:
    explicit FifoTrap(const QString& path) : path_(QFile::encodeName(path)) {
        made_ = ::mkfifo(path_.constData(), 0644) == 0;
        if (made_) watcher_ = std::thread([this] { Watch(); });
    }
    ~FifoTrap() {
        stop_ = true;
        if (watcher_.joinable()) watcher_.join();
    }
    FifoTrap(const FifoTrap&) = delete;
    FifoTrap& operator=(const FifoTrap&) = delete;

    bool made() const { return made_; }
    // Something opened the pipe for reading.
    bool opened() const { return opened_; }

private:
    void Watch() {
        while (!stop_) {
            // Without a reader this fails at once (ENXIO); with one it
            // succeeds and releases the reader's open.
            const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                struct stat st {};
                // The path may meanwhile hold a regular file put in the pipe's place.
                if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) opened_ = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    QByteArray path_;
    bool made_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread watcher_;
};

} // namespace vel::test
