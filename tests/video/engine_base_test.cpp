#include <gtest/gtest.h>
#include <cstring>
#include <vector>
#include "video/engine/av_errors.h"
#include "video/engine/base_component.h"
#include "video/engine/ff_logger.h"
#include "video/engine/ff_options.h"
#include "video/engine/format_converter.h"
#include "video_fixtures.h"
#include "video_support.h"

using namespace vel::video;

TEST(EngineErrors, KnownAndUnknownCodes) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {AVERROR(ENOENT), "No such file or directory"},
        {AVERROR_EOF, "End of file"},
        {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
        {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
        {AVERROR_EXIT, "Immediate exit requested"},
        {AVERROR(ETIMEDOUT), "Connection timed out"},
        {-22, "Invalid argument / Invalid data found when processing input"},
        {-10035, "WSAEWOULDBLOCK"},
        {-11004, "WSANO_DATA"},
        {-9999, "Error number -9999 occurred"},
        {0, "Error number 0 occurred"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AVErrorToText("a.mp4", c.code).toStdString(), std::string("a.mp4: ") + c.text) << c.code;
}

TEST(EngineBase, ComponentsAndTheSingleLogger) {
    TFFBaseComponent c;
    EXPECT_EQ(c.Version, "4.1b");
    EXPECT_TRUE(c.About.isEmpty());

    TFFLogger* autoLogger = &FFLogger();
    {
        TFFLogger own;  // takes the auto-created logger's place
        EXPECT_EQ(&FFLogger(), &own);
        EXPECT_THROW(TFFLogger second, std::logic_error);
        EXPECT_EQ(&FFLogger(), &own);
    }
    (void)autoLogger;
    EXPECT_NE(&FFLogger(), nullptr);  // a new one on first use again
}

TEST(EngineBase, OptionContextsCarryDefaults) {
    ASSERT_TRUE(vel::test::LoadSystemCodecs());
    TFFOptions opts;
    ASSERT_TRUE(InitOptions(opts, SWS_BICUBIC));
    for (int t = 0; t < AVMEDIA_TYPE_NB; ++t) {
        ASSERT_NE(opts.avcodec_opts[t], nullptr);
        EXPECT_EQ(opts.avcodec_opts[t]->codec_type, AVMediaType(t));
    }
    EXPECT_NE(opts.avformat_opts, nullptr);
    EXPECT_NE(opts.sws_opts, nullptr);
    ASSERT_TRUE(InitOptions(opts, SWS_BICUBIC));  // again: the old ones are freed first
    FreeOptions(opts);
    EXPECT_EQ(opts.avformat_opts, nullptr);
    EXPECT_EQ(opts.sws_opts, nullptr);
    EXPECT_EQ(opts.avcodec_opts[0], nullptr);
}

namespace {

// A YUV 4:2:0 picture of flat grey chroma whose luma is 16 (black) or 235
// (white) by quadrant: top-left and bottom-right black.
struct YuvPicture {
    int w, h;
    std::vector<uint8_t> y, u, v;
    uint8_t* data[4];
    int linesize[4];
    YuvPicture(int width, int height) : w(width), h(height), y(size_t(w * h)), u(size_t(w * h / 4), 128), v(u) {
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) y[size_t(r * w + c)] = Black(r, c) ? 16 : 235;
        data[0] = y.data();
        data[1] = u.data();
        data[2] = v.data();
        data[3] = nullptr;
        linesize[0] = w;
        linesize[1] = linesize[2] = w / 2;
        linesize[3] = 0;
    }
    bool Black(int r, int c) const { return (r < h / 2) == (c < w / 2); }
};

} // namespace

TEST(PictureConverter, YuvToBottomUpBitmapExactPixels) {
    ASSERT_TRUE(vel::test::LoadSystemCodecs());
    YuvPicture pic(16, 8);
    for (int bits : {24, 32}) {
        TFormatConverter conv;
        ASSERT_TRUE(conv.SetBitsPixel(bits));
        ASSERT_TRUE(conv.PictureToRGB(pic.data, pic.linesize, AV_PIX_FMT_YUV420P, true, pic.h, pic.w))
            << conv.LastErrMsg().toStdString();
        const TBitmap& bmp = conv.Bitmap();
        ASSERT_EQ(bmp.Width, 16);
        ASSERT_EQ(bmp.Height, 8);
        EXPECT_EQ(bmp.RowLen, 16 * bits / 8);
        EXPECT_EQ(conv.DIB().bmBitsPixel, bits);
        EXPECT_EQ(conv.DIB().bmWidthBytes, bmp.RowLen);
        const int bpp = bits / 8;
        for (int r = 0; r < pic.h; ++r)
            for (int c = 0; c < pic.w; ++c) {
                // The top row is the last in memory.
                const uint8_t* px = bmp.Bits.data() + size_t(pic.h - 1 - r) * bmp.RowLen + size_t(c * bpp);
                const int want = pic.Black(r, c) ? 0 : 255;
                ASSERT_EQ(px[0], want) << bits << " " << r << "," << c;
                ASSERT_EQ(px[1], want);
                ASSERT_EQ(px[2], want);
                if (bits == 32) {
                    ASSERT_EQ(px[3], 255);
                }
            }
        // And back to YUV, within the rounding of the RGB step.
        YuvPicture back(16, 8);
        std::fill(back.y.begin(), back.y.end(), 0);
        ASSERT_TRUE(conv.RGBToPicture(back.data, back.linesize, AV_PIX_FMT_YUV420P, 8, 16));
        for (size_t i = 0; i < pic.y.size(); ++i) ASSERT_NEAR(back.y[i], pic.y[i], 1) << i;
        for (size_t i = 0; i < pic.u.size(); ++i) ASSERT_NEAR(back.u[i], 128, 1) << i;
    }
}

TEST(PictureConverter, OwnRowsUsedOnlyWhenAlreadyBitmapShaped) {
    ASSERT_TRUE(vel::test::LoadSystemCodecs());
    // BGR24, 4 x 2: rows of 12 bytes are already padded to 32 bits.
    std::vector<uint8_t> rows(24);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = uint8_t(i * 10);
    uint8_t* data[4] = {rows.data(), nullptr, nullptr, nullptr};
    int linesize[4] = {12, 0, 0, 0};
    TFormatConverter conv;
    ASSERT_TRUE(conv.PictureToRGB(data, linesize, AV_PIX_FMT_BGR24, true, 2, 4));
    ASSERT_NE(conv.RGBPictureRef(), nullptr);
    EXPECT_EQ(conv.RGBPictureRef()->data[0], rows.data());
    EXPECT_EQ(std::memcmp(conv.Bitmap().ScanLine(0), rows.data(), 12), 0);
    EXPECT_EQ(std::memcmp(conv.Bitmap().ScanLine(1), rows.data() + 12, 12), 0);

    // Odd width: always scaled into the converter's own rows, same pixels.
    linesize[0] = 9;
    ASSERT_TRUE(conv.PictureToRGB(data, linesize, AV_PIX_FMT_BGR24, true, 2, 3));
    EXPECT_NE(conv.RGBPictureRef()->data[0], rows.data());
    EXPECT_EQ(conv.Bitmap().RowLen, 12);
    EXPECT_EQ(std::memcmp(conv.Bitmap().ScanLine(0), rows.data(), 9), 0);
    EXPECT_EQ(std::memcmp(conv.Bitmap().ScanLine(1), rows.data() + 9, 9), 0);
}

TEST(PictureConverter, PixelFormatChoices) {
    TFormatConverter conv;
    EXPECT_EQ(conv.BitsPixel(), 24);
    EXPECT_EQ(conv.RGBPixFmt(), AV_PIX_FMT_BGR24);
    const struct {
        int bits;
        TBMPPixelFormat fmt;
        AVPixelFormat av;
    } cases[] = {{8, TBMPPixelFormat::pf8bit, AV_PIX_FMT_BGR8},
                 {15, TBMPPixelFormat::pf15bit, AV_PIX_FMT_BGR555LE},
                 {16, TBMPPixelFormat::pf15bit, AV_PIX_FMT_BGR555LE},  // 15-bit reads 16: no change
                 {32, TBMPPixelFormat::pf32bit, AV_PIX_FMT_BGRA},
                 {16, TBMPPixelFormat::pf16bit, AV_PIX_FMT_BGR565LE}};
    for (const auto& c : cases) {
        EXPECT_TRUE(conv.SetBitsPixel(c.bits));
        EXPECT_EQ(conv.BMPPixFmt(), c.fmt) << c.bits;
        EXPECT_EQ(conv.RGBPixFmt(), c.av) << c.bits;
    }
    EXPECT_FALSE(conv.SetBitsPixel(12));
    EXPECT_EQ(conv.LastErrMsg(), "Invalid BitsPixel 12");
    EXPECT_FALSE(conv.SetBMPPixFmt(7));
    EXPECT_EQ(conv.LastErrMsg(), "Invalid PixelFormat 7");
    EXPECT_EQ(conv.BMPPixFmt(), TBMPPixelFormat::pf16bit);
    EXPECT_FALSE(conv.RGBToBitmap());  // no picture yet
}

// For widths the scaler writes past (330, 332, 334 and more), the converter's
// own rows hold everything it writes.
TEST(PictureConverter, OwnRowsHoldAllTheScalerWrites) {
    ASSERT_TRUE(vel::test::LoadSystemCodecs());
    for (int bits : {8, 16, 24, 32}) {
        for (int height : {198, 199})
            for (int width = 328; width <= 336; ++width) {
                AVFrame* src = ff::av_frame_alloc();
                src->format = AV_PIX_FMT_YUV420P;
                src->width = width;
                src->height = height;
                ASSERT_GE(ff::av_frame_get_buffer(src, 0), 0);
                TFormatConverter conv;
                ASSERT_TRUE(conv.SetBitsPixel(bits));
                ASSERT_TRUE(conv.PictureToRGB(src->data, src->linesize, AV_PIX_FMT_YUV420P, false, height, width));
                const size_t reach = vel::test::ScalerReach(AV_PIX_FMT_YUV420P, conv.RGBPixFmt(), width, height,
                                                            conv.RGBPicture().linesize[0], SWS_BICUBIC);
                EXPECT_GE(size_t(conv.RGBBufferSize()), reach) << bits << " bits, " << width << "x" << height;
                ff::av_frame_free(&src);
            }
    }
}
