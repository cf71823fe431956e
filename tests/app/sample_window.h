#pragma once
// The running main window over the sample session: the shipped sample log,
// or the sample files written afresh with a short test clip beside them for
// the video page.
#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/log_import_commands.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/scripted_window.h"
#include "support/test_folders.h"
#include "video/engine/ff_loader.h"

namespace vel::test {

// Writes the sample session's files into <folder>/data/ and a 4 s clip,
// <folder>/v.mkv, and loads the system's libraries for the player. Use
// under ASSERT_NO_FATAL_FAILURE.
inline void WriteSampleAndClip(const QString& folder) {
    // The window's player opens the default sound output: none in tests.
    qputenv("SDL_AUDIODRIVER", "dummy");
    QString error;
    ASSERT_TRUE(WriteSampleData(folder + "/data/", &error)) << error.toStdString();
    QProcess ff;
    ff.setWorkingDirectory(folder);
    ff.start("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=4",
                        "-c:v", "mpeg4", "-q:v", "2", "v.mkv"});
    ASSERT_TRUE(ff.waitForFinished(60000) && ff.exitCode() == 0) << ff.readAllStandardError().toStdString();
    auto& loader = video::FFLoader();
    loader.SetLibraryPath(QString());
    ASSERT_TRUE(loader.Load(video::PlayerLibraries));
}

// The running window over the sample session in data, its first `laps` laps
// shown (the sample session's control line chosen in the import).
struct SampleWindow {
    Session session;
    std::unique_ptr<AppServices> services;
    FakePrompts prompts;
    std::unique_ptr<TFormMain> w;

    SampleWindow(const QString& root, const QString& data, int laps) {
        session.folders = FoldersUnder(root);
        session.folders.AppDir = root + "/bin/";   // no LibAV folder: the system's libraries
        QDir().mkpath(session.folders.TempDir);
        session.logStore.Allocate();
        session.LocalEpoch = 25569.0 + 9.0 / 24.0;
        services = std::make_unique<AppServices>(session);
        auto dialog = std::make_unique<FakeLineDialog>();
        LineChoice line;
        line.CtrlLine = SampleControlLine();
        line.CtrlLineSet = true;
        dialog->scripts.push_back({true, std::nullopt, line});
        w = std::make_unique<TFormMain>(session, *services, &prompts, nullptr, std::move(dialog));
        prompts.openResults.push_back({data + SampleRawFile});
        w->importCommands().SpeedButtonLdLogFileClick();
        for (int row = 1; row <= laps && row <= session.lapList.Rows.size(); ++row) w->StringGridLapDataDblClick(row);
    }
    ~SampleWindow() {
        w->close();
        w.reset();
    }
};

// The main window with the shipped sample log cut into laps by LoadSample.
struct ShippedSampleWindow : ScriptedWindow {
    // Imports the sample log and shows its first two laps; false when they
    // are not shown.
    bool LoadSample() {
        const QString data = VELMARIS_SOURCE_DATA_DIR;
        ScriptSampleLine();
        prompts.openResults.push_back({data + "/Raw/sample.bnx4"});
        w->importCommands().SpeedButtonLdLogFileClick();
        if (session.lapList.Rows.size() < 2) return false;
        w->StringGridLapDataDblClick(1);
        w->StringGridLapDataDblClick(2);
        return session.comparison.DispSlot[1].Active;
    }
};

} // namespace vel::test
