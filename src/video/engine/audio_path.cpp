// The audio path: SDL's callback decodes the audio stream, converts it to
// the output's format and volume, and sets the audio clock the pictures
// follow.
#include <algorithm>
#include <cstring>
#include "video/engine/player_state.h"

namespace vel::video::play {

namespace {

// Decodes the next audio frame into abuf as signed 16-bit samples; false
// when no data is waiting.
bool AudioDecodeFrame(TVideoState* vs) {
    for (;;) {
        if (vs->abort) return false;
        int r = ff::avcodec_receive_frame(vs->adec, vs->aframe);
        if (r == 0) {
            AVFrame* f = vs->aframe;
            const AVRational tb = vs->ic->streams[vs->audioStream]->time_base;
            const double pts = f->pts == AV_NOPTS_VALUE ? vs->audioClock : f->pts * av_q2d(tb);
            if (!vs->swr || f->format != vs->swrInFmt || f->sample_rate != vs->swrInRate ||
                ff::av_channel_layout_compare(&f->ch_layout, &vs->swrInLayout) != 0) {
                ff::swr_free(&vs->swr);
                AVChannelLayout outLayout{};
                ff::av_channel_layout_default(&outLayout, vs->outChannels);
                // More than two channels are mixed down by the resampler.
                if (ff::swr_alloc_set_opts2(&vs->swr, &outLayout, AV_SAMPLE_FMT_S16, vs->outRate, &f->ch_layout,
                                            AVSampleFormat(f->format), f->sample_rate, 0, nullptr) < 0 ||
                    ff::swr_init(vs->swr) < 0) {
                    ff::swr_free(&vs->swr);
                    ff::av_frame_unref(f);
                    Log(vs, TLogLevel::llError, QStringLiteral("Cannot create sample rate converter"));
                    return false;
                }
                ff::av_channel_layout_uninit(&vs->swrInLayout);
                ff::av_channel_layout_copy(&vs->swrInLayout, &f->ch_layout);
                vs->swrInFmt = f->format;
                vs->swrInRate = f->sample_rate;
            }
            // Room for a rate correction of up to 10 %.
            const int outSamples =
                int(int64_t(f->nb_samples) * vs->outRate / std::max(1, f->sample_rate) * 110 / 100) + 256;
            vs->abuf.resize(size_t(outSamples) * size_t(vs->outChannels) * 2);
            uint8_t* out[1] = {vs->abuf.data()};
            const int n = ff::swr_convert(vs->swr, out, outSamples, const_cast<const uint8_t**>(f->extended_data),
                                          f->nb_samples);
            const int rate = f->sample_rate, samples = f->nb_samples;
            ff::av_frame_unref(f);
            if (n < 0) continue;
            vs->abuf.resize(size_t(n) * size_t(vs->outChannels) * 2);
            vs->abufIndex = 0;
            vs->audioClock = pts + double(samples) / std::max(1, rate);
            if (vs->audioDisplay)
                vs->audioDisplay->AddSamples(reinterpret_cast<const int16_t*>(vs->abuf.data()), n, vs->outChannels,
                                             vs->outRate, vs->audioClock);
            if (pts < vs->seekMinPts - 0.02) continue;  // before the seek's target
            return true;
        }
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF) return false;
        if (r == AVERROR_EOF) ff::avcodec_flush_buffers(vs->adec);
        bool flush = false;
        if (vs->audioq.Get(vs->apkt, &flush, false) <= 0) return false;
        if (flush) {
            ff::avcodec_flush_buffers(vs->adec);
            vs->audioClock = NAN;
            if (vs->audioDisplay) vs->audioDisplay->Clear();
            continue;
        }
        if (!vs->apkt->data && vs->apkt->size == 0) {
            ff::av_packet_unref(vs->apkt);
            continue;
        }
        ff::avcodec_send_packet(vs->adec, vs->apkt);
        ff::av_packet_unref(vs->apkt);
    }
}

void AudioCallback(void* opaque, Uint8* stream, int len) {
    auto* vs = static_cast<TVideoState*>(opaque);
    if (vs->soundHeld.load()) {
        std::memset(stream, 0, size_t(len));
        return;
    }
    const double now = WallTime();
    const int volume = vs->player->Mute.load() ? 0 : std::clamp(vs->player->AudioVolume.load(), 0, 128);
    while (len > 0) {
        if (vs->abufIndex >= vs->abuf.size()) {
            if (!AudioDecodeFrame(vs)) {
                std::memset(stream, 0, size_t(len));
                break;
            }
        }
        const int n = std::min(len, int(vs->abuf.size() - vs->abufIndex));
        if (volume == 128) {
            std::memcpy(stream, vs->abuf.data() + vs->abufIndex, size_t(n));
        } else {
            std::memset(stream, 0, size_t(n));
            if (volume > 0) vs->sdl->SDL_MixAudio(stream, vs->abuf.data() + vs->abufIndex, Uint32(n), volume);
        }
        len -= n;
        stream += n;
        vs->abufIndex += size_t(n);
    }
    if (!std::isnan(vs->audioClock) && vs->bytesPerSec > 0) {
        // The clock the pictures follow: the sound handed to SDL so far.
        const double handed = vs->audioClock - double(vs->abuf.size() - vs->abufIndex) / vs->bytesPerSec;
        vs->audclk.Set(handed, now);
        // What is heard lags that by the two buffers SDL plays from.
        const double hw = double(vs->hwBufSize) / vs->bytesPerSec;
        if (vs->audioDisplay) vs->audioDisplay->SetHeard(handed - 2 * hw, now, hw);
    }
}

} // namespace

bool OpenAudio(TVideoState* vs) {
    AVCodecContext* a = vs->adec;
    SDL_AudioSpec wanted{}, got{};
    wanted.freq = a->sample_rate > 0 ? a->sample_rate : 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Uint8(std::clamp(a->ch_layout.nb_channels, 1, 2));
    wanted.samples = 1024;
    wanted.callback = &AudioCallback;
    wanted.userdata = vs;
    // Everything the callback touches exists before SDL starts its thread.
    vs->aframe = ff::av_frame_alloc();
    vs->apkt = ff::av_packet_alloc();
    vs->soundHeld = vs->videoStream >= 0;  // until the play thread shows the first picture
    if (!vs->aframe || !vs->apkt || !vs->sdlInited || vs->sdl->SDL_OpenAudio(&wanted, &got) < 0) {
        Log(vs, TLogLevel::llWarning,
            QStringLiteral("SDL_OpenAudio: %1").arg(vs->sdlInited ? QString::fromLocal8Bit(vs->sdl->SDL_GetError())
                                                                  : QStringLiteral("no audio")));
        return false;
    }
    if (got.format != AUDIO_S16SYS || got.channels < 1 || got.channels > 2) {
        vs->sdl->SDL_CloseAudio();
        return false;
    }
    vs->outChannels = got.channels;
    vs->outRate = got.freq;
    vs->bytesPerSec = got.freq * got.channels * 2;
    vs->hwBufSize = int(got.size);
    vs->audioOpen = true;
    return true;
}

} // namespace vel::video::play
