#include "support/fake_prompts.h"

namespace vel::test {

namespace {

template <class T>
T Next(std::deque<T>& queue, const T& fallback, int& unscripted) {
    if (queue.empty()) {
        ++unscripted;
        return fallback;
    }
    T v = queue.front();
    queue.pop_front();
    return v;
}

} // namespace

vel::Answer FakePrompts::AskYesNo(const QString& text) {
    calls.push_back({"yesno", text});
    return Next(answers, vel::Answer::No, unscripted);
}

vel::Answer FakePrompts::AskOkCancel(const QString& text) {
    calls.push_back({"okcancel", text});
    return Next(answers, vel::Answer::Cancel, unscripted);
}

vel::Answer FakePrompts::AskYesCancel(const QString& text) {
    calls.push_back({"yescancel", text});
    return Next(answers, vel::Answer::Cancel, unscripted);
}

vel::Answer FakePrompts::WarnYesNo(const QString& text) {
    calls.push_back({"warnyesno", text});
    return Next(answers, vel::Answer::No, unscripted);
}

QStringList FakePrompts::OpenFiles(const vel::FileDialogSpec& dlg) {
    calls.push_back({"open", dlg.title});
    lastSpec = dlg;
    return Next(openResults, QStringList(), unscripted);
}

QString FakePrompts::SaveFile(const vel::FileDialogSpec& dlg) {
    calls.push_back({"save", dlg.title});
    lastSpec = dlg;
    return Next(saveResults, QString(), unscripted);
}

QStringList FakePrompts::texts(const QString& kind) const {
    QStringList out;
    for (const Call& c : calls)
        if (c.kind == kind) out << c.text;
    return out;
}

} // namespace vel::test
