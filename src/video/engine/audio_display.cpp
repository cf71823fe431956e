#include "video/engine/audio_display.h"
#include <algorithm>
#include <cmath>
#include <cstring>

namespace vel::video {

namespace {

constexpr uint32_t kBlack = 0xff000000u, kWhite = 0xffffffffu;

// In-place radix-2 transform; n a power of two.
void Fft(std::vector<std::complex<float>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = -2 * M_PI / double(len);
        const std::complex<float> wl(float(std::cos(ang)), float(std::sin(ang)));
        for (size_t i = 0; i < n; i += len) {
            std::complex<float> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<float> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

} // namespace

TAudioDisplay::TAudioDisplay(Mode mode, int width, int height)
    : mode_(mode), width_(std::max(width, 2)), height_(std::max(height, 2)),
      image_(size_t(width_) * size_t(height_), kBlack) {
    for (auto& r : ring_) r.assign(kRing, 0);
    for (auto& f : fft_) f.resize(kFft);
}

void TAudioDisplay::AddSamples(const int16_t* samples, int frames, int channels, int rate, double endTime) {
    if (frames <= 0 || channels < 1) return;
    std::lock_guard<std::mutex> lock(mutex_);
    channels_ = std::min(channels, 2);
    rate_ = rate;
    endTime_ = endTime;
    for (int i = 0; i < frames; ++i) {
        const size_t at = size_t((written_ + i) % kRing);
        for (int ch = 0; ch < channels_; ++ch) ring_[ch][at] = samples[size_t(i) * size_t(channels) + size_t(ch)];
    }
    written_ += frames;
}

void TAudioDisplay::SetHeard(double t, double now, double period) {
    std::lock_guard<std::mutex> lock(mutex_);
    heard_ = t;
    heardAt_ = now;
    period_ = period;
}

void TAudioDisplay::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    written_ = 0;
    rate_ = 0;
    heard_ = NAN;
    floor_ = -INFINITY;
}

double TAudioDisplay::Heard(double now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::isnan(heard_)) return NAN;
    floor_ = std::max(floor_, heard_ + std::clamp(now - heardAt_, 0.0, period_));
    return floor_;
}

void TAudioDisplay::HeardAtLeast(double t) {
    std::lock_guard<std::mutex> lock(mutex_);
    floor_ = std::max(floor_, t);
}

void TAudioDisplay::Window(int ch, int64_t from, int n, float* out) const {
    for (int i = 0; i < n; ++i) {
        const int64_t s = from + i;
        out[i] = (ch < channels_ && s >= 0 && s >= written_ - kRing && s < written_) ? ring_[ch][size_t(s % kRing)] / 32768.0f
                                                                                       : 0.0f;
    }
}

std::shared_ptr<TVideoPicture> TAudioDisplay::Draw(double t, double now) {
    if (mode_ == None || now - lastDraw_ < 0.02 || t == lastT_) return nullptr;
    lastDraw_ = now;
    lastT_ = t;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // The sample being heard: the ring ends at endTime_.
        const int64_t at = rate_ > 0 ? written_ - int64_t(std::llround((endTime_ - t) * rate_)) : written_;
        if (mode_ == Waveform) DrawWaveform(at);
        else DrawSpectrum(at);
    }
    auto pic = std::make_shared<TVideoPicture>();
    pic->Width = width_;
    pic->Height = height_;
    pic->Stride = width_ * 4;
    pic->AspectRatio = double(width_) / height_;
    pic->Bits.resize(image_.size() * 4);
    std::memcpy(pic->Bits.data(), image_.data(), pic->Bits.size());
    return pic;
}

void TAudioDisplay::DrawWaveform(int64_t centre) {
    // Steadied on a rising zero crossing of the first channel shortly before.
    constexpr int kSearch = 1000;
    std::vector<float> s(size_t(kSearch + width_));
    Window(0, centre - kSearch - width_ / 2, int(s.size()), s.data());
    for (int i = kSearch + width_ / 2; i > width_ / 2; --i) {
        if (s[size_t(i - 1)] < 0 && s[size_t(i)] >= 0) {
            centre -= kSearch + width_ / 2 - i;
            break;
        }
    }
    std::fill(image_.begin(), image_.end(), kBlack);
    const int chans = channels_;
    const int band = height_ / chans;
    for (int ch = 0; ch < chans; ++ch) {
        Window(ch, centre - width_ / 2, width_, s.data());
        const int mid = ch * band + band / 2;
        for (int x = 0; x < width_; ++x) {
            const int y = std::clamp(mid - int(std::lround(s[size_t(x)] * (band / 2 - 1))), ch * band, ch * band + band - 1);
            for (int yy = std::min(y, mid); yy <= std::max(y, mid); ++yy) image_[size_t(yy) * size_t(width_) + size_t(x)] = kWhite;
        }
    }
}

void TAudioDisplay::DrawSpectrum(int64_t end) {
    // One column a picture, low frequencies at the bottom; the first channel
    // in red, the second in green.
    float w[kFft];
    const int chans = channels_;
    for (int ch = 0; ch < chans; ++ch) {
        Window(ch, end - kFft, kFft, w);
        for (int i = 0; i < kFft; ++i) {
            const float hann = 0.5f - 0.5f * float(std::cos(2 * M_PI * i / (kFft - 1)));
            fft_[ch][size_t(i)] = w[i] * hann;
        }
        Fft(fft_[ch]);
    }
    const int bins = kFft / 2;
    for (int y = 0; y < height_; ++y) {
        const size_t bin = size_t(int64_t(y) * bins / height_);
        int level[2];
        for (int ch = 0; ch < 2; ++ch) {
            const float m = std::abs(fft_[std::min(ch, chans - 1)][bin]) / (kFft / 4);
            level[ch] = std::min(255, int(255 * std::sqrt(m)));
        }
        const uint32_t c = kBlack | uint32_t(level[0]) << 16 | uint32_t(level[1]) << 8 | uint32_t((level[0] + level[1]) / 2);
        image_[size_t(height_ - 1 - y) * size_t(width_) + size_t(column_)] = c;
    }
    column_ = (column_ + 1) % width_;
}

} // namespace vel::video
