#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QImage>
#include <thread>
#include "video/engine/thread_helpers.h"
#include "video/video_surface.h"

using namespace vel;

namespace {

std::shared_ptr<video::TVideoPicture> Picture(int w, int h, double aspect, uint8_t grey) {
    auto p = std::make_shared<video::TVideoPicture>();
    p->Width = w;
    p->Height = h;
    p->Stride = w * 4;
    p->Bits.assign(size_t(p->Stride) * h, grey);
    for (size_t i = 3; i < p->Bits.size(); i += 4) p->Bits[i] = 255;
    p->AspectRatio = aspect;
    return p;
}

} // namespace

TEST(VideoSurface, PicturesFromAnyThreadAreDrawnCentredInTheirAspect) {
    VideoSurface s;
    // The picture is drawn at its own size: Qt scales pictures on worker
    // threads of its own, whose hand-offs ThreadSanitizer cannot follow.
    s.resize(200, 100);
    EXPECT_TRUE(s.PictureRect().isNull());
    auto sink = s.Sink();
    std::thread player([&] { sink(Picture(132, 100, 4.0 / 3.0, 200)); });
    player.join();
    QElapsedTimer t;
    t.start();
    while (!s.Picture() && t.elapsed() < 5000) video::ProcessPendingMessages();
    ASSERT_NE(s.Picture(), nullptr);
    // 4:3 in 200 x 100: the full height, 132 wide (even), centred.
    EXPECT_EQ(s.PictureRect(), QRect(34, 0, 132, 100));
    const QImage shot = s.grab().toImage();
    EXPECT_EQ(qGray(shot.pixel(100, 50)), 200);
    EXPECT_EQ(qGray(shot.pixel(10, 50)), 0);  // black bars

    // A wide picture in a tall widget: the full width.
    s.resize(100, 200);
    sink(Picture(64, 36, 16.0 / 9.0, 50));
    t.restart();
    while (s.Picture()->Height != 36 && t.elapsed() < 5000) video::ProcessPendingMessages();
    EXPECT_EQ(s.PictureRect(), QRect(0, 72, 100, 56));
}
