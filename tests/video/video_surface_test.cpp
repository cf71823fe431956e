#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <string>
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

// Everything around the picture is painted black, whatever was there before
// (the widget paints itself whole; nothing clears it first).
TEST(VideoSurface, TheBarsAroundThePictureArePaintedBlack) {
    struct {
        int w, h;        // the widget
        int pw, ph;      // the picture, at the size it is shown
        double aspect;
        QRect rect;      // where it lies
    } cases[] = {
        {200, 100, 132, 100, 4.0 / 3.0, QRect(34, 0, 132, 100)},  // bars left and right
        {100, 200, 100, 56, 16.0 / 9.0, QRect(0, 72, 100, 56)},   // bars above and below
        {160, 90, 160, 90, 16.0 / 9.0, QRect(0, 0, 160, 90)},     // none
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        VideoSurface s;
        s.resize(c.w, c.h);
        auto pic = Picture(c.pw, c.ph, c.aspect, 200);
        s.Sink()(pic);
        QElapsedTimer t;
        t.start();
        while (s.Picture() != pic && t.elapsed() < 5000) video::ProcessPendingMessages();
        ASSERT_EQ(s.PictureRect(), c.rect);
        QImage shot(c.w, c.h, QImage::Format_RGB32);
        shot.fill(Qt::white);
        s.render(&shot);
        int wrong = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                wrong += qGray(shot.pixel(x, y)) != (c.rect.contains(x, y) ? 200 : 0);
        EXPECT_EQ(wrong, 0);
    }
}

// The surface tells the player the size it shows pictures at, and a picture
// converted to that size lands on the widget pixel for pixel.
TEST(VideoSurface, PicturesConvertedToTheShownSizeAreDrawnAsTheyAre) {
    VideoSurface s;
    const auto shown = s.ShownSize();
    int w = -1, h = -1;
    shown->Get(w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(0, 0));  // not laid out yet: the video's own size
    s.resize(200, 100);
    s.show();
    video::ProcessPendingMessages();
    const double dpr = s.devicePixelRatioF();
    shown->Get(w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(int(200 * dpr), int(100 * dpr)));
    // 16:9 fitted into the box: 200 x 112, one-pixel stripes that any
    // scaling would blur.
    int pw = 0, ph = 0;
    video::FitPicture(16.0 / 9.0, w, h, pw, ph);
    auto pic = Picture(pw, ph, 16.0 / 9.0, 0);
    for (int y = 0; y < ph; ++y)
        for (int x = 1; x < pw; x += 2) std::fill_n(pic->Bits.begin() + y * pic->Stride + x * 4, 3, uint8_t(255));
    s.Sink()(pic);
    QElapsedTimer t;
    t.start();
    while (s.Picture() != pic && t.elapsed() < 5000) video::ProcessPendingMessages();
    ASSERT_EQ(s.Picture(), pic);
    const QImage shot = s.grab().toImage();
    const QRect r = s.PictureRect();
    for (int x = r.left(); x < r.left() + 8; ++x)
        EXPECT_EQ(qGray(shot.pixel(x, r.center().y())), (x - r.left()) % 2 ? 255 : 0) << x;
    // After a resize the next picture is asked for at the new size.
    s.resize(300, 100);
    video::ProcessPendingMessages();
    shown->Get(w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(int(300 * dpr), int(100 * dpr)));
}
