#pragma once
// SDL 1.2 bound at run time, one table of cells per loader. A library file
// is held by at most one loader of the process at a time.
#include <QString>
#include <SDL/SDL.h>

// SDL 1.2's headers name putenv SDL_putenv; it is no entry point of the
// library, Putenv below stands in for it.
#undef SDL_putenv

#define VEL_SDL_ENTRIES(X) \
    X(SDL_Init) X(SDL_Quit) X(SDL_GetError) X(SDL_OpenAudio) X(SDL_PauseAudio) \
    X(SDL_CloseAudio) X(SDL_MixAudio) X(SDL_WaitEvent) X(SDL_PushEvent) X(SDL_EventState) \
    X(SDL_GetVideoInfo) X(SDL_SetVideoMode) X(SDL_UpdateRect) X(SDL_WM_SetCaption) X(SDL_MapRGB) \
    X(SDL_FillRect) X(SDL_CreateYUVOverlay) X(SDL_LockYUVOverlay) X(SDL_UnlockYUVOverlay) \
    X(SDL_DisplayYUVOverlay) X(SDL_FreeYUVOverlay) X(SDL_CreateMutex) X(SDL_mutexP) X(SDL_mutexV) \
    X(SDL_DestroyMutex) X(SDL_CreateCond) X(SDL_DestroyCond) X(SDL_CondSignal) X(SDL_CondWait) \
    X(SDL_CreateThread) X(SDL_WaitThread) X(SDL_AudioDriverName) X(SDL_VideoDriverName)

namespace vel::video {

class TSDLLoader {
public:
    TSDLLoader() = default;
    ~TSDLLoader();
    TSDLLoader(const TSDLLoader&) = delete;
    TSDLLoader& operator=(const TSDLLoader&) = delete;

    // Loads path/file (or file through the system's search when it is not
    // in that folder) and binds every entry point.
    bool Load(const QString& path, const QString& file);
    bool Loaded() const { return handle_ && bound_; }
    void Unload();
    const QString& LastErrMsg() const { return lastErr_; }
    const QString& FullPath() const { return fullPath_; }

    // "NAME=value" into the process environment (SDL_putenv's place).
    int Putenv(const char* assignment);

#define VEL_SDL_CELL(name) decltype(&::name) name = nullptr;
    VEL_SDL_ENTRIES(VEL_SDL_CELL)
#undef VEL_SDL_CELL

private:
    void UnloadLocked();
    void* handle_ = nullptr;
    bool bound_ = false;
    QString fullPath_;
    QString lastErr_;
};

} // namespace vel::video
