#include "video/engine/format_converter.h"
#include <algorithm>
#include <cstring>
#include "video/engine/ff_loader.h"

namespace vel::video {

namespace {

constexpr int kBicubic = SWS_BICUBIC;
// The scaler writes whole vector blocks, past the end of the last row: the
// tail FFmpeg's own pictures carry (av_frame_get_buffer).
constexpr int kPadding = 16 + 64 - 1;

int RowLength(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

} // namespace

void TBitmap::SetSize(int width, int height) {
    Width = std::max(0, width);
    Height = std::max(0, height);
    RowLen = RowLength(Width, BitsPixel);
    Bits.assign(size_t(RowLen) * size_t(Height), 0);
}

TFormatConverter::TFormatConverter() { bitmap_.BitsPixel = BitsPixel(); }

TFormatConverter::~TFormatConverter() {
    if (buffer_ && ff::av_free) ff::av_free(buffer_);
    if (ff::sws_freeContext) {
        ff::sws_freeContext(toRGB_);
        ff::sws_freeContext(fromRGB_);
    }
}

int TFormatConverter::BitsPixel() const {
    switch (fmt_) {
    case TBMPPixelFormat::pf8bit: return 8;
    case TBMPPixelFormat::pf15bit:
    case TBMPPixelFormat::pf16bit: return 16;
    case TBMPPixelFormat::pf24bit: return 24;
    case TBMPPixelFormat::pf32bit: return 32;
    }
    return 24;
}

AVPixelFormat TFormatConverter::RGBPixFmt() const {
    switch (fmt_) {
    case TBMPPixelFormat::pf8bit: return AV_PIX_FMT_BGR8;
    case TBMPPixelFormat::pf15bit: return AV_PIX_FMT_BGR555LE;
    case TBMPPixelFormat::pf16bit: return AV_PIX_FMT_BGR565LE;
    case TBMPPixelFormat::pf24bit: return AV_PIX_FMT_BGR24;
    case TBMPPixelFormat::pf32bit: return AV_PIX_FMT_BGRA;
    }
    return AV_PIX_FMT_BGR24;
}

bool TFormatConverter::SetBitsPixel(int bits) {
    if (bits == BitsPixel()) return true;
    switch (bits) {
    case 8: return SetBMPPixFmt(int(TBMPPixelFormat::pf8bit));
    case 15: return SetBMPPixFmt(int(TBMPPixelFormat::pf15bit));
    case 16: return SetBMPPixFmt(int(TBMPPixelFormat::pf16bit));
    case 24: return SetBMPPixFmt(int(TBMPPixelFormat::pf24bit));
    case 32: return SetBMPPixFmt(int(TBMPPixelFormat::pf32bit));
    }
    lastErr_ = QString::asprintf("Invalid BitsPixel %d", bits);
    return false;
}

bool TFormatConverter::SetBMPPixFmt(int fmt) {
    if (fmt < int(TBMPPixelFormat::pf8bit) || fmt > int(TBMPPixelFormat::pf32bit)) {
        lastErr_ = QString::asprintf("Invalid PixelFormat %d", fmt);
        return false;
    }
    if (TBMPPixelFormat(fmt) == fmt_) return true;
    fmt_ = TBMPPixelFormat(fmt);
    ClearPictures();
    bitmap_.BitsPixel = BitsPixel();
    bitmap_.SetSize(bitmap_.Width, bitmap_.Height);
    return true;
}

void TFormatConverter::ClearPictures() {
    dib_ = TDIB();
    rgbPicture_ = TPictureRef();
    rgbRef_ = TPictureRef();
    hasRef_ = false;
}

bool TFormatConverter::PictureToRGB(const uint8_t* const data[], const int linesize[], AVPixelFormat pixFmt,
                                    bool toBitmap, int height, int width) {
    if (width <= 0 || height <= 0 || !data || !linesize) {
        hasRef_ = false;
        lastErr_ = QStringLiteral("Invalid picture size");
        return false;
    }
    if (bitmap_.Width != width || bitmap_.Height != height) bitmap_.SetSize(width, height);
    const AVPixelFormat rgbFmt = RGBPixFmt();
    const bool convert = !(pixFmt == rgbFmt && width % 2 == 0 && height % 2 == 0 &&
                           linesize[0] == RowLength(width, BitsPixel()));
    if (convert) {
        // Rows padded to 32 bits, the bitmap's own layout.
        const int rows = ff::av_image_get_buffer_size(rgbFmt, width, height, 4);
        const int need = rows + kPadding;
        if (rows <= 0) {
            hasRef_ = false;
            lastErr_ = QStringLiteral("Invalid picture size");
            return false;
        }
        if (!buffer_ || bufferSize_ < need) {
            if (buffer_) ff::av_free(buffer_);
            buffer_ = static_cast<uint8_t*>(ff::av_malloc(size_t(need)));
            bufferSize_ = buffer_ ? need : 0;
            if (!buffer_) {
                hasRef_ = false;
                lastErr_ = QStringLiteral("Out of memory");
                return false;
            }
        }
        ff::av_image_fill_arrays(rgbPicture_.data, rgbPicture_.linesize, buffer_, rgbFmt, width, height, 4);
        toRGB_ = ff::sws_getCachedContext(toRGB_, width, height, pixFmt, width, height, rgbFmt, kBicubic, nullptr,
                                          nullptr, nullptr);
        if (!toRGB_) {
            hasRef_ = false;
            lastErr_ = QStringLiteral("Cannot initialize the toRGB conversion context");
            return false;
        }
        ff::sws_scale(toRGB_, data, linesize, 0, height, rgbPicture_.data, rgbPicture_.linesize);
        rgbRef_ = rgbPicture_;
    } else {
        rgbRef_ = TPictureRef();
        rgbRef_.data[0] = const_cast<uint8_t*>(data[0]);  // packed RGB: one plane
        rgbRef_.linesize[0] = linesize[0];
    }
    hasRef_ = true;
    dib_.bmType = 0;
    dib_.bmWidth = width;
    dib_.bmHeight = height;
    dib_.bmWidthBytes = rgbRef_.linesize[0];
    dib_.bmPlanes = 1;
    dib_.bmBitsPixel = BitsPixel();
    dib_.bmBits = rgbRef_.data[0];
    return toBitmap ? RGBToBitmap() : true;
}

bool TFormatConverter::RGBToBitmap() {
    if (!hasRef_) return false;
    const int n = std::min(rgbRef_.linesize[0], bitmap_.RowLen);
    for (int y = 0; y < bitmap_.Height; ++y)
        std::memcpy(bitmap_.ScanLine(y), rgbRef_.data[0] + size_t(y) * size_t(rgbRef_.linesize[0]), size_t(n));
    return true;
}

bool TFormatConverter::BitmapToRGB() {
    if (!hasRef_) return false;
    const int n = std::min(rgbRef_.linesize[0], bitmap_.RowLen);
    for (int y = 0; y < bitmap_.Height; ++y)
        std::memcpy(rgbRef_.data[0] + size_t(y) * size_t(rgbRef_.linesize[0]), bitmap_.ScanLine(y), size_t(n));
    return true;
}

bool TFormatConverter::RGBToPicture(uint8_t* const data[], const int linesize[], AVPixelFormat pixFmt, int height,
                                    int width) {
    if (!hasRef_) return false;
    if (width <= 0 || height <= 0 || width > dib_.bmWidth || height > dib_.bmHeight) {
        lastErr_ = QStringLiteral("Invalid picture size");
        return false;
    }
    fromRGB_ = ff::sws_getCachedContext(fromRGB_, width, height, RGBPixFmt(), width, height, pixFmt, kBicubic,
                                        nullptr, nullptr, nullptr);
    if (!fromRGB_) {
        lastErr_ = QStringLiteral("Cannot initialize the fromRGB conversion context");
        return false;
    }
    const uint8_t* const src[4] = {rgbRef_.data[0], nullptr, nullptr, nullptr};
    const int srcStride[4] = {rgbRef_.linesize[0], 0, 0, 0};
    ff::sws_scale(fromRGB_, src, srcStride, 0, height, data, linesize);
    return true;
}

} // namespace vel::video
