#include "video/video_player.h"

namespace vel {

FFVideoPlayer::FFVideoPlayer(video::TPictureSink sink, video::TAudioDriver audio) : sink_(std::move(sink)) {
    player_.AudioDriver = audio;
    player_.EqParams = &Eq;
    player_.HueParams = &Hue;
    player_.OnFileOpen = [this](QObject*, int64_t duration, int, int, int&, int&) {
        if (onFileOpen) onFileOpen(duration);
    };
    player_.OnPosition = [this](QObject*, int64_t pos) {
        if (onPosition) onPosition(pos);
    };
    player_.OnState = [this](QObject*, TPlayState s) {
        if (onState) onState(s);
    };
}

FFVideoPlayer::~FFVideoPlayer() {
    player_.Stop(true);
    player_.OnFileOpen = nullptr;
    player_.OnPosition = nullptr;
    player_.OnState = nullptr;
}

bool FFVideoPlayer::Open(const QString& file, bool paused) {
    // The engine's own filters take the values; no filter-graph text names them.
    player_.VideoFilters.clear();
    return player_.Open(file, sink_, paused);
}

} // namespace vel
