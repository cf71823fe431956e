#pragma once
// Converts decoded pictures to packed RGB rows and a bottom-up bitmap of
// 8, 15, 16, 24 or 32 bits per pixel, and back.
#include <QString>
#include <cstdint>
#include <vector>
#include "video/engine/ff_headers.h"

namespace vel::video {

enum class TBMPPixelFormat { pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// A device-independent bitmap: rows padded to 32 bits, stored bottom-up
// (the top row last in memory).
struct TBitmap {
    int Width = 0;
    int Height = 0;
    int BitsPixel = 24;
    int RowLen = 0;
    std::vector<uint8_t> Bits;
    void SetSize(int width, int height);
    uint8_t* ScanLine(int y) { return Bits.data() + size_t(Height - 1 - y) * size_t(RowLen); }
};

struct TDIB {
    int bmType = 0;
    int bmWidth = 0;
    int bmHeight = 0;
    int bmWidthBytes = 0;
    int bmPlanes = 0;
    int bmBitsPixel = 0;
    uint8_t* bmBits = nullptr;
};

struct TPictureRef {
    uint8_t* data[4] = {};
    int linesize[4] = {};
};

class TFormatConverter {
public:
    TFormatConverter();
    ~TFormatConverter();
    TFormatConverter(const TFormatConverter&) = delete;
    TFormatConverter& operator=(const TFormatConverter&) = delete;

    int BitsPixel() const;
    bool SetBitsPixel(int bits);  // "Invalid BitsPixel %d" for other than 8, 15, 16, 24, 32
    TBMPPixelFormat BMPPixFmt() const { return fmt_; }
    bool SetBMPPixFmt(int fmt);   // "Invalid PixelFormat %d" outside the five
    AVPixelFormat RGBPixFmt() const;

    bool PictureToRGB(const uint8_t* const data[], const int linesize[], AVPixelFormat pixFmt, bool toBitmap,
                      int height, int width);
    bool RGBToBitmap();
    bool BitmapToRGB();
    bool RGBToPicture(uint8_t* const data[], const int linesize[], AVPixelFormat pixFmt, int height, int width);

    TBitmap& Bitmap() { return bitmap_; }
    const TDIB& DIB() const { return dib_; }
    const TPictureRef& RGBPicture() const { return rgbPicture_; }
    // The rows of the current RGB image (the owned picture or the caller's),
    // null when there is none.
    const TPictureRef* RGBPictureRef() const { return hasRef_ ? &rgbRef_ : nullptr; }
    int RGBBufferSize() const { return bufferSize_; }  // bytes of the owned RGB buffer
    const QString& LastErrMsg() const { return lastErr_; }

private:
    void ClearPictures();
    TBMPPixelFormat fmt_ = TBMPPixelFormat::pf24bit;
    TBitmap bitmap_;
    TDIB dib_;
    uint8_t* buffer_ = nullptr;
    int bufferSize_ = 0;
    TPictureRef rgbPicture_;
    TPictureRef rgbRef_;
    bool hasRef_ = false;
    SwsContext* toRGB_ = nullptr;
    SwsContext* fromRGB_ = nullptr;
    QString lastErr_;
};

} // namespace vel::video
