#pragma once
// The option contexts a player hands to FFmpeg when it opens streams. No
// option is set by name in this program, so they carry FFmpeg's defaults.
#include "video/engine/ff_headers.h"

namespace vel::video {

struct TFFOptions {
    AVCodecContext* avcodec_opts[AVMEDIA_TYPE_NB] = {};  // video, audio, data, subtitle, attachment
    AVFormatContext* avformat_opts = nullptr;
    SwsContext* sws_opts = nullptr;
    AVDictionary* format_opts = nullptr;
    AVDictionary* video_opts = nullptr;
    AVDictionary* audio_opts = nullptr;
    AVDictionary* sub_opts = nullptr;
};

// Frees what the record holds, then makes the contexts again (needs the
// codec libraries bound). False when a context can't be made.
bool InitOptions(TFFOptions& opts, int swsFlags);
void FreeOptions(TFFOptions& opts);

} // namespace vel::video
