#include "video/engine/ff_options.h"
#include "video/engine/ff_loader.h"

namespace vel::video {

bool InitOptions(TFFOptions& opts, int swsFlags) {
    FreeOptions(opts);
    bool ok = true;
    for (int t = 0; t < AVMEDIA_TYPE_NB; ++t) {
        opts.avcodec_opts[t] = ff::avcodec_alloc_context3(nullptr);
        if (opts.avcodec_opts[t])
            opts.avcodec_opts[t]->codec_type = AVMediaType(t);
        else
            ok = false;
    }
    opts.avformat_opts = ff::avformat_alloc_context();
    opts.sws_opts = ff::sws_getContext(16, 16, AVPixelFormat(0), 16, 16, AVPixelFormat(0), swsFlags, nullptr,
                                       nullptr, nullptr);
    return ok && opts.avformat_opts && opts.sws_opts;
}

void FreeOptions(TFFOptions& opts) {
    for (AVCodecContext*& c : opts.avcodec_opts)
        if (c) ff::avcodec_free_context(&c);
    if (opts.avformat_opts) {
        ff::avformat_free_context(opts.avformat_opts);
        opts.avformat_opts = nullptr;
    }
    if (opts.sws_opts) {
        ff::sws_freeContext(opts.sws_opts);
        opts.sws_opts = nullptr;
    }
    for (AVDictionary** d : {&opts.format_opts, &opts.video_opts, &opts.audio_opts, &opts.sub_opts})
        if (*d) ff::av_dict_free(d);
}

} // namespace vel::video
