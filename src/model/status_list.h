#pragma once
// The status list of the logger tab, kept without widgets: the window's list
// box mirrors it. Newest line on top, at most MaxLines lines.
#include <functional>
#include <QString>
#include <QStringList>

namespace vel {

class StatusList {
public:
    static constexpr int MaxLines = 33;

    // Inserts a line at the top, first dropping the oldest when the list is full.
    void Add(const QString& line);
    const QStringList& Lines() const { return lines_; }
    // Runs after every change (the window mirrors the list).
    std::function<void()> onChanged;

private:
    QStringList lines_;
};

} // namespace vel
