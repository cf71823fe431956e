#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>
#include "video/engine/ff_logger.h"
#include "video/engine/frame_filters.h"
#include "video_support.h"

using namespace vel::video;

namespace {

// A YUV frame whose planes are filled with one value each.
struct FrameHolder {
    AVFrame* f = nullptr;
    FrameHolder(int w, int h, int y, int u, int v, AVPixelFormat fmt = AV_PIX_FMT_YUV420P) {
        f = ff::av_frame_alloc();
        f->format = fmt;
        f->width = w;
        f->height = h;
        ff::av_frame_get_buffer(f, 0);
        const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(fmt);
        const int cw = -((-w) >> d->log2_chroma_w), ch = -((-h) >> d->log2_chroma_h);
        for (int r = 0; r < h; ++r) memset(f->data[0] + r * f->linesize[0], y, size_t(w));
        for (int r = 0; r < ch; ++r) {
            memset(f->data[1] + r * f->linesize[1], u, size_t(cw));
            memset(f->data[2] + r * f->linesize[2], v, size_t(cw));
        }
    }
    ~FrameHolder() { ff::av_frame_free(&f); }
    int Y(int x, int y) const { return f->data[0][y * f->linesize[0] + x]; }
    int U(int x, int y) const { return f->data[1][y * f->linesize[1] + x]; }
    int V(int x, int y) const { return f->data[2][y * f->linesize[2] + x]; }
};

// Lines the logger reports, in the logging thread.
struct LogLines {
    std::mutex m;
    std::vector<std::string> lines;
    LogLines() {
        FFLogger().TriggerEventInMainThread = false;
        FFLogger().SetLogLevel(TLogLevel::llInfo);
        FFLogger().SetOnLog([this](QObject*, uint32_t, TLogLevel, const QString& s) {
            std::lock_guard<std::mutex> lock(m);
            lines.push_back(s.toStdString());
        });
    }
    ~LogLines() {
        FFLogger().SetOnLog(nullptr);
        FFLogger().TriggerEventInMainThread = true;
    }
};

class FrameFilters : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(vel::test::LoadSystemCodecs()); }
};

} // namespace

TEST_F(FrameFilters, EqualizerTable) {
    // brightness, contrast, input luma -> output luma (chroma untouched).
    const struct {
        int b, c, in, out;
    } cases[] = {
        {0, 0, 100, 100},   {0, 0, 3, 3},      {0, 1, 100, 98},  {0, 1, 16, 14},  {0, -100, 0, 127},
        {0, -100, 255, 127}, {20, -100, 9, 178}, {100, 0, 1, 255}, {-100, 0, 250, 0}, {50, 0, 100, 227},
        {0, 100, 100, 71},  {0, 100, 200, 255},
    };
    for (const auto& c : cases) {
        FrameHolder fr(6, 4, c.in, 90, 170);
        TPictureParams host;
        host.First = c.b;
        host.Second = c.c;
        TEqualizerFilter eq(TEqualizerFilter::Kind::Eq, &host);
        ASSERT_TRUE(eq.Init(""));
        ASSERT_TRUE(eq.Filter(fr.f));
        EXPECT_EQ(fr.Y(0, 0), c.out) << c.b << " " << c.c << " " << c.in;
        EXPECT_EQ(fr.Y(5, 3), c.out);
        EXPECT_EQ(fr.U(0, 0), 90);
    }
}

TEST_F(FrameFilters, HueSaturationTable) {
    // hue, saturation, U, V -> U', V' (luma untouched).
    const struct {
        int h, s, u, v, u2, v2;
    } cases[] = {
        {0, 0, 150, 100, 150, 100},   {0, -100, 0, 255, 128, 128}, {0, 100, 0, 150, 0, 172},
        {0, 100, 200, 100, 255, 72},  {50, 0, 150, 100, 156, 150}, {100, 0, 150, 100, 106, 156},
        {-50, 0, 150, 100, 100, 106},
    };
    for (const auto& c : cases) {
        // Odd size: the last chroma row and column count too.
        FrameHolder fr(7, 5, 77, c.u, c.v);
        TPictureParams host;
        host.First = c.h;
        host.Second = c.s;
        TEqualizerFilter hue(TEqualizerFilter::Kind::Hue, &host);
        ASSERT_TRUE(hue.Init(""));
        ASSERT_TRUE(hue.Filter(fr.f));
        for (auto [x, y] : {std::pair{0, 0}, std::pair{3, 2}}) {
            EXPECT_EQ(fr.U(x, y), c.u2) << c.h << " " << c.s << " at " << x << "," << y;
            EXPECT_EQ(fr.V(x, y), c.v2) << c.h << " " << c.s;
        }
        EXPECT_EQ(fr.Y(6, 4), 77);
    }
}

TEST_F(FrameFilters, ChromaPlanesKeepTheirOwnRowLength) {
    FrameHolder fr(8, 4, 16, 200, 200);
    // Give V a wider row than U: each plane must step by its own.
    AVFrame* f = fr.f;
    std::vector<uint8_t> wideV(size_t(64 * 2), 0);
    for (int r = 0; r < 2; ++r) memset(wideV.data() + r * 64, 200, 4);
    f->data[2] = wideV.data();
    f->linesize[2] = 64;
    TPictureParams host;
    host.Second = -100;  // saturation -100: every chroma sample becomes 128
    TEqualizerFilter hue(TEqualizerFilter::Kind::Hue, &host);
    ASSERT_TRUE(hue.Init(""));
    ASSERT_TRUE(hue.Filter(f));
    EXPECT_EQ(wideV[0], 128);
    EXPECT_EQ(wideV[64 + 3], 128);
    EXPECT_EQ(wideV[4], 0);  // beyond the picture
    EXPECT_EQ(fr.U(3, 1), 128);
}

TEST_F(FrameFilters, HostValuesTakeEffectFromTheNextFrame) {
    LogLines log;
    TPictureParams host;
    TEqualizerFilter eq(TEqualizerFilter::Kind::Eq, &host);
    ASSERT_TRUE(eq.Init(""));
    FrameHolder a(4, 2, 100, 128, 128);
    eq.Filter(a.f);
    EXPECT_EQ(a.Y(0, 0), 100);  // both 0: untouched
    host.First = 150;           // clamped to 100, written back, logged once
    FrameHolder b(4, 2, 1, 128, 128);
    eq.Filter(b.f);
    EXPECT_EQ(b.Y(0, 0), 255);
    EXPECT_EQ(host.First.load(), 100);
    FrameHolder c(4, 2, 1, 128, 128);
    eq.Filter(c.f);
    int clampLines = 0;
    for (const auto& l : log.lines) clampLines += l == "Invalid brightness value 150, force to 100";
    EXPECT_EQ(clampLines, 1);
}

TEST_F(FrameFilters, TextValuesAndTheirErrors) {
    LogLines log;
    TEqualizerFilter eq(TEqualizerFilter::Kind::Eq);
    ASSERT_TRUE(eq.Init(" 0 : 1 "));  // contrast 1 alone runs the pass
    FrameHolder fr(4, 2, 100, 128, 128);
    eq.Filter(fr.f);
    EXPECT_EQ(fr.Y(0, 0), 98);

    TEqualizerFilter hue(TEqualizerFilter::Kind::Hue);
    ASSERT_TRUE(hue.Init("300:"));  // clamped and logged
    EXPECT_FALSE(hue.Init("10:abc"));
    EXPECT_FALSE(hue.Init("1:2:140733193388032"));  // no addresses in filter text
    bool parseErr = false, clamp = false;
    for (const auto& l : log.lines) {
        parseErr |= l.rfind("failed to parsing parameters: ", 0) == 0 && l.find("abc") != std::string::npos;
        clamp |= l == "Invalid hue value 300, force to 100";
    }
    EXPECT_TRUE(parseErr);
    EXPECT_TRUE(clamp);

    FrameHolder rgb(4, 2, 0, 0, 0, AV_PIX_FMT_YUV420P);
    rgb.f->format = AV_PIX_FMT_RGB24;
    EXPECT_FALSE(eq.Filter(rgb.f));
}

TEST_F(FrameFilters, RotateSizesAndPixels) {
    // A 6 x 4 picture whose luma is 10 * row + column.
    FrameHolder in(6, 4, 0, 128, 128);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) in.f->data[0][r * in.f->linesize[0] + c] = uint8_t(10 * r + c);
    in.f->pts = 1234;
    in.f->sample_aspect_ratio = AVRational{4, 3};

    TRotateFilter rot;
    ASSERT_TRUE(rot.Init(""));
    EXPECT_EQ(rot.Angle(), 45);
    EXPECT_FALSE(rot.Init("ninety"));

    ASSERT_TRUE(rot.Init("0"));
    AVFrame* same = rot.Filter(in.f);
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(same->width, 6);
    EXPECT_EQ(same->height, 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c) EXPECT_EQ(same->data[0][r * same->linesize[0] + c], 10 * r + c);
    EXPECT_EQ(same->pts, 1234);
    ff::av_frame_free(&same);

    ASSERT_TRUE(rot.Init("90"));
    AVFrame* turned = rot.Filter(in.f);
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->width, 4);
    EXPECT_EQ(turned->height, 6);
    EXPECT_EQ(turned->sample_aspect_ratio.num, 3);
    EXPECT_EQ(turned->sample_aspect_ratio.den, 4);
    // Output (row i, column j) shows input column i of row 4 - j; column 0
    // lies outside the input and gets the fill value.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(turned->data[0][i * turned->linesize[0]], 16) << i;
        for (int j = 1; j < 4; ++j) EXPECT_EQ(turned->data[0][i * turned->linesize[0] + j], 10 * (4 - j) + i) << i << "," << j;
    }
    EXPECT_EQ(turned->data[1][0], 128);
    ff::av_frame_free(&turned);

    int w = 0, h = 0;
    rot.Init("45");
    rot.OutputSize(100, 100, w, h);
    EXPECT_EQ(w, 141);
    EXPECT_EQ(h, 141);
}
