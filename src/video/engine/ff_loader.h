#pragma once
// Run-time loading of the codec libraries and the C library, and the cells
// their entry points are bound into. Nothing here links FFmpeg: every call
// goes through a cell that is empty while its library is not bound.
#include <QString>
#include <array>
#include <cstdint>
#include <initializer_list>
#include "video/engine/ff_entries.h"
#include "video/engine/ff_headers.h"

namespace vel::video {

// In the order a set is loaded: each library after the ones it needs, so
// that a library taken from the "LibAV" folder finds its companions there.
enum class TLibrary { avUtil, swResample, swScale, avCodec, avFormat, avFilter, avDevice, myUtil };
constexpr int LibraryCount = 8;

class TLibraries {
public:
    constexpr TLibraries() = default;
    constexpr TLibraries(std::initializer_list<TLibrary> libs) {
        for (TLibrary l : libs) bits_ |= 1u << int(l);
    }
    constexpr bool Contains(TLibrary l) const { return bits_ & (1u << int(l)); }
    constexpr bool Empty() const { return bits_ == 0; }

private:
    unsigned bits_ = 0;
};

struct TLibraryItem {
    TLibrary Lib;
    const char* Name;  // base name, "avcodec"
    bool SysLib;       // loaded by bare name through the normal search only
    int Version;       // soname major, negative: the name is taken as it is
};

// The library's file name: "lib" + name + ".so." + major (the C library is
// "libc.so.6").
QString LibraryFileName(TLibrary lib);
const TLibraryItem& LibraryItem(TLibrary lib);

// The player's set, the frame decoder's set and the set unloaded at the end.
constexpr TLibraries PlayerLibraries{TLibrary::avUtil, TLibrary::swResample, TLibrary::swScale,
                                     TLibrary::avCodec, TLibrary::avFormat, TLibrary::avFilter,
                                     TLibrary::avDevice, TLibrary::myUtil};
constexpr TLibraries DecoderLibraries{TLibrary::avUtil, TLibrary::swResample, TLibrary::swScale,
                                      TLibrary::avCodec, TLibrary::avFormat, TLibrary::myUtil};
constexpr TLibraries ShutdownLibraries = PlayerLibraries;

// Loads folder/file when that file exists, else file through the system's
// search. Null with the reason in err on failure.
void* LoadLibraryFrom(const QString& folder, const QString& file, QString& err);

// Binding: empty cell and a false result with the text in err when the entry
// point is missing (unless optional).
bool BindProc(const QString& libFile, void* module, const char* name, bool optional, void** cell,
              QString& err);
bool BindVar(const QString& libFile, void* module, const char* name, bool optional, void** cell,
             QString& err);

class TFFLoader {
public:
    TFFLoader() = default;
    ~TFFLoader();
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    bool Load(TLibrary lib);
    bool Load(TLibraries libs);
    bool Loaded(TLibrary lib) const;
    bool Loaded(TLibraries libs) const;
    void Unload(TLibrary lib);
    void Unload(TLibraries libs);

    const QString& LastErrMsg() const { return lastErr_; }
    const QString& LibraryPath() const { return libraryPath_; }
    void SetLibraryPath(const QString& path) { libraryPath_ = path; }
    bool InstallLogger = true;
    // A file name in place of the table's for one library (empty: the
    // table's).
    void SetLibraryFileName(TLibrary lib, const QString& name) { status_[int(lib)].Name = name; }

private:
    struct TLibraryStatus {
        QString Name;
        void* Handle = nullptr;
        bool Fixuped = false;
    };
    void RunHook(TLibrary lib);
    std::array<TLibraryStatus, LibraryCount> status_{};
    QString lastErr_;
    QString libraryPath_;
};

// The process-wide loader, created on first use.
TFFLoader& FFLoader();

// The cells: vel::video::ff::av_log and so on, empty while unbound.
namespace ff {
#define VEL_FF_DECLARE_CELL(lib, name) extern decltype(&::name) name;
VEL_FF_ENTRIES(VEL_FF_DECLARE_CELL)
#undef VEL_FF_DECLARE_CELL
} // namespace ff

} // namespace vel::video
