#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include "video/engine/ff_loader.h"
#include "video/engine/interrupt.h"
#include "video/engine/sdl_loader.h"
#include "video/engine/thread_helpers.h"
#include "video_support.h"

using namespace vel::video;

TEST(LibraryLoading, SystemLibrariesBindEveryEntryPoint) {
    ASSERT_TRUE(vel::test::LoadSystemCodecs()) << FFLoader().LastErrMsg().toStdString();
    EXPECT_TRUE(FFLoader().Loaded(PlayerLibraries));
#define VEL_EXPECT_BOUND(lib, name) EXPECT_NE(reinterpret_cast<void*>(ff::name), nullptr) << #name;
    VEL_FF_ENTRIES(VEL_EXPECT_BOUND)
#undef VEL_EXPECT_BOUND
    // The bound calls reach the real library.
    EXPECT_STREQ(ff::av_get_pix_fmt_name(AV_PIX_FMT_YUV420P), "yuv420p");
    char buf[16];
    EXPECT_EQ(ff::snprintf(buf, sizeof buf, "%d-%s", 7, "x"), 3);
    EXPECT_STREQ(buf, "7-x");

    // A loaded set loads again without a fresh binding.
    const auto cell = ff::av_log;
    EXPECT_TRUE(FFLoader().Load(PlayerLibraries));
    EXPECT_EQ(ff::av_log, cell);
}

TEST(LibraryLoading, FolderLibraryMissingAnEntryPointFailsTheWholeSet) {
    ASSERT_TRUE(QFileInfo::exists(vel::test::LibAVFolder() + "/libswscale.so.6"));
    TFFLoader& loader = FFLoader();
    loader.Unload(ShutdownLibraries);
    for (const QString& path : {vel::test::LibAVFolder(), vel::test::LibAVFolder() + "/"}) {
        loader.SetLibraryPath(path);
        EXPECT_FALSE(loader.Load(PlayerLibraries));
        const std::string err = loader.LastErrMsg().toStdString();
        EXPECT_EQ(err.rfind("Load function sws_scale@libswscale.so.6 error: ", 0), 0u) << err;
        for (int i = 0; i < LibraryCount; ++i) EXPECT_FALSE(loader.Loaded(TLibrary(i))) << i;
        EXPECT_EQ(ff::av_log, nullptr);
        EXPECT_EQ(ff::sws_getContext, nullptr);
        EXPECT_EQ(ff::vsnprintf, nullptr);
    }
    // The C library never comes from the folder, the others do when present.
    EXPECT_TRUE(loader.Load(TLibrary::myUtil));
    EXPECT_TRUE(loader.Load(TLibrary::avUtil));
    loader.Unload(ShutdownLibraries);
    loader.SetLibraryPath(QString());
}

TEST(LibraryLoading, MissingFileFailsWithLoadLibrary) {
    TFFLoader& loader = FFLoader();
    QTemporaryDir dir;
    loader.SetLibraryPath(dir.path());
    loader.SetLibraryFileName(TLibrary::avDevice, "libavdevice-none.so.59");
    EXPECT_FALSE(loader.Load(PlayerLibraries));
    const std::string err = loader.LastErrMsg().toStdString();
    const std::string head = "Load library " + dir.path().toStdString() + "/libavdevice-none.so.59 error: ";
    EXPECT_EQ(err.rfind(head, 0), 0u) << err;
    EXPECT_GT(err.size(), head.size());
    for (int i = 0; i < LibraryCount; ++i) EXPECT_FALSE(loader.Loaded(TLibrary(i))) << i;
    loader.SetLibraryFileName(TLibrary::avDevice, QString());
    loader.SetLibraryPath(QString());
    EXPECT_FALSE(loader.Load(TLibraries{}));
}

TEST(SDLLoading, OneLoaderPerLibraryFile) {
    const QString folder = vel::test::LibAVFolder();
    const QString full = folder + "/libSDL-1.2.so.0";
    TSDLLoader first;
    TSDLLoader second;
    ASSERT_TRUE(first.Load(folder, "libSDL-1.2.so.0")) << first.LastErrMsg().toStdString();
    EXPECT_TRUE(first.Loaded());
    EXPECT_NE(reinterpret_cast<void*>(first.SDL_Init), nullptr);
    EXPECT_NE(reinterpret_cast<void*>(first.SDL_VideoDriverName), nullptr);

    EXPECT_FALSE(second.Load(folder + "/", "libSDL-1.2.so.0"));
    EXPECT_EQ(second.LastErrMsg(), full + " alreay loaded in another instance.");
    EXPECT_FALSE(second.Loaded());
    EXPECT_EQ(second.SDL_Init, nullptr);

    EXPECT_TRUE(first.Load(folder, "libSDL-1.2.so.0"));  // the same loader again
    first.Unload();
    EXPECT_FALSE(first.Loaded());
    EXPECT_EQ(first.SDL_Init, nullptr);
    EXPECT_TRUE(second.Load(folder, "libSDL-1.2.so.0"));

    EXPECT_EQ(second.Putenv("VEL_SDL_TEST=abc"), 0);
    EXPECT_STREQ(getenv("VEL_SDL_TEST"), "abc");
}

TEST(SDLLoading, MissingLibraryNamesItsFullPath) {
    TSDLLoader loader;
    EXPECT_FALSE(loader.Load("/nowhere", "libSDL-none.so.0"));
    EXPECT_EQ(loader.LastErrMsg().left(39), "Load library /nowhere/libSDL-none.so.0 ");
    EXPECT_FALSE(loader.Loaded());
}

namespace {
bool StopYes(void*) { return true; }
bool StopFlag(void* sender) { return static_cast<std::atomic<bool>*>(sender)->load(); }
} // namespace

TEST(InterruptList, FirstEntryOfTheThreadDecides) {
    TInterruptCB list;
    int a = 0, b = 0;
    list.Add(7, &a, &StopYes);
    list.Add(7, &a, &StopYes);  // listed already
    list.Add(7, &b, &StopFlag);
    EXPECT_EQ(list.LockList().size(), 2u);
    list.UnlockList();
    EXPECT_TRUE(list.Interrupt(7));
    EXPECT_FALSE(list.Interrupt(8));
    list.Remove(7, &a, &StopYes);
    std::atomic<bool> flag{false};
    list.Add(9, &flag, &StopFlag);
    EXPECT_FALSE(list.Interrupt(9));
    flag = true;
    EXPECT_TRUE(list.Interrupt(9));
    list.Clear();
    EXPECT_FALSE(list.Interrupt(9));
}

TEST(InterruptList, CallbackAnswersForTheCallingThreadOnly) {
    std::atomic<bool> stop{false};
    std::atomic<bool> registered{false};
    std::atomic<int> seen{-1};
    std::thread reader([&] {
        const uint32_t me = CurrentThreadID();
        InterruptCB().Add(me, &stop, &StopFlag);
        registered = true;
        // A read that blocks until the callback says stop.
        QElapsedTimer guard;
        guard.start();
        while (!InterruptCallback(nullptr) && guard.elapsed() < 10000) std::this_thread::yield();
        seen = InterruptCallback(nullptr);
        InterruptCB().Remove(me, &stop, &StopFlag);
    });
    while (!registered) std::this_thread::yield();
    EXPECT_EQ(InterruptCallback(nullptr), 0);  // this thread is not listed
    // Other threads come and go on the list meanwhile.
    std::vector<std::thread> others;
    for (int i = 0; i < 4; ++i)
        others.emplace_back([&] {
            int own = 0;
            for (int k = 0; k < 200; ++k) {
                InterruptCB().Add(CurrentThreadID(), &own, &StopYes);
                InterruptCB().Remove(CurrentThreadID(), &own, &StopYes);
            }
        });
    for (auto& t : others) t.join();
    stop = true;
    reader.join();
    EXPECT_EQ(seen.load(), 1);
}

TEST(ThreadHelpers, CallInMainThreadRunsThereAndWaits) {
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> done{false};
    std::thread::id ranOn;
    int value = 0;
    std::thread worker([&] {
        CallInMainThread([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        EXPECT_EQ(value, 42);  // waited for
        done = true;
    });
    QElapsedTimer guard;
    guard.start();
    while (!done && guard.elapsed() < 10000) ProcessPendingMessages();
    worker.join();
    EXPECT_EQ(ranOn, mainId);
    // On the main thread itself it runs at once.
    int here = 0;
    CallInMainThread([&] { here = 1; });
    EXPECT_EQ(here, 1);
}
