#include <functional>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/folders.h"

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

// Every file and folder below root, relative, sorted.
QStringList Tree(const QString& root) {
    QStringList out;
    const QDir base(root);
    std::function<void(const QString&)> walk = [&](const QString& dir) {
        const QFileInfoList entries = QDir(dir).entryInfoList(
            QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& fi : entries) {
            const QString rel = base.relativeFilePath(fi.filePath());
            out << (fi.isDir() ? rel + "/" : rel);
            if (fi.isDir()) walk(fi.filePath());
        }
    };
    walk(root);
    out.sort();
    return out;
}

TEST(StandardFolders, DerivesEveryFolderFromTheStandardPlaces) {
    const vel::Folders f = vel::StandardFolders();
    const QString doc = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);

    EXPECT_EQ(f.AppDir, QCoreApplication::applicationDirPath() + "/");
    EXPECT_EQ(f.ShareDir,
              QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/");
    EXPECT_TRUE(f.ShareDir.endsWith("/Velmaris/")) << f.ShareDir.toStdString();
    EXPECT_EQ(f.TempDir, f.ShareDir + "temp/");
    EXPECT_EQ(f.DocDir, doc);
    EXPECT_FALSE(f.DocDir.endsWith('/'));
    EXPECT_EQ(f.UserDir, doc + "/Velmaris/");
    EXPECT_EQ(f.RawDir, f.UserDir + "Raw/");
    EXPECT_EQ(f.SectDir, f.UserDir + "Sector/");
    EXPECT_EQ(f.ClnDir, f.UserDir + "ControlLine/");
    EXPECT_EQ(f.CircuitDir, f.UserDir + "Circuit/");
    EXPECT_EQ(f.DataDir, f.UserDir + "Data/");
    EXPECT_EQ(f.DataRoot, vel::FindDataRoot(f.AppDir));
    EXPECT_EQ(f.HelpDir, f.DataRoot + "Help/");
    EXPECT_EQ(f.MasterDir("Raw"), f.DataRoot + "Raw/");
    for (const QString* d : {&f.ExportDir, &f.VideoDir, &f.VidInfDir, &f.NmeaDir})
        EXPECT_EQ(*d, doc);
}

TEST(StandardFolders, DoesNotCreateFolders) {
    const vel::Folders f = vel::StandardFolders();
    EXPECT_FALSE(QFileInfo::exists(f.UserDir));
    EXPECT_FALSE(QFileInfo::exists(f.TempDir));
}

TEST(FindDataRoot, PrefersInstalledThenBesideProgramThenSourceTree) {
    struct Case {
        const char* name;
        bool installed;   // <root>/share/velmaris beside <root>/bin/
        bool beside;      // <root>/bin/share/velmaris
        bool asFiles;     // the candidates are files, not folders
        const char* expected;   // relative to root, or "source"
    };
    const Case cases[] = {
        {"installed only", true, false, false, "share/velmaris/"},
        {"beside only", false, true, false, "bin/share/velmaris/"},
        {"both", true, true, false, "share/velmaris/"},
        {"neither", false, false, false, "source"},
        {"files are not folders", true, true, true, "source"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tmp;
        ASSERT_TRUE(tmp.isValid());
        const QString root = tmp.path() + "/";
        QDir().mkpath(root + "bin");
        auto make = [&](const QString& p) {
            if (c.asFiles) WriteFile(p, "x");
            else QDir().mkpath(p);
        };
        if (c.installed) make(root + "share/velmaris");
        if (c.beside) make(root + "bin/share/velmaris");

        const QString got = vel::FindDataRoot(root + "bin/");
        if (QString(c.expected) == "source")
            EXPECT_EQ(got, QDir::cleanPath(VELMARIS_SOURCE_DATA_DIR) + "/");
        else
            EXPECT_EQ(got, root + c.expected);
        EXPECT_TRUE(got.endsWith('/'));
    }
}

TEST(FindDataRoot, AcceptsAProgramFolderWithoutTrailingSlash) {
    QTemporaryDir tmp;
    QDir().mkpath(tmp.path() + "/bin/share/velmaris");
    EXPECT_EQ(vel::FindDataRoot(tmp.path() + "/bin"), tmp.path() + "/bin/share/velmaris/");
}

TEST(MakeDir, MakesParentsAndRefusesTheImpossible) {
    QTemporaryDir tmp;
    EXPECT_TRUE(vel::MakeDir(tmp.path() + "/a/b/c"));
    EXPECT_TRUE(QFileInfo(tmp.path() + "/a/b/c").isDir());
    EXPECT_TRUE(vel::MakeDir(tmp.path() + "/a/b/c"));   // already there
    WriteFile(tmp.path() + "/file", "x");
    EXPECT_FALSE(vel::MakeDir(tmp.path() + "/file/sub"));
    EXPECT_FALSE(vel::MakeDir(""));
}

TEST(CopyFolderContent, CopiesTreeOverwritesAndKeepsDestinationOnlyFiles) {
    QTemporaryDir tmp;
    const QString src = tmp.path() + "/src", dst = tmp.path() + "/dst";
    WriteFile(src + "/a.cln", "new a");
    WriteFile(src + "/b.cln", "b");
    WriteFile(src + "/.keep", "");
    WriteFile(src + "/.hidden/h.cln", "h");
    WriteFile(src + "/sub/c.cln", "c");
    WriteFile(src + "/sub/.keep", "");
    WriteFile(src + "/sub/deeper/d.cln", "d");
    QDir().mkpath(src + "/empty");
    WriteFile(dst + "/a.cln", "old a, and longer than the new one");
    WriteFile(dst + "/mine.cln", "the user's");
    WriteFile(dst + "/sub/c.cln", "old c");

    vel::CopyFolderContent(src, dst);

    EXPECT_EQ(Tree(dst), QStringList({"a.cln", "b.cln", "empty/", "mine.cln", "sub/", "sub/c.cln",
                                      "sub/deeper/", "sub/deeper/d.cln"}));
    EXPECT_EQ(ReadFile(dst + "/a.cln"), "new a");
    EXPECT_EQ(ReadFile(dst + "/mine.cln"), "the user's");
    EXPECT_EQ(ReadFile(dst + "/sub/c.cln"), "c");
    EXPECT_EQ(ReadFile(dst + "/sub/deeper/d.cln"), "d");
}

TEST(CopyFolderContent, MakesTheDestinationAndAcceptsTrailingSlashes) {
    QTemporaryDir tmp;
    WriteFile(tmp.path() + "/src/x.dtb", "x");
    vel::CopyFolderContent(tmp.path() + "/src/", tmp.path() + "/new/dst/");
    EXPECT_EQ(ReadFile(tmp.path() + "/new/dst/x.dtb"), "x");
}

TEST(CopyFolderContent, MissingOrEmptySourceCopiesNothing) {
    QTemporaryDir tmp;
    vel::CopyFolderContent(tmp.path() + "/nowhere", tmp.path() + "/dst");
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/dst"));
    WriteFile(tmp.path() + "/dst2/keep.me", "k");
    vel::CopyFolderContent("", tmp.path() + "/dst2");
    vel::CopyFolderContent(tmp.path() + "/dst2", "");
    EXPECT_EQ(Tree(tmp.path() + "/dst2"), QStringList({"keep.me"}));
}

TEST(CopyFolderContent, DestinationInsideSourceDoesNotRecurseForever) {
    QTemporaryDir tmp;
    const QString src = tmp.path() + "/src";
    WriteFile(src + "/a.txt", "a");
    vel::CopyFolderContent(src, src + "/copy");
    EXPECT_EQ(Tree(src), QStringList({"a.txt", "copy/", "copy/a.txt"}));
    vel::CopyFolderContent(src, src);   // onto itself: nothing happens
    EXPECT_EQ(ReadFile(src + "/a.txt"), "a");
}

TEST(CopyFolderContent, FileWhereFolderIsExpectedIsSkippedQuietly) {
    QTemporaryDir tmp;
    const QString src = tmp.path() + "/src", dst = tmp.path() + "/dst";
    WriteFile(src + "/sub/c.txt", "c");
    WriteFile(src + "/z.txt", "z");
    WriteFile(dst + "/sub", "a file named like the folder");
    vel::CopyFolderContent(src, dst);
    EXPECT_EQ(ReadFile(dst + "/sub"), "a file named like the folder");
    EXPECT_EQ(ReadFile(dst + "/z.txt"), "z");
}

TEST(DeleteMatching, MatchesWholeNameCaseInsensitively) {
    struct Case {
        const char* wildcard;
        QStringList deleted;
    };
    const QStringList names = {"Temp0001.DTB", "temp0002.dtb", "temp12345.dtb", "temp0001.dtb.bak",
                               "xtemp0001.dtb", "temp001.dtb", "lap.dtb", ".hidden.dtb"};
    const Case cases[] = {
        {"temp????.dtb", {"Temp0001.DTB", "temp0002.dtb"}},
        {"*.DTB", {".hidden.dtb", "Temp0001.DTB", "lap.dtb", "temp0002.dtb", "temp001.dtb",
                   "temp12345.dtb", "xtemp0001.dtb"}},
        {"lap.dtb", {"lap.dtb"}},
        {"nothing*", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wildcard);
        QTemporaryDir tmp;
        for (const QString& n : names) WriteFile(tmp.path() + "/" + n, "x");
        QDir().mkpath(tmp.path() + "/temp9999.dtb");   // a folder: never deleted

        EXPECT_EQ(vel::DeleteMatching(tmp.path(), c.wildcard), c.deleted.size());

        QStringList expectLeft = names;
        for (const QString& d : c.deleted) expectLeft.removeAll(d);
        expectLeft << "temp9999.dtb/";
        expectLeft.sort();
        EXPECT_EQ(Tree(tmp.path()), expectLeft);
    }
}

TEST(DeleteMatching, MissingFolderDeletesNothing) {
    QTemporaryDir tmp;
    EXPECT_EQ(vel::DeleteMatching(tmp.path() + "/nowhere", "*"), 0);
    EXPECT_EQ(vel::DeleteMatching("", "*"), 0);
}

} // namespace
