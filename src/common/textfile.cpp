#include <algorithm>
#include <cstring>
#include <cstdio>
#include "common/textfile.h"

#include <cerrno>
#include <iconv.h>
#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <vector>

namespace vel {

namespace {

constexpr qint64 MaxTextFileSize = 64 * 1024 * 1024;
constexpr size_t ReadPiece = 64 * 1024;

// Strict UTF-8: no overlong forms, surrogates, code points past U+10FFFF or
// sequences cut short.
bool IsValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c < 0x80) { ++i; continue; }
        int len = 0;
        unsigned lo = 0x80, hi = 0xBF;   // bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c == 0xE0) { len = 3; lo = 0xA0; }
        else if (c == 0xED) { len = 3; hi = 0x9F; }
        else if (c >= 0xE1 && c <= 0xEF) len = 3;
        else if (c == 0xF0) { len = 4; lo = 0x90; }
        else if (c == 0xF4) { len = 4; hi = 0x8F; }
        else if (c >= 0xF1 && c <= 0xF3) len = 4;
        else return false;
        if (n - i < len) return false;
        if (p[i + 1] < lo || p[i + 1] > hi) return false;
        for (int k = 2; k < len; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        i += len;
    }
    return true;
}

// CP932 (the Windows Shift_JIS) through iconv; a byte it can't take becomes
// U+FFFD and decoding goes on. One converter serves every line of a file.
class Cp932Decoder {
public:
    Cp932Decoder() : cd_(iconv_open("UTF-8", "CP932")) {}
    ~Cp932Decoder() {
        if (Have()) iconv_close(cd_);
    }
    Cp932Decoder(const Cp932Decoder&) = delete;
    Cp932Decoder& operator=(const Cp932Decoder&) = delete;

    QString Decode(const QByteArray& bytes) {
        QString out;
        if (!Have()) {
            // No converter installed: keep what is plain ASCII.
            out.reserve(bytes.size());
            for (const char c : bytes)
                out += static_cast<unsigned char>(c) < 0x80 ? QChar(QLatin1Char(c)) : QChar(QChar::ReplacementCharacter);
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.constData());
        size_t inLeft = static_cast<size_t>(bytes.size());
        QByteArray utf8;
        utf8.reserve(bytes.size() * 3 / 2 + 16);
        char buf[4096];
        while (inLeft > 0) {
            char* o = buf;
            size_t oLeft = sizeof buf;
            const size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
            const int err = errno;
            utf8.append(buf, o - buf);
            if (r != static_cast<size_t>(-1)) continue;
            if (err == E2BIG) continue;
            utf8.append("\xEF\xBF\xBD");
            if (err == EILSEQ && inLeft > 0) {
                ++in;
                --inLeft;
            } else {
                break;   // cut short at the end, or an error without a way on
            }
        }
        return QString::fromUtf8(utf8);
    }

private:
    bool Have() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_;
};

QString DecodeCp932(const QByteArray& bytes) {
    Cp932Decoder d;
    return d.Decode(bytes);
}

bool IsAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Decodes a file line by line: the first line with bytes beyond ASCII
// decides, UTF-8 when it is valid UTF-8, else CP932; a later line that is not
// valid UTF-8 is read as CP932 all the same.
class LineDecoder {
public:
    QString Decode(QByteArray line) {
        if (first_) {
            first_ = false;
            if (line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
        }
        if (IsAscii(line)) return QString::fromLatin1(line);
        if (!cp932_ && IsValidUtf8(line)) return QString::fromUtf8(line);
        cp932_ = true;
        return cp932Decoder_.Decode(line);
    }

private:
    bool first_ = true;
    bool cp932_ = false;
    Cp932Decoder cp932Decoder_;
};

bool HugeFile(const QFile& f) { return !f.isSequential() && f.size() > MaxTextFileSize; }

QString TooLargeText() { return QStringLiteral("ファイルが大きすぎます(64 MiBを超えています)。"); }

// A regular file past the limit is refused by its size, before a byte of it
// is read; pipes and devices have no size and are cut off while reading.
bool RefusedBySize(const QFile& f, QString* error) {
    if (!HugeFile(f)) return false;
    if (error) *error = TooLargeText();
    return true;
}

} // namespace

QString DecodeText(const QByteArray& bytes) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
    if (IsValidUtf8(body)) return QString::fromUtf8(body);
    return DecodeCp932(body);
}

QString LeftCp932Bytes(const QString& text, int maxBytes) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    const bool haveIconv = cd != reinterpret_cast<iconv_t>(-1);
    auto bytesOf = [&](const QString& ch) -> int {
        const char16_t u = ch.size() == 1 ? ch[0].unicode() : 0;
        if (!haveIconv)   // ASCII and half-width katakana are single bytes
            return u != 0 && (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F)) ? 1 : 2;
        QByteArray utf8 = ch.toUtf8();
        char* in = utf8.data();
        size_t inLeft = static_cast<size_t>(utf8.size());
        char buf[16];
        char* o = buf;
        size_t oLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) return 1;
        return static_cast<int>(o - buf);
    };
    QString out;
    int used = 0;
    for (const char32_t cp : text.toUcs4()) {
        const QString ch = QString::fromUcs4(&cp, 1);
        const int n = bytesOf(ch);
        if (used + n > maxBytes) break;
        out += ch;
        used += n;
    }
    if (haveIconv) iconv_close(cd);
    return out;
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

bool ReadTextLines(const QString& path, QStringList& lines, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    if (RefusedBySize(f, error)) return false;
    // Read up to one byte past the limit: size() says nothing for pipes and
    // devices. Through a small buffer, so a small file costs little.
    QByteArray bytes;
    std::vector<char> buf(ReadPiece);
    for (;;) {
        const qint64 n = f.read(buf.data(), static_cast<qint64>(buf.size()));
        if (n <= 0) break;
        bytes.append(buf.data(), n);
        if (bytes.size() > MaxTextFileSize) break;
    }
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        return false;
    }
    if (bytes.size() > MaxTextFileSize) {
        if (error) *error = TooLargeText();
        return false;
    }
    lines = SplitLines(DecodeText(bytes));
    return true;
}

bool ReadTextLinesUntil(const QString& path, const std::function<bool(const QString&)>& take, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    // A line-by-line reader may take the start of a huge file, but no more
    // than one piece of it: what lies further is never reached.
    const qint64 limit = HugeFile(f) ? qint64(ReadPiece) : MaxTextFileSize;
    LineDecoder decoder;
    std::vector<char> buf(ReadPiece);
    QByteArray line;
    qint64 total = 0;
    bool afterCr = false;
    for (;;) {
        const qint64 n = f.read(buf.data(), static_cast<qint64>(buf.size()));
        if (n <= 0) break;
        total += n;
        if (total > limit) {
            if (error) *error = TooLargeText();
            return false;
        }
        const char* p = buf.data();
        const char* end = p + n;
        while (p < end) {
            if (afterCr) {
                afterCr = false;
                if (*p == '\n') {   // the LF of a CR LF
                    ++p;
                    continue;
                }
            }
            const char* stop = p;
            while (stop < end && *stop != '\r' && *stop != '\n') ++stop;
            line.append(p, stop - p);
            if (stop == end) break;
            afterCr = *stop == '\r';
            p = stop + 1;
            if (!take(decoder.Decode(line))) return true;
            line.clear();
        }
    }
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        return false;
    }
    if (!line.isEmpty()) take(decoder.Decode(line));
    return true;
}

bool WriteTextLines(const QString& path, const QStringList& lines, QString* error) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return WriteFileAtomic(path, bytes, error);
}

bool WriteFileAtomicWith(const QString& path, const std::function<bool(QIODevice&)>& write, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    if (!write(f)) {
        if (error) *error = f.errorString();
        f.cancelWriting();
        return false;
    }
    return CommitSaveFile(f, error);
}

bool CommitSaveFile(QSaveFile& f, QString* error) {
    if (!f.flush() || f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

bool WriteScratchFileWith(const QString& path, const std::function<bool(QIODevice&)>& write, QString* error) {
    // Written in place: a scratch file is made again from its source, so a
    // temporary name and a rename would only cost two more directory
    // updates per file. A failed write leaves no half file behind.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error) *error = f.errorString();
        return false;
    }
    if (!write(f) || !f.flush()) {
        if (error) *error = f.errorString();
        f.close();
        QFile::remove(path);
        return false;
    }
    f.close();
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        QFile::remove(path);
        return false;
    }
    return true;
}

namespace {

// A write that falls short (the disk filled up on the way) sets no error;
// writing on until one fails gives the system's reason.
bool WriteAll(QIODevice& f, const QByteArray& bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = f.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

} // namespace

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error) {
    return WriteFileAtomicWith(path, [&](QIODevice& f) { return WriteAll(f, bytes); }, error);
}

bool WriteScratchFile(const QString& path, const QByteArray& bytes, QString* error) {
    return WriteScratchFileWith(path, [&](QIODevice& f) { return WriteAll(f, bytes); }, error);
}

} // namespace vel
