#include "video/engine/ff_loader.h"
#include <dlfcn.h>
#include <QFileInfo>
#include "video/engine/ff_logger.h"

namespace vel::video {

namespace ff {
#define VEL_FF_DEFINE_CELL(lib, name) decltype(&::name) name = nullptr;
VEL_FF_ENTRIES(VEL_FF_DEFINE_CELL)
#undef VEL_FF_DEFINE_CELL
} // namespace ff

namespace {

const TLibraryItem kLibraries[LibraryCount] = {
    {TLibrary::avUtil, "avutil", false, 57},
    {TLibrary::swResample, "swresample", false, 4},
    {TLibrary::swScale, "swscale", false, 6},
    {TLibrary::avCodec, "avcodec", false, 59},
    {TLibrary::avFormat, "avformat", false, 59},
    {TLibrary::avFilter, "avfilter", false, 8},
    {TLibrary::avDevice, "avdevice", false, 59},
    {TLibrary::myUtil, "c", true, 6},
};

struct Entry {
    TLibrary lib;
    const char* name;
    void** cell;
};

#define VEL_FF_TABLE_ROW(lib, name) {TLibrary::lib, #name, reinterpret_cast<void**>(&ff::name)},
const Entry kEntries[] = {VEL_FF_ENTRIES(VEL_FF_TABLE_ROW)};
#undef VEL_FF_TABLE_ROW

// Binds every entry point of one library, stopping at the first missing one.
bool Fixup(TLibrary lib, const QString& file, void* module, QString& err) {
    for (const Entry& e : kEntries) {
        if (e.lib != lib) continue;
        if (!BindProc(file, module, e.name, false, e.cell, err)) return false;
    }
    if (lib == TLibrary::avDevice) ff::avdevice_register_all();
    return true;
}

void Unfix(TLibrary lib) {
    for (const Entry& e : kEntries)
        if (e.lib == lib) *e.cell = nullptr;
}

QString DlError() {
    const char* e = dlerror();
    return e ? QString::fromLocal8Bit(e) : QString();
}

} // namespace

const TLibraryItem& LibraryItem(TLibrary lib) { return kLibraries[int(lib)]; }

QString LibraryFileName(TLibrary lib) {
    const TLibraryItem& it = LibraryItem(lib);
    QString name = QStringLiteral("lib") + QLatin1String(it.Name) + QStringLiteral(".so");
    if (it.Version >= 0) name += QLatin1Char('.') + QString::number(it.Version);
    return name;
}

void* LoadLibraryFrom(const QString& folder, const QString& file, QString& err) {
    // dlopen ignores a changed search path, so a library of the folder is
    // opened by its full path; its companions of the set are found because
    // they were loaded before it under the same sonames.
    QString path = file;
    if (!folder.isEmpty() && QFileInfo::exists(folder + QLatin1Char('/') + file))
        path = folder + QLatin1Char('/') + file;
    dlerror();
    void* h = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!h) err = DlError();
    return h;
}

bool BindProc(const QString& libFile, void* module, const char* name, bool optional, void** cell,
              QString& err) {
    dlerror();
    *cell = module ? dlsym(module, name) : nullptr;
    if (*cell || optional) return true;
    err = QString::asprintf("Load function %s@%s error: %s", name, libFile.toLocal8Bit().constData(),
                            DlError().toLocal8Bit().constData());
    return false;
}

bool BindVar(const QString& libFile, void* module, const char* name, bool optional, void** cell,
             QString& err) {
    dlerror();
    *cell = module ? dlsym(module, name) : nullptr;
    if (*cell || optional) return true;
    err = QString::asprintf("Load variable %s@%s error: %s", name, libFile.toLocal8Bit().constData(),
                            DlError().toLocal8Bit().constData());
    return false;
}

TFFLoader::~TFFLoader() { Unload(ShutdownLibraries); }

bool TFFLoader::Load(TLibrary lib) {
    TLibraryStatus& st = status_[int(lib)];
    QString file = st.Name.isEmpty() ? LibraryFileName(lib) : st.Name;
    if (!st.Handle) {
        // A name with a folder is taken from there; else from the library
        // folder unless it is a system library.
        QString folder;
        const int slash = file.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0) {
            folder = file.left(slash);
            file = file.mid(slash + 1);
        } else if (!libraryPath_.isEmpty() && !LibraryItem(lib).SysLib) {
            folder = libraryPath_;
            while (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
        }
        QString err;
        st.Handle = LoadLibraryFrom(folder, file, err);
        if (!st.Handle) {
            const QString shown = folder.isEmpty() ? file : folder + QLatin1Char('/') + file;
            lastErr_ = QString::asprintf("Load library %s error: %s", shown.toLocal8Bit().constData(),
                                         err.toLocal8Bit().constData());
            return false;
        }
    }
    if (!st.Fixuped) {
        QString err;
        if (Fixup(lib, file, st.Handle, err))
            st.Fixuped = true;
        else
            lastErr_ = err;
    }
    if (!st.Fixuped) {
        Unload(lib);
        return false;
    }
    RunHook(lib);
    return true;
}

void TFFLoader::RunHook(TLibrary lib) {
    if (lib == TLibrary::avUtil && InstallLogger) FFLogger().InstallAVLogCallback();
}

bool TFFLoader::Load(TLibraries libs) {
    if (libs.Empty()) return false;
    for (int i = 0; i < LibraryCount; ++i) {
        if (!libs.Contains(TLibrary(i))) continue;
        if (!Load(TLibrary(i))) {
            Unload(libs);
            return false;
        }
    }
    return true;
}

bool TFFLoader::Loaded(TLibrary lib) const {
    const TLibraryStatus& st = status_[int(lib)];
    return st.Handle && st.Fixuped;
}

bool TFFLoader::Loaded(TLibraries libs) const {
    if (libs.Empty()) return false;
    for (int i = 0; i < LibraryCount; ++i)
        if (libs.Contains(TLibrary(i)) && !Loaded(TLibrary(i))) return false;
    return true;
}

void TFFLoader::Unload(TLibrary lib) {
    TLibraryStatus& st = status_[int(lib)];
    // Also the cells a failed binding had filled before it stopped.
    Unfix(lib);
    st.Fixuped = false;
    if (st.Handle) {
        dlclose(st.Handle);
        st.Handle = nullptr;
    }
}

void TFFLoader::Unload(TLibraries libs) {
    // Dependents first, so a library is never closed under one that uses it.
    for (int i = LibraryCount - 1; i >= 0; --i)
        if (libs.Contains(TLibrary(i))) Unload(TLibrary(i));
}

TFFLoader& FFLoader() {
    static TFFLoader loader;
    return loader;
}

} // namespace vel::video
