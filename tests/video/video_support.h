#pragma once
// Shared helpers of the video engine tests.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>
#include "video/engine/ff_loader.h"
#include "video/engine/ff_logger.h"

namespace vel::test {

// Loads the player's libraries from the system.
inline bool LoadSystemCodecs() {
    auto& loader = vel::video::FFLoader();
    loader.SetLibraryPath(QString());
    return loader.Load(vel::video::PlayerLibraries);
}

inline QString LibAVFolder() { return QCoreApplication::applicationDirPath() + QStringLiteral("/LibAV"); }

// A suite whose files the suite's own SetUpTestSuite makes once into dir_;
// each test starts with the system's libraries loaded and FFmpeg logging
// errors only.
template <class Suite>
class ClipFolderSuite : public ::testing::Test {
protected:
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override {
        ASSERT_TRUE(LoadSystemCodecs());
        vel::video::FFLogger().SetLogLevel(vel::video::TLogLevel::llError);
    }
    static QString File(const char* name) { return dir_->filePath(QString::fromLatin1(name)); }
    static inline QTemporaryDir* dir_ = nullptr;
};

} // namespace vel::test
