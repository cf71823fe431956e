#include "model/lap_file.h"
#include "common/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vel {

namespace {

// Records read or written at a time: the files go through a buffer of this
// size rather than a whole-file image.
constexpr qsizetype BufRecords = 512;

QString SizeChangedText() { return QStringLiteral("ファイルの読み込み中にサイズが変わりました。"); }

// Encodes recs through a fixed-size buffer into out.
bool WriteRecords(QIODevice& out, const QVector<TLapElmRec>& recs, const LapRawTable* raw) {
    uint8_t buf[BufRecords * TLapElmRec::Size];
    const qsizetype rawRecs = raw ? raw->size() : 0;
    for (qsizetype at = 0; at < recs.size();) {
        const qsizetype n = std::min(BufRecords, recs.size() - at);
        for (qsizetype i = 0; i < n; ++i) {
            const TLapElmRec& r = recs[at + i];
            const uint8_t* from = r.RawIdx >= 0 && r.RawIdx < rawRecs ? (*raw)[r.RawIdx].data() : nullptr;
            WriteLapElm(r, from, buf + i * TLapElmRec::Size);
        }
        const qint64 bytes = n * TLapElmRec::Size;
        if (out.write(reinterpret_cast<const char*>(buf), bytes) != bytes) return false;
        at += n;
    }
    return true;
}

} // namespace

LapFileStatus ReadLapFile(const QString& path, QVector<TLapElmRec>& out, QString* error, LapRawTable* raw) {
    QFile f(path);
    if (!QFileInfo(path).isFile()) return LapFileStatus::Missing;
    const qint64 size = f.size();
    if (size % TLapElmRec::Size != 0) return LapFileStatus::NotRecords;
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return LapFileStatus::ReadError;
    }
    auto failed = [&] {
        if (error) *error = f.error() != QFileDevice::NoError ? f.errorString() : SizeChangedText();
        return LapFileStatus::ReadError;
    };
    const qsizetype n = static_cast<qsizetype>(size / TLapElmRec::Size);
    QVector<TLapElmRec> recs(n);
    TLapElmRec* r = recs.data();
    LapRawTable table;
    uint8_t buf[BufRecords * TLapElmRec::Size];
    for (qsizetype at = 0; at < n;) {
        const qsizetype k = std::min(BufRecords, n - at);
        const qint64 bytes = k * TLapElmRec::Size;
        if (f.read(reinterpret_cast<char*>(buf), bytes) != bytes) return failed();
        for (qsizetype i = 0; i < k; ++i, ++at) {
            const uint8_t* p = buf + i * TLapElmRec::Size;
            if (ReadPlainLapElm(p, r[at])) continue;
            r[at] = ReadLapElm(p);
            if (raw) {
                r[at].RawIdx = static_cast<int32_t>(table.size());
                LapElmBytes& kept = table.emplace_back();
                std::memcpy(kept.data(), p, TLapElmRec::Size);
            }
        }
    }
    // Grown since its size was taken: not the file measured.
    char extra;
    if (f.read(&extra, 1) != 0) return failed();
    out = std::move(recs);
    if (raw) *raw = std::move(table);
    return LapFileStatus::Ok;
}

bool WriteLapFile(const QString& path, const QVector<TLapElmRec>& recs, QString* error, bool scratch,
                  const LapRawTable* raw) {
    const auto write = [&](QIODevice& f) { return WriteRecords(f, recs, raw); };
    // A working file is written in place and not forced to disk.
    return scratch ? WriteScratchFileWith(path, write, error) : WriteFileAtomicWith(path, write, error);
}

QString WorkingFileName(const QString& tempDir, int dataNumber) {
    return WorkingFileName(tempDir, QStringLiteral("%1").arg(dataNumber, 4, 10, QLatin1Char('0')));
}

QString WorkingFileName(const QString& tempDir, const QString& dataNumberText) {
    return tempDir + QStringLiteral("temp") + dataNumberText + QStringLiteral(".dtb");
}

QString FindWorkingFile(const QString& tempDir, const QString& dataNumberText) {
    const QString wanted = QStringLiteral("Temp") + dataNumberText + QStringLiteral(".dtb");
    const QString exact = tempDir + wanted;
    if (QFileInfo::exists(exact)) return exact;
    // The name the working files are written under, found without listing
    // the folder (a list of hundreds of rows would list it once a row).
    const QString written = WorkingFileName(tempDir, dataNumberText);
    if (QFileInfo(written).isFile()) return written;
    const QStringList names = QDir(tempDir).entryList(QDir::Files);
    for (const QString& n : names)
        if (n.compare(wanted, Qt::CaseInsensitive) == 0) return tempDir + n;
    return exact;
}

QString WorkingFileNumber(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    if (name.size() <= 8 || !name.startsWith(QLatin1String("temp"), Qt::CaseInsensitive) ||
        !name.endsWith(QLatin1String(".dtb"), Qt::CaseInsensitive))
        return {};
    const QString digits = name.mid(4, name.size() - 8);
    for (const QChar c : digits)
        if (c < u'0' || c > u'9') return {};
    return digits;
}

int DeleteWorkingFiles(const QString& tempDir, int fromNumber) {
    if (tempDir.isEmpty()) return 0;
    const QDir dir(tempDir);
    if (!dir.exists()) return 0;
    int count = 0;
    for (const QFileInfo& fi : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        // Four digits at least, as the working files are named.
        const QString digits = WorkingFileNumber(fi.fileName());
        if (digits.size() < 4) continue;
        bool ok = false;
        const qlonglong number = digits.toLongLong(&ok);
        if (ok && number < fromNumber) continue;   // (too long to read: beyond any row)
        if (QFile::remove(fi.filePath())) ++count;
    }
    return count;
}

} // namespace vel
