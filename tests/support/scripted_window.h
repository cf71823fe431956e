#pragma once
// A main window as the program makes it, over a session in folders of its
// own, with scripted prompts and line dialog.
#include <QTemporaryDir>
#include <memory>
#include "app/app_services.h"
#include "app/main_window.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/test_folders.h"

namespace vel::test {

struct ScriptedWindow {
    QTemporaryDir tmp;
    Session session;
    std::unique_ptr<AppServices> services;
    FakePrompts prompts;
    FakeLineDialog* dialog = nullptr;
    std::unique_ptr<TFormMain> w;

    ScriptedWindow() {
        session.folders = FoldersUnder(tmp.path());
        services = std::make_unique<AppServices>(session);
        auto d = std::make_unique<FakeLineDialog>();
        dialog = d.get();
        w = std::make_unique<TFormMain>(session, *services, &prompts, nullptr, std::move(d));
    }
    // The next line dialog answers with the sample session's control line.
    void ScriptSampleLine() {
        LineChoice line;
        line.CtrlLine = SampleControlLine();
        line.CtrlLineSet = true;
        dialog->scripts.push_back({true, std::nullopt, line});
    }
};

} // namespace vel::test
