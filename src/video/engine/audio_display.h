#pragma once
// A file that has sound and no pictures: the time being heard, and its
// picture, the waveform of the sound being heard (mode 1) or a scrolling
// spectrum of it (mode 2). The audio thread hands over every decoded buffer
// and the time it hears; the play thread asks for the time and a picture
// now and then.
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include "video/engine/player.h"

namespace vel::video {

class TAudioDisplay {
public:
    enum Mode { None = 0, Waveform = 1, Spectrum = 2 };
    TAudioDisplay(Mode mode, int width, int height);

    // From the audio thread: interleaved signed 16-bit samples just decoded,
    // the last of them at endTime (seconds).
    void AddSamples(const int16_t* samples, int frames, int channels, int rate, double endTime);
    // From the audio thread, after each buffer: the time heard at wall time
    // now; the next buffer is due after period seconds.
    void SetHeard(double t, double now, double period);
    // From the audio thread, at a seek's flush: what was kept belongs to
    // another time, and the time heard is unknown until the next buffer.
    void Clear();
    // The time heard at wall time now (NaN when unknown). It runs on between
    // buffers, at most for one period, and never moves back except across a
    // seek: a late buffer, or the silence after the last, holds it still.
    double Heard(double now);
    // The time heard is at least t from now on (until the next seek).
    void HeardAtLeast(double t);
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
    double heard_ = NAN, heardAt_ = 0, period_ = 0, floor_ = -INFINITY;
};

} // namespace vel::video
