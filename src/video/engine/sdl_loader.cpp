#include "video/engine/sdl_loader.h"
#include <dlfcn.h>
#include <cstdlib>
#include <mutex>
#include <string>
#include <QStringList>
#include "video/engine/ff_loader.h"

namespace vel::video {

namespace {

// The full paths some loader holds now.
std::mutex& LoadedSDLFilesLock() {
    static std::mutex m;
    return m;
}
QStringList& LoadedSDLFiles() {
    static QStringList files;
    return files;
}

} // namespace

TSDLLoader::~TSDLLoader() { Unload(); }

bool TSDLLoader::Load(const QString& path, const QString& file) {
    QString folder = path;
    while (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    const QString full = folder + QLatin1Char('/') + file;
    if (Loaded() && fullPath_ == full) return true;

    std::lock_guard<std::mutex> lock(LoadedSDLFilesLock());
    if (LoadedSDLFiles().contains(full, Qt::CaseInsensitive)) {
        lastErr_ = QString::asprintf("%s alreay loaded in another instance.", full.toLocal8Bit().constData());
        return false;
    }
    UnloadLocked();
    QString err;
    handle_ = LoadLibraryFrom(folder, file, err);
    if (!handle_) {
        lastErr_ = QString::asprintf("Load library %s error: %s", full.toLocal8Bit().constData(),
                                     err.toLocal8Bit().constData());
        return false;
    }
#define VEL_SDL_BIND(name)                                                                  \
    if (!BindProc(file, handle_, #name, false, reinterpret_cast<void**>(&name), err)) {     \
        lastErr_ = err;                                                                     \
        UnloadLocked();                                                                     \
        return false;                                                                       \
    }
    VEL_SDL_ENTRIES(VEL_SDL_BIND)
#undef VEL_SDL_BIND
    bound_ = true;
    fullPath_ = full;
    LoadedSDLFiles().append(full);
    return true;
}

void TSDLLoader::Unload() {
    std::lock_guard<std::mutex> lock(LoadedSDLFilesLock());
    UnloadLocked();
}

void TSDLLoader::UnloadLocked() {
#define VEL_SDL_CLEAR(name) name = nullptr;
    VEL_SDL_ENTRIES(VEL_SDL_CLEAR)
#undef VEL_SDL_CLEAR
    bound_ = false;
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
    if (!fullPath_.isEmpty()) {
        LoadedSDLFiles().removeOne(fullPath_);
        fullPath_.clear();
    }
}

int TSDLLoader::Putenv(const char* assignment) {
    const std::string s(assignment ? assignment : "");
    const auto eq = s.find('=');
    if (eq == std::string::npos || eq == 0) return -1;
    return setenv(s.substr(0, eq).c_str(), s.substr(eq + 1).c_str(), 1);
}

} // namespace vel::video
