#include "video/engine/player.h"
#include <chrono>
#include <thread>
#include "video/engine/ff_loader.h"
#include "video/engine/ff_logger.h"
#include "video/engine/file_protocol.h"
#include "video/engine/player_state.h"
#include "video/engine/thread_helpers.h"

namespace vel::video {

using play::PlayLoop;
using play::ReadThread;
using play::VideoThread;

// ---- the event ring: positions and states, coalesced, raised on the main thread ----

struct TFFPlayer::EventRing {
    struct Event {
        int kind;  // 1 position, 2 state
        int64_t value;
    };
    std::mutex mutex;
    Event events[10]{};
    int header = 0, tailer = 0;
    bool drainPosted = false;
    TFFPlayer* owner = nullptr;  // cleared when the player goes

    void Push(Event e, const std::shared_ptr<EventRing>& self) {
        bool post = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const int newest = (tailer + 9) % 10;
            if (header == tailer || events[newest].kind != e.kind) {
                events[tailer] = e;
                tailer = (tailer + 1) % 10;
                if (tailer == header) header = (header + 1) % 10;  // the oldest is dropped
            } else {
                events[newest] = e;  // the same kind as the newest: coalesced
            }
            if (!drainPosted) post = drainPosted = true;
        }
        if (post) PostToMainThread([self] { self->Drain(); });
    }

    void Drain() {
        for (;;) {
            Event e;
            TFFPlayer* p;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (header == tailer || !owner) {
                    drainPosted = false;
                    return;
                }
                e = events[header];
                header = (header + 1) % 10;
                p = owner;
            }
            if (e.kind == 1 && p->OnPosition) p->OnPosition(p, e.value);
            if (e.kind == 2 && p->OnState) p->OnState(p, TPlayState(e.value));
        }
    }
};

TFFPlayer::TFFPlayer() : events_(std::make_shared<EventRing>()) { events_->owner = this; }

TFFPlayer::~TFFPlayer() {
    {
        // No event reaches the host from a player being destroyed.
        std::lock_guard<std::mutex> lock(events_->mutex);
        events_->owner = nullptr;
    }
    Stop(true);
    if (FFLoader().Loaded(PlayerLibraries)) FreeOptions(options_);
}

void TFFPlayer::SetLastErrMsg(const QString& msg) {
    lastErr_ = msg;
    FFLogger().Log(this, TLogLevel::llError, msg);
}

void TFFPlayer::PostState(TPlayState s) {
    state_.store(s);
    events_->Push({2, int64_t(s)}, events_);
}

void TFFPlayer::PushPosition(int64_t pos) { events_->Push({1, pos}, events_); }

void TFFPlayer::DrainEvents() { events_->Drain(); }

bool TFFPlayer::LoadAVLib(const QString& path, bool autoLoadSDL) {
    FFLoader().SetLibraryPath(path);
    if (!FFLoader().Load(PlayerLibraries)) {
        lastErr_ = FFLoader().LastErrMsg();
        return false;
    }
    InitOptions(options_, SwsFlags);
    if (autoLoadSDL && !sdl_.Load(path, QStringLiteral("libSDL-1.2.so.0"))) {
        lastErr_ = sdl_.LastErrMsg();
        return false;
    }
    return true;
}

bool TFFPlayer::AVLibLoaded() const { return FFLoader().Loaded(PlayerLibraries) && sdl_.Loaded(); }

bool TFFPlayer::IsOpen() const { return vs_ != nullptr && !vs_->abort; }

int64_t TFFPlayer::Duration() const { return vs_ ? vs_->duration : 0; }
int TFFPlayer::FrameWidth() const { return vs_ && vs_->videoStream >= 0 ? vs_->width : -1; }
int TFFPlayer::FrameHeight() const { return vs_ && vs_->videoStream >= 0 ? vs_->height : -1; }
bool TFFPlayer::HasAudioOutput() const { return vs_ && vs_->audioOpen; }

bool TFFPlayer::Open(const QString& fileName, TPictureSink surface, bool paused) {
    if (!FFLoader().Loaded(PlayerLibraries)) {
        SetLastErrMsg(QStringLiteral("libav not loaded."));
        return false;
    }
    if (!sdl_.Loaded()) {
        SetLastErrMsg(QStringLiteral("sdl not loaded."));
        return false;
    }
    Stop(true);
    stepping_ = false;
    vs_ = std::make_unique<TVideoState>();
    TVideoState* vs = vs_.get();
    vs->player = this;
    vs->sdl = &sdl_;
    vs->fileName = fileName;
    vs->sink = std::move(surface);
    vs->paused = paused;
    vs->openPaused = paused;
    vs->showPending = paused;

    // Pictures go to the host's surface, never to an SDL window.
    sdl_.Putenv("SDL_VIDEODRIVER=dummy");
    static const char* const drivers[] = {nullptr, "SDL_AUDIODRIVER=dummy", "SDL_AUDIODRIVER=alsa",
                                          "SDL_AUDIODRIVER=pulse"};
    if (drivers[int(AudioDriver)]) sdl_.Putenv(drivers[int(AudioDriver)]);
    vs->sdlInited = sdl_.SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) == 0;
    if (vs->sdlInited)
        FFLogger().Log(this, TLogLevel::llDebug, "using audio driver: %s", sdl_.SDL_AudioDriverName(nullptr, 0) ?: "");
    else
        FFLogger().Log(this, TLogLevel::llWarning, "Could not initialize SDL audio: %s", sdl_.SDL_GetError());

    vs->readThread = std::thread(ReadThread, vs);
    // Waits for the read thread's answer; the main thread keeps handling its
    // events meanwhile, so a Stop can cancel an open that blocks.
    const bool main = IsMainThread();
    const double started = WallTime();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(vs->openMutex);
            if (vs->openCond.wait_for(lock, std::chrono::milliseconds(main ? 20 : 100),
                                      [&] { return vs->opened != 0; }))
                break;
        }
        if (main) ProcessPendingMessages();
        if (!vs->abort && (WallTime() - started) * 1000 > ReadTimeout) {
            vs->timedOut = true;
            vs->abort = true;
        }
    }
    if (vs->opened < 0 && vs->abort) {
        vs->openError = vs->timedOut ? QStringLiteral("connecting/reading timeout")
                                     : QStringLiteral("connecting/reading canceled");
        FFLogger().Log(this, TLogLevel::llInfo, vs->openError);
    }
    if (vs->opened < 0) {
        SetLastErrMsg(vs->openError);
        DoExit();
        state_.store(TPlayState::psStop);
        return false;
    }
    decoder_.SetFileHandle(vs->ic);
    if (OnFileOpen) {
        int sw = 0, sh = 0;
        OnFileOpen(this, vs->duration, FrameWidth(), FrameHeight(), sw, sh);
    }
    if (vs->videoStream >= 0) vs->videoThread = std::thread(VideoThread, vs);
    if (vs->audioOpen) sdl_.SDL_PauseAudio(paused ? 1 : 0);
    if (paused) vs->audclk.SetPaused(true, WallTime());
    PostState(TPlayState::psPlay);
    vs->playThread = std::thread([vs] { PlayLoop(vs); });
    return true;
}

void TFFPlayer::DoExit() {
    TVideoState* vs = vs_.get();
    if (!vs) return;
    std::call_once(vs->exitOnce, [&] {
        vs->abort = true;
        vs->videoq.Abort();
        vs->audioq.Abort();
        if (vs->subs) vs->subs->Abort();
        {
            std::lock_guard<std::mutex> lock(vs->pictMutex);
            vs->pictCond.notify_all();
        }
        {
            std::lock_guard<std::mutex> lock(vs->stateMutex);
            vs->stateCond.notify_all();
        }
        for (std::thread* t : {&vs->playThread, &vs->readThread, &vs->videoThread})
            if (t->joinable()) t->join();
        if (vs->audioOpen) sdl_.SDL_CloseAudio();
        if (vs->sdlInited) sdl_.SDL_Quit();
        decoder_.SetFileHandle(nullptr);
        vs->subs.reset();
        for (auto& pic : vs->pictq) ff::av_frame_free(&pic.frame);
        vs->pictq.clear();
        vs->videoq.Flush();
        vs->audioq.Flush();
        if (vs->graph) ff::avfilter_graph_free(&vs->graph);
        if (vs->vdec) ff::avcodec_free_context(&vs->vdec);
        if (vs->adec) ff::avcodec_free_context(&vs->adec);
        if (vs->swr) ff::swr_free(&vs->swr);
        ff::av_channel_layout_uninit(&vs->swrInLayout);
        if (vs->aframe) ff::av_frame_free(&vs->aframe);
        if (vs->apkt) ff::av_packet_free(&vs->apkt);
        CloseInputFile(&vs->ic);
    });
}

void TFFPlayer::Stop(bool waitForStop) {
    if (!vs_) return;
    bool opening;
    {
        std::lock_guard<std::mutex> lock(vs_->openMutex);
        opening = vs_->opened == 0;
    }
    if (opening) {
        // An Open further up this stack is waiting: it gives up and cleans up.
        vs_->abort = true;
        return;
    }
    vs_->abort = true;
    vs_->videoq.Abort();
    vs_->audioq.Abort();
    if (vs_->subs) vs_->subs->Abort();
    {
        std::lock_guard<std::mutex> lock(vs_->pictMutex);
        vs_->pictCond.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(vs_->stateMutex);
        vs_->stateCond.notify_all();  // the play thread waiting for its next picture
    }
    if (!waitForStop) return;
    // Every thread is the player's own and none waits on the main thread,
    // so joining them here cannot dead-lock.
    DoExit();
    vs_.reset();
    currentPTS_.store(-1);
    stepping_ = false;
}

void TFFPlayer::SetPaused(bool paused) {
    TVideoState* vs = vs_.get();
    const double now = WallTime();
    stepping_ = false;
    {
        std::lock_guard<std::mutex> lock(vs->stateMutex);
        vs->paused = paused;
        vs->step = false;
        vs->stateCond.notify_all();
    }
    vs->audclk.SetPaused(paused, now);
    vs->vidclk.SetPaused(paused, now);
    if (vs->audioOpen) sdl_.SDL_PauseAudio(paused ? 1 : 0);
}

bool TFFPlayer::Paused() const {
    if (!vs_) return true;
    std::lock_guard<std::mutex> lock(vs_->stateMutex);
    return vs_->paused;
}

void TFFPlayer::Pause() {
    if (!IsOpen() || Paused()) return;
    SetPaused(true);
    PostState(TPlayState::psPause);
}

void TFFPlayer::Resume() {
    if (!IsOpen() || !Paused()) return;
    SetPaused(false);
    PostState(TPlayState::psResume);
}

void TFFPlayer::TogglePause() {
    if (!IsOpen()) return;
    const bool now = !Paused();
    SetPaused(now);
    PostState(now ? TPlayState::psPause : TPlayState::psResume);
}

void TFFPlayer::StepToNextFrame() {
    if (!IsOpen()) return;
    const bool already = stepping_;
    if (!Paused()) SetPaused(true);
    {
        std::lock_guard<std::mutex> lock(vs_->stateMutex);
        vs_->step = true;
        ++vs_->stepGen;
        vs_->stateCond.notify_all();
    }
    // Steps in a row are one stepping: a pause, resume or stop ends it.
    stepping_ = true;
    if (!already) PostState(TPlayState::psStep);
}

void TFFPlayer::Seek(int64_t pts, TSeekFlags flags, bool waitForSeekEnd) {
    if (!IsOpen()) return;
    TVideoState* vs = vs_.get();
    int64_t target = pts;
    if (!(flags & sfByte)) {
        if (vs->duration > 0 && target > vs->duration) target = vs->duration;
        target += vs->startTime;
        if (pts == 0) target -= int64_t(vs->frameDelay * 1e6 / 2);
    }
    {
        std::lock_guard<std::mutex> lock(vs->stateMutex);
        if (vs->seekReq) return;  // one at a time
        vs->seekReq = true;
        vs->seekDone = false;
        vs->seekTarget = target;
        vs->seekFlags = flags;
        vs->stateCond.notify_all();
    }
    if (!waitForSeekEnd) return;
    const bool main = IsMainThread();
    std::unique_lock<std::mutex> lock(vs->stateMutex);
    while (!vs->abort && !(vs->seekDone && !vs->showPending)) {
        vs->stateCond.wait_for(lock, std::chrono::milliseconds(100));
        if (main) {
            lock.unlock();
            ProcessPendingMessages();
            lock.lock();
        }
    }
}

} // namespace vel::video
