#pragma once
// Scripted stand-in for the dialogs: records every call and answers from
// queues, so command flows run without a person.
#include <deque>
#include <vector>
#include <QString>
#include <QStringList>
#include "platform/prompts.h"

namespace vel::test {

class FakePrompts : public vel::Prompts {
public:
    struct Call {
        // "inform", "warn", "error", "yesno", "okcancel", "yescancel" (question
        // boxes), "warnyesno" (a warning box with Yes / No), "open", "save"
        QString kind;
        QString text;   // the message, or the dialog title for "open" / "save"
    };

    std::vector<Call> calls;
    // Answers for every question, in order of the questions.
    std::deque<vel::Answer> answers;
    std::deque<QStringList> openResults;
    std::deque<QString> saveResults;
    // Questions and dialogs met with an empty queue; they answered
    // No / Cancel / nothing.
    int unscripted = 0;
    vel::FileDialogSpec lastSpec;

    void Inform(const QString& text) override { calls.push_back({"inform", text}); }
    void Warn(const QString& text) override { calls.push_back({"warn", text}); }
    void Error(const QString& text) override { calls.push_back({"error", text}); }
    vel::Answer AskYesNo(const QString& text) override;
    vel::Answer AskOkCancel(const QString& text) override;
    vel::Answer AskYesCancel(const QString& text) override;
    vel::Answer WarnYesNo(const QString& text) override;
    QStringList OpenFiles(const vel::FileDialogSpec& dlg) override;
    QString SaveFile(const vel::FileDialogSpec& dlg) override;

    // The texts of the calls of one kind, in order.
    QStringList texts(const QString& kind) const;
    int count(const QString& kind) const { return int(texts(kind).size()); }
};

} // namespace vel::test
