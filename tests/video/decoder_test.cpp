#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>
#include "video/engine/decoder.h"
#include "video/engine/ff_loader.h"
#include "video/engine/file_protocol.h"
#include "video_fixtures.h"
#include "video_support.h"

using namespace vel::video;

namespace {

constexpr int W = 64, H = 48, Frames = 12;

class FrameDecoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        const QString err = vel::test::RunFfmpeg(
            dir_->path(), {"-f", "lavfi", "-i", vel::test::NumberedSource(W, H, 25, Frames / 25.0), "-c:v", "ffv1",
                           "numbered.mkv", "-f", "rawvideo", "numbered.yuv"});
        ASSERT_TRUE(err.isEmpty()) << err.toStdString();
        ASSERT_TRUE(QFile::rename(dir_->filePath("numbered.mkv"), Video()));
        QFile raw(dir_->filePath("numbered.yuv"));
        ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
        raw_ = new QByteArray(raw.readAll());
        ASSERT_EQ(raw_->size(), Frames * W * H * 3 / 2);
    }
    static void TearDownTestSuite() {
        delete raw_;
        delete dir_;
    }
    void SetUp() override { ASSERT_TRUE(vel::test::LoadSystemCodecs()); }

    static QString Video() { return dir_->filePath(QStringLiteral("走行動画_テスト.mkv")); }

    // The decoded picture equals frame k of the raw copy, plane by plane.
    static void ExpectFrame(const TFrameInfo& fi, int k) {
        ASSERT_TRUE(fi.Ready);
        ASSERT_EQ(fi.Width, W);
        ASSERT_EQ(fi.Height, H);
        ASSERT_EQ(fi.PixFmt, AV_PIX_FMT_YUV420P);
        EXPECT_EQ(fi.PTS, k * 40000);
        const uint8_t* want = reinterpret_cast<const uint8_t*>(raw_->constData()) + size_t(k) * W * H * 3 / 2;
        const int widths[3] = {W, W / 2, W / 2}, heights[3] = {H, H / 2, H / 2};
        for (int p = 0; p < 3; ++p) {
            for (int r = 0; r < heights[p]; ++r) {
                ASSERT_EQ(memcmp(fi.Picture->data[p] + r * fi.Picture->linesize[p], want, size_t(widths[p])), 0)
                    << "frame " << k << " plane " << p << " row " << r;
                want += widths[p];
            }
        }
        EXPECT_EQ(vel::test::FrameNumberOf(fi.Picture->data[0][0], 0), k);
    }

    static QTemporaryDir* dir_;
    static QByteArray* raw_;
};

QTemporaryDir* FrameDecoder::dir_ = nullptr;
QByteArray* FrameDecoder::raw_ = nullptr;

} // namespace

TEST_F(FrameDecoder, OpensAJapaneseNameAndDecodesEveryFrameExactly) {
    TFFDecoder dec;
    EXPECT_EQ(dec.StreamCount, -1);
    ASSERT_TRUE(dec.LoadFile(Video())) << dec.LastErrMsg().toStdString();
    EXPECT_EQ(dec.FileName(), Video());
    EXPECT_EQ(dec.FileSize, QFileInfo(Video()).size());
    EXPECT_EQ(dec.FormatName(), "matroska,webm");
    EXPECT_EQ(dec.StreamCount, 1);
    EXPECT_EQ(dec.VideoStreamCount, 1);
    EXPECT_EQ(dec.FirstVideoStreamIndex, 0);
    EXPECT_EQ(dec.AudioStreamCount, 0);
    EXPECT_EQ(dec.FirstAudioStreamIndex, -1);
    EXPECT_EQ(dec.FirstSubtitleStreamIndex, -1);
    for (int k = 0; k < Frames; ++k) {
        ASSERT_TRUE(dec.Decode()) << k << " " << dec.LastErrMsg().toStdString();
        ExpectFrame(dec.FrameInfo(), k);
    }
    EXPECT_FALSE(dec.Decode());
    EXPECT_EQ(dec.LastErrMsg(), "stream eof reached.");

    const TBitmap* bmp = dec.GetBitmapPtr();
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->Width, W);
    EXPECT_EQ(bmp->Height, H);
    dec.CloseFile();
    EXPECT_EQ(dec.StreamCount, -1);
    EXPECT_EQ(dec.GetBitmapPtr(), nullptr);
    EXPECT_EQ(dec.LastErrMsg(), "picture not ready, please decode first");
}

TEST_F(FrameDecoder, SeekReturnsTheFrameAsked) {
    TFFDecoder dec;
    ASSERT_TRUE(dec.LoadFile(Video()));
    for (int k : {7, 2, 11, 0, 5}) {
        ASSERT_TRUE(dec.Seek(int64_t(k) * 40000, sfBackward)) << dec.LastErrMsg().toStdString();
        ASSERT_TRUE(dec.Decode());
        while (dec.FrameInfo().PTS < int64_t(k) * 40000) ASSERT_TRUE(dec.Decode());
        ExpectFrame(dec.FrameInfo(), k);
    }
    EXPECT_FALSE(dec.IsVideoStream(3));
    EXPECT_EQ(dec.LastErrMsg(), "stream index #3 is invalid.");
    EXPECT_FALSE(dec.Decode(5));
}

TEST_F(FrameDecoder, TakesThePlayersContextWithoutOwningIt) {
    AVFormatContext* ctx = nullptr;
    ASSERT_EQ(OpenInputFile(&ctx, Video(), nullptr, nullptr), 0);
    ASSERT_GE(ff::avformat_find_stream_info(ctx, nullptr), 0);
    {
        TFFDecoder dec;
        dec.SetFileHandle(ctx);
        dec.SetFileHandle(ctx);
        EXPECT_EQ(dec.FileHandle(), ctx);
        EXPECT_EQ(dec.VideoStreamCount, 1);
        EXPECT_EQ(dec.FileSize, QFileInfo(Video()).size());
        EXPECT_FALSE(dec.Seek(0, 0));
        EXPECT_EQ(dec.LastErrMsg(), "file cannot be seeked, handle is readonly.");
        dec.SetFileHandle(nullptr);
        EXPECT_EQ(dec.VideoStreamCount, -1);
        EXPECT_EQ(dec.FileSize, -1);
        dec.SetFileHandle(ctx);
    }  // the decoder forgets the context, it does not close it
    EXPECT_GE(ff::av_read_frame(ctx, ff::av_packet_alloc()), 0);
    CloseInputFile(&ctx);
    EXPECT_EQ(ctx, nullptr);
}

TEST_F(FrameDecoder, BadFilesFailWithTheirMessages) {
    const QString garbage = dir_->filePath("ごみ.mkv");
    {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes(4096, '\0');
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 7919) >> 3);
        f.write(bytes);
    }
    const QString missing = dir_->filePath("無い.mkv");
    const struct {
        QString file, format, message;
    } cases[] = {
        {garbage, "", garbage + ": Invalid data found when processing input"},
        {missing, "", missing + ": No such file or directory"},
        {Video(), "nosuchformat", "Unknown input format: nosuchformat"},
    };
    for (const auto& c : cases) {
        TFFDecoder dec;
        EXPECT_FALSE(dec.LoadFile(c.file, c.format));
        EXPECT_EQ(dec.LastErrMsg(), c.message);
        EXPECT_EQ(dec.FileHandle(), nullptr);
        EXPECT_FALSE(dec.Decode());
        EXPECT_EQ(dec.LastErrMsg(), "file not loaded.");
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(FrameDecoder, DamagedVideoDecodesWhatItCanWithoutCrashing) {
    QFile src(Video());
    ASSERT_TRUE(src.open(QIODevice::ReadOnly));
    const QByteArray whole = src.readAll();
    // Cut short, and with its middle overwritten.
    QByteArray cut = whole.left(whole.size() * 6 / 10);
    QByteArray scrambled = whole;
    for (int i = whole.size() / 3; i < whole.size() * 2 / 3; ++i) scrambled[i] = char(i * 31);
    for (const QByteArray& bytes : {cut, scrambled}) {
        const QString name = dir_->filePath("壊れた.mkv");
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        TFFDecoder dec;
        if (!dec.LoadFile(name)) {
            EXPECT_FALSE(dec.LastErrMsg().isEmpty());
            continue;
        }
        int frames = 0;
        while (frames < 100 && dec.Decode()) ++frames;
        EXPECT_LT(frames, Frames + 1);
        EXPECT_FALSE(dec.LastErrMsg().isEmpty());
    }
}

TEST_F(FrameDecoder, NeedsItsLibraries) {
    FFLoader().Unload(ShutdownLibraries);
    TFFDecoder dec;
    EXPECT_FALSE(dec.LoadFile(Video()));
    EXPECT_EQ(dec.LastErrMsg(), "LibAVCodec not loaded.");
    EXPECT_FALSE(dec.AVLibLoaded());
    ASSERT_TRUE(dec.LoadAVLib(QString()));
    EXPECT_TRUE(dec.AVLibLoaded());
    EXPECT_FALSE(FFLoader().Loaded(TLibrary::avFilter));  // the decoder's set only
    EXPECT_TRUE(dec.LoadFile(Video()));
}
