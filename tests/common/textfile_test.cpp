#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/textfile.h"

namespace vel {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

const QString kSector = QStringLiteral("セクタ");

// Bytes this process has read from files so far (the kernel's count).
qint64 BytesReadSoFar() {
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
    return 0;
}

TEST(TextFile, DecodesUtf8OrCp932) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"ascii", "Lap 1,0:59.123", "Lap 1,0:59.123"},
        {"utf-8", kSector.toUtf8(), kSector},
        {"utf-8 with BOM", "\xEF\xBB\xBF" + kSector.toUtf8(), kSector},
        {"BOM only", "\xEF\xBB\xBF", ""},
        {"BOM kept when not at the start", "a\xEF\xBB\xBF", QStringLiteral("a\uFEFF")},
        {"4-byte utf-8", "\xF0\x9F\x8F\x81", QStringLiteral("\U0001F3C1")},
        {"cp932", QByteArray("\x83\x5A\x83\x4E\x83\x5E"), kSector},
        {"cp932 with ascii", QByteArray("T1 \x83\x5A\x83\x4E\x83\x5E 2"), "T1 " + kSector + " 2"},
        // Where CP932 and plain Shift_JIS differ: wave dash, circled one.
        {"cp932 only characters", QByteArray("\x81\x60\x87\x40"), QStringLiteral("\uFF5E\u2460")},
        {"half-width katakana", QByteArray("\xB1\xB2"), QStringLiteral("\uFF71\uFF72")},
        {"bad byte replaced", QByteArray("a\xFF" "b"), QStringLiteral("a\uFFFDb")},
        {"bad trail byte", QByteArray("a\x83 b"), QStringLiteral("a\uFFFD b")},
        {"cut at the end", QByteArray("\x83\x5A\x83"), QStringLiteral("\u30BB\uFFFD")},
        {"overlong utf-8 is not utf-8", QByteArray("\xC0\xAF"), QStringLiteral("\uFF80\uFF6F")},
        {"utf-8 surrogate is not utf-8", QByteArray("\xED\xA0\x80"), QStringLiteral("\u605D\uFFFD")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeText(c.bytes), c.text);
    }
}

TEST(TextFile, DecodesLongCp932Text) {
    // More than iconv's output buffer holds at once.
    QByteArray bytes;
    QString text;
    for (int i = 0; i < 5000; ++i) {
        bytes += "\x83\x5A\x83\x4E\x83\x5E\r\n";
        text += kSector + "\r\n";
    }
    EXPECT_EQ(DecodeText(bytes), text);
}

TEST(TextFile, SplitsLines) {
    struct Case {
        QString text;
        QStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"\n", {""}},
        {"\r\r", {"", ""}},
        {"a\n\r", {"a", ""}},          // LF then CR: two line ends
        {"a\r\n\n", {"a", ""}},
        {" a \t", {" a \t"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(SplitLines(c.text), c.lines);
    }
}

class TextFileIo : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

// Runs write with files limited to 64 KiB, so that a larger write is cut
// short as by a full disk (the limit holds even for root). Use under
// ASSERT_NO_FATAL_FAILURE.
template <class F>
void UnderFileSizeLimit(F write) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    write();
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
}

TEST_F(TextFileIo, ReadsDecodesAndSplits) {
    const QString path = Path("in.txt");
    Put(path, "\xEF\xBB\xBF" "a\r\n" + kSector.toUtf8() + "\nc\r");
    QStringList lines{"stale"};
    ASSERT_TRUE(ReadTextLines(path, lines));
    EXPECT_EQ(lines, QStringList({"a", kSector, "c"}));

    Put(path, "x\r\n\x83\x5A\x83\x4E\x83\x5E\r\n");
    ASSERT_TRUE(ReadTextLines(path, lines));
    EXPECT_EQ(lines, QStringList({"x", kSector}));
}

TEST_F(TextFileIo, ReadsAFileLargerThanOneReadPieceWhole) {
    const QString path = Path("long.txt");
    QByteArray bytes;
    constexpr int N = 400000;   // about 2.7 MB: several pieces
    for (int i = 0; i < N; ++i) bytes += QByteArray::number(i) + "\r\n";
    Put(path, bytes);
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(path, lines));
    ASSERT_EQ(lines.size(), N);
    for (int i : {0, 174762, 174763, 349525, N - 1}) EXPECT_EQ(lines[i], QString::number(i));
}

TEST_F(TextFileIo, LineByLineStopsWhenTheReaderHasEnough) {
    const QString path = Path("lines.txt");
    struct Case { const char* name; QByteArray bytes; QStringList lines; };
    const Case cases[] = {
        {"line ends of every kind", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"empty lines and a final end", "\r\n\n\r\r\nx\r\n", {"", "", "", "", "x"}},
        {"BOM dropped", "\xEF\xBB\xBF" "a\r\n" + kSector.toUtf8(), {"a", kSector}},
        {"CP932", "x\r\n\x83\x5A\x83\x4E\x83\x5E\r\n", {"x", kSector}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Put(path, c.bytes);
        QStringList got;
        ASSERT_TRUE(ReadTextLinesUntil(path, [&](const QString& l) { got << l; return true; }));
        EXPECT_EQ(got, c.lines);
        // Through ReadTextLines the same.
        QStringList whole;
        ASSERT_TRUE(ReadTextLines(path, whole));
        EXPECT_EQ(whole, c.lines);
    }

    // A CR LF split across two reads of the buffer is one line end.
    QByteArray edge(64 * 1024 - 1, 'a');
    edge += "\r\nb";
    Put(path, edge);
    QStringList got;
    ASSERT_TRUE(ReadTextLinesUntil(path, [&](const QString& l) { got << l; return true; }));
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[1], "b");

    // Stops at the first line; the rest, past the size limit, is never read.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("first\r\n");
        ASSERT_TRUE(f.resize(65LL * 1024 * 1024));   // sparse, cheap
    }
    got.clear();
    ASSERT_TRUE(ReadTextLinesUntil(path, [&](const QString& l) { got << l; return false; }));
    EXPECT_EQ(got, QStringList{"first"});
    QString error;
    EXPECT_FALSE(ReadTextLinesUntil(path, [](const QString&) { return true; }, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ReadTextLinesUntil(Path("missing.txt"), [](const QString&) { return true; }, &error));
}

// A huge regular file is refused without being read through: reading
// 64 MiB first took seconds on the main thread.
TEST_F(TextFileIo, HugeRegularFileIsRefusedWithoutReadingItThrough) {
    const QString path = Path("huge.sci");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("35.1,139.1,35.2,139.2\r\n");
        ASSERT_TRUE(f.resize(3LL * 1024 * 1024 * 1024));   // sparse, cheap
    }
    struct Case {
        const char* name;
        std::function<bool(QString*)> read;
    };
    const Case cases[] = {
        {"whole", [&](QString* e) { QStringList l; return ReadTextLines(path, l, e); }},
        // Its first line is taken, but the reader wants every line.
        {"line by line", [&](QString* e) {
             return ReadTextLinesUntil(path, [](const QString&) { return true; }, e);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const qint64 before = BytesReadSoFar();
        EXPECT_FALSE(c.read(&error));
        EXPECT_LT(BytesReadSoFar() - before, 1024 * 1024);
        EXPECT_EQ(error, QStringLiteral("ファイルが大きすぎます(64 MiBを超えています)。"));
    }
}

TEST_F(TextFileIo, ReadFailuresGiveAnErrorText) {
    const QString big = Path("big.txt");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(64LL * 1024 * 1024 + 1));   // sparse, cheap
    }
    const QString cases[] = {Path("missing.txt"), dir.path(), big};
    for (const QString& path : cases) {
        SCOPED_TRACE(path.toStdString());
        QStringList lines{"kept"};
        QString error;
        EXPECT_FALSE(ReadTextLines(path, lines, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(lines, QStringList{"kept"});
    }
}

TEST_F(TextFileIo, WritesUtf8WithCrLfAndNoBom) {
    const QString path = Path("out.txt");
    Put(path, "an older and longer content\r\n");
    ASSERT_TRUE(WriteTextLines(path, {"a", kSector, ""}));
    EXPECT_EQ(ReadAll(path), "a\r\n" + kSector.toUtf8() + "\r\n\r\n");

    QStringList lines;
    ASSERT_TRUE(ReadTextLines(path, lines));
    EXPECT_EQ(lines, QStringList({"a", kSector, ""}));

    ASSERT_TRUE(WriteTextLines(path, {}));
    EXPECT_EQ(ReadAll(path), QByteArray());

    const QByteArray raw("\x00\x01\xFF\r\n", 5);
    ASSERT_TRUE(WriteFileAtomic(path, raw));
    EXPECT_EQ(ReadAll(path), raw);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.txt"});   // no temp left
}

TEST_F(TextFileIo, FailedWriteLeavesFilesAlone) {
    const QString file = Path("keep.txt");
    const QByteArray old("old content\r\n");
    Put(file, old);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const QString cases[] = {
        file + "/out.txt",            // parent is a regular file
        Path("missing/out.txt"),      // parent does not exist
        Path("sub"),                  // target is a folder
    };
    for (const QString& path : cases) {
        SCOPED_TRACE(path.toStdString());
        QString error;
        EXPECT_FALSE(WriteTextLines(path, {"new"}, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(WriteFileAtomic(path, "new", &error));
    }
    EXPECT_EQ(ReadAll(file), old);
    EXPECT_TRUE(QFileInfo(Path("sub")).isDir());
    EXPECT_FALSE(QFileInfo::exists(Path("missing")));
}

// A write cut short by the disk (here a file-size limit, which holds even
// for root) must leave the old file whole and no temp file behind.
TEST_F(TextFileIo, WriteCutShortKeepsTheOldFile) {
    const QString file = Path("keep.txt");
    const QByteArray old("old content\r\n");
    Put(file, old);

    QString error;
    bool ok = true;
    ASSERT_NO_FATAL_FAILURE(
        UnderFileSizeLimit([&] { ok = WriteFileAtomic(file, QByteArray(1024 * 1024, 'x'), &error); }));

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(file), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.txt"});
}

// A scratch file is written in place: a good write replaces what was there,
// one cut short leaves nothing rather than a partial file.
TEST_F(TextFileIo, ScratchWriteReplacesOrLeavesNothing) {
    const QString file = Path("temp0001.dtb");
    Put(file, QByteArray(4096, 'o'));
    ASSERT_TRUE(WriteScratchFile(file, "new"));
    EXPECT_EQ(ReadAll(file), QByteArray("new"));

    QString error;
    bool ok = true;
    ASSERT_NO_FATAL_FAILURE(
        UnderFileSizeLimit([&] { ok = WriteScratchFile(file, QByteArray(1024 * 1024, 'x'), &error); }));

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace vel
