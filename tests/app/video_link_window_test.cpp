#include <gtest/gtest.h>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include "app/main_window.h"
#include "sample_window.h"
#include "support/pump_until.h"
#include "video/video_link.h"
#include "video/video_page.h"

using namespace vel;
using test::PumpUntil;

namespace {

// The sample window with its first lap shown and its video page open.
struct VideoPageWindow : test::SampleWindow {
    VideoPage* page = nullptr;

    VideoPageWindow(const QString& root, const QString& data) : test::SampleWindow(root, data, 1) {
        page = w->findChild<VideoPage*>();
        w->findChild<QTabWidget*>("PageControl2")->setCurrentIndex(2);
    }
    VideoLink& link() { return *page->Link(); }
};

} // namespace

// A video and the sample session, synced and saved, come back after a
// restart to the same tie (to the file's millisecond).
TEST(VideoLinkWindow, SavedTieReloadsAfterARestart) {
    QTemporaryDir tmp;
    ASSERT_NO_FATAL_FAILURE(test::WriteSampleAndClip(tmp.path()));
    const QString data = tmp.path() + "/data/";
    const QString vsy = tmp.path() + "/tie.vsy";

    int64_t ofs = 0, end = 0;
    {
        VideoPageWindow a(tmp.path() + "/a", data);
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
    VideoPageWindow b(tmp.path() + "/b", data);
    b.prompts.openResults.push_back({vsy});
    b.page->SpeedButtonOpenVidInf->click();
    ASSERT_TRUE(b.link().VideoSynced());
    EXPECT_TRUE(b.prompts.texts("warn").isEmpty());
    EXPECT_NEAR(double(b.link().VideoOfsPts()), double(ofs), 500.0);
    EXPECT_NEAR(double(b.link().VideoEndPts()), double(end), 500.0);
}
