#pragma once
// The picture of a file that has sound and no pictures: the waveform of the
// sound being heard (mode 1) or a scrolling spectrum of it (mode 2). The
// audio thread hands over every decoded buffer; the play thread asks for a
// picture now and then.
#include <complex>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include "video/engine/player.h"

namespace vel::video {

class TAudioDisplay {
public:
    enum Mode { Waveform = 1, Spectrum = 2 };
    TAudioDisplay(Mode mode, int width, int height);

    // From the audio thread: interleaved signed 16-bit samples just decoded,
    // the last of them at endTime (seconds).
    void AddSamples(const int16_t* samples, int frames, int channels, int rate, double endTime);
    // After a seek: what was kept belongs to another time.
    void Clear();
    // The display for the sound heard at time t (seconds); null when at most
    // every 20 ms of wall time has passed or t has not moved (paused).
    std::shared_ptr<TVideoPicture> Draw(double t, double now);

private:
    static constexpr int kRing = 65536;  // samples a channel kept
    static constexpr int kFft = 512;

    // Samples of channel ch from index `from` (may run past the ring's
    // ends: silence there) into out.
    void Window(int ch, int64_t from, int n, float* out) const;
    void DrawWaveform(int64_t centre);
    void DrawSpectrum(int64_t end);

    const Mode mode_;
    const int width_, height_;
    std::vector<uint32_t> image_;  // BGRA, kept for the scrolling spectrum
    int column_ = 0;
    double lastDraw_ = -1e300, lastT_ = -1e300;
    std::vector<std::complex<float>> fft_[2];

    // Under mutex_: the ring of the last samples.
    mutable std::mutex mutex_;
    std::vector<int16_t> ring_[2];
    int64_t written_ = 0;  // samples a channel written in all
    int channels_ = 1, rate_ = 0;
    double endTime_ = 0;
};

} // namespace vel::video
