#pragma once
// The engine's own picture filters, run on each frame the filter graph's
// sink gives: brightness and contrast of the luma ("nativeeq"), hue and
// saturation of the chroma ("nativehue"), and turning by whole degrees
// ("rotate"). FFmpeg's graph never sees them.
#include <QString>
#include <atomic>
#include "video/engine/ff_headers.h"

namespace vel::video {

// Two values in -100..100 shared with the host, read again for every frame,
// so a change takes effect from the next frame without rebuilding anything.
struct TPictureParams {
    std::atomic<int> First{0};   // brightness, or hue
    std::atomic<int> Second{0};  // contrast, or saturation
};

// Planar YUV formats the filters accept.
bool FilterAcceptsFormat(int pixFmt);

// Integer arithmetic of the two equalizers, on one plane.
void EqLuma(uint8_t* rows, int rowLen, int width, int height, int contrast, int brightness);
void HueChroma(uint8_t* u, int uRowLen, uint8_t* v, int vRowLen, int saturation, int hue, int rows, int width);

class TEqualizerFilter {
public:
    enum class Kind { Eq, Hue };
    // With host values the filter reads them; otherwise its own, set by Init.
    explicit TEqualizerFilter(Kind kind, TPictureParams* host = nullptr);

    // "first:second" (each optional); a token that is no integer fails with
    // "failed to parsing parameters: %s\n". Out-of-range values are clamped
    // (also the host's) and logged.
    bool Init(const QString& args);
    // Changes the frame in place; false when the format is not accepted.
    bool Filter(AVFrame* frame);

private:
    void Clamp(std::atomic<int>& cell, int& value, const char* name);
    void LogValues();
    Kind kind_;
    TPictureParams own_;
    TPictureParams* params_;
    int last1_ = 0;
    int last2_ = 0;
    bool process_ = false;
};

class TRotateFilter {
public:
    // An angle in degrees (default 45); false when the text is no integer.
    bool Init(const QString& args);
    int Angle() const { return angle_; }
    // The output size for an input size.
    void OutputSize(int w, int h, int& outW, int& outH) const;
    // A new frame holding the turned picture (null on failure or a format
    // not accepted); the caller frees it.
    AVFrame* Filter(const AVFrame* in) const;

private:
    int angle_ = 45;
};

} // namespace vel::video
