#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <thread>
#include "app/app_services.h"
#include "app/main_window.h"
#include "import/log_import_commands.h"
#include "support/fake_line_dialog.h"
#include "support/fake_prompts.h"
#include "support/sample_builder.h"
#include "support/test_folders.h"
#include "video/engine/ff_loader.h"
#include "video/engine/thread_helpers.h"
#include "video/video_link.h"
#include "video/video_page.h"
#include <QProcess>

using namespace vel;

namespace {

template <class F>
bool PumpUntil(F cond, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        video::ProcessPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The running window over the sample session, its first lap shown.
struct SampleWindow {
    Session session;
    std::unique_ptr<AppServices> services;
    test::FakePrompts prompts;
    std::unique_ptr<TFormMain> w;
    VideoPage* page = nullptr;

    SampleWindow(const QString& root, const QString& data) {
        session.folders = test::FoldersUnder(root);
        session.folders.AppDir = root + "/bin/";   // no LibAV folder: the system's libraries
        QDir().mkpath(session.folders.TempDir);
        session.logStore.Allocate();
        session.LocalEpoch = 25569.0 + 9.0 / 24.0;
        services = std::make_unique<AppServices>(session);
        auto dialog = std::make_unique<test::FakeLineDialog>();
        LineChoice line;
        line.CtrlLine = test::SampleControlLine();
        line.CtrlLineSet = true;
        dialog->scripts.push_back({true, std::nullopt, line});
        w = std::make_unique<TFormMain>(session, *services, &prompts, nullptr, std::move(dialog));
        prompts.openResults.push_back({data + test::SampleRawFile});
        w->importCommands().SpeedButtonLdLogFileClick();
        w->StringGridLapDataDblClick(1);
        page = w->findChild<VideoPage*>();
        w->findChild<QTabWidget*>("PageControl2")->setCurrentIndex(2);
    }
    VideoLink& link() { return *page->Link(); }
    ~SampleWindow() {
        w->close();
        w.reset();
    }
};

} // namespace

// A video and the sample session, synced and saved, come back after a
// restart to the same tie (to the file's millisecond).
TEST(VideoLinkWindow, SavedTieReloadsAfterARestart) {
    // The window's player opens the default sound output: none in tests.
    qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir tmp;
    const QString data = tmp.path() + "/data/";
    QString error;
    ASSERT_TRUE(test::WriteSampleData(data, &error)) << error.toStdString();
    QProcess ff;
    ff.setWorkingDirectory(tmp.path());
    ff.start("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=4",
                        "-c:v", "mpeg4", "-q:v", "2", "v.mkv"});
    ASSERT_TRUE(ff.waitForFinished(60000) && ff.exitCode() == 0) << ff.readAllStandardError().toStdString();
    auto& loader = video::FFLoader();
    loader.SetLibraryPath(QString());
    ASSERT_TRUE(loader.Load(video::PlayerLibraries));
    const QString vsy = tmp.path() + "/tie.vsy";

    int64_t ofs = 0, end = 0;
    {
        SampleWindow a(tmp.path() + "/a", data);
        ASSERT_TRUE(a.page);
        ASSERT_TRUE(a.session.comparison.DispSlot[0].Active);
        a.prompts.openResults.push_back({tmp.path() + "/v.mkv"});
        a.page->SpeedButtonOpenVideo->click();
        ASSERT_GT(a.link().VideoDuration(), 0);
        ASSERT_TRUE(PumpUntil([&] { return !a.link().state().VideoKeyStepReq && a.link().Paused(); }));
        ASSERT_TRUE(PumpUntil([&] { return a.link().CurrentPts() >= 0; }));
        a.session.comparison.PlayTm = 1.5L;
        a.page->SpeedButtonSetSta->click();
        ASSERT_TRUE(a.link().VideoSynced());
        EXPECT_TRUE(a.page->SpeedButtonSaveVidInf->isEnabled());
        EXPECT_FALSE(a.page->SpeedButtonOpenVideo->isEnabled());
        ofs = a.link().VideoOfsPts();
        end = a.link().VideoEndPts();
        a.prompts.saveResults.push_back(vsy);
        a.page->SpeedButtonSaveVidInf->click();
        ASSERT_TRUE(QFile::exists(vsy));
    }
    SampleWindow b(tmp.path() + "/b", data);
    b.prompts.openResults.push_back({vsy});
    b.page->SpeedButtonOpenVidInf->click();
    ASSERT_TRUE(b.link().VideoSynced());
    EXPECT_TRUE(b.prompts.texts("warn").isEmpty());
    EXPECT_NEAR(double(b.link().VideoOfsPts()), double(ofs), 500.0);
    EXPECT_NEAR(double(b.link().VideoEndPts()), double(end), 500.0);
}
