#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "video/engine/file_protocol.h"

using namespace vel::video;

TEST(FileProtocol, NamesRoundTripThroughUtf8) {
    const QString name = QStringLiteral("/tmp/サーキット走行 ①.mp4");
    EXPECT_EQ(FromUTF8(ToUTF8(name).constData()), name);
    EXPECT_EQ(UnicodeFileName("unicode:/home/a/動画.mp4"), "/home/a/動画.mp4");
    EXPECT_EQ(UnicodeFileName("/home/a/動画.mp4"), "/home/a/動画.mp4");
    EXPECT_TRUE(FromUTF8(nullptr).isEmpty());
}

TEST(FileProtocol, ReadOnlyOpenNeitherCreatesNorChanges) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("無し.bin");
    TUnicodeFile f;
    EXPECT_EQ(f.Open("unicode:" + missing, AVIO_FLAG_READ), -2);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(f.Open(dir.path(), AVIO_FLAG_READ), -2);  // a folder

    const QString name = dir.filePath("データ.bin");
    {
        QFile out(name);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("0123456789");
    }
    ASSERT_EQ(f.Open(name, AVIO_FLAG_READ), 0);
    uint8_t buf[16] = {};
    EXPECT_EQ(f.Read(buf, 4), 4);
    EXPECT_EQ(f.Seek(0, AVSEEK_SIZE), 10);  // the size, position unmoved
    EXPECT_EQ(f.Read(buf, 2), 2);
    EXPECT_EQ(buf[0], '4');
    EXPECT_EQ(f.Seek(-1, SEEK_END), 9);
    EXPECT_EQ(f.Read(buf, 16), 1);
    EXPECT_EQ(f.Read(buf, 16), 0);
    EXPECT_EQ(f.Seek(2, SEEK_SET), 2);
    EXPECT_EQ(f.Seek(3, SEEK_CUR), 5);
    EXPECT_EQ(f.Seek(-20, SEEK_SET), -1);
    EXPECT_EQ(f.Write(buf, 1), -1);  // opened for reading
    EXPECT_EQ(f.Close(), 1);
    EXPECT_EQ(f.Read(buf, 1), -1);
    QFile in(name);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), QByteArray("0123456789"));
}

TEST(FileProtocol, WriteModesCreateOrTruncate) {
    QTemporaryDir dir;
    const QString name = dir.filePath("書き込み.bin");
    TUnicodeFile f;
    ASSERT_EQ(f.Open(name, AVIO_FLAG_WRITE), 0);
    EXPECT_EQ(f.Write(reinterpret_cast<const uint8_t*>("abcdef"), 6), 6);
    f.Close();
    ASSERT_EQ(f.Open(name, AVIO_FLAG_READ_WRITE), 0);  // truncated
    EXPECT_EQ(f.Seek(0, AVSEEK_SIZE), 0);
    EXPECT_EQ(f.Write(reinterpret_cast<const uint8_t*>("xy"), 2), 2);
    EXPECT_EQ(f.Seek(0, SEEK_SET), 0);
    uint8_t buf[4] = {};
    EXPECT_EQ(f.Read(buf, 4), 2);
    EXPECT_EQ(buf[1], 'y');
}
