#include "model/lap_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "common/textfile.h"

namespace vel {

LapFileStatus ReadLapFile(const QString& path, QVector<TLapElmRec>& out, QString* error) {
    QFile f(path);
    if (!QFileInfo(path).isFile()) return LapFileStatus::Missing;
    const qint64 size = f.size();
    if (size % TLapElmRec::Size != 0) return LapFileStatus::NotRecords;
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return LapFileStatus::ReadError;
    }
    const QByteArray bytes = f.readAll();
    if (bytes.size() != size || f.error() != QFileDevice::NoError) {
        if (error) *error = f.error() != QFileDevice::NoError ? f.errorString()
                                                              : QStringLiteral("ファイルの読み込み中にサイズが変わりました。");
        return LapFileStatus::ReadError;
    }
    const qsizetype n = bytes.size() / TLapElmRec::Size;
    QVector<TLapElmRec> recs;
    recs.reserve(n);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (qsizetype i = 0; i < n; ++i) recs.push_back(ReadLapElm(p + i * TLapElmRec::Size));
    out = std::move(recs);
    return LapFileStatus::Ok;
}

bool WriteLapFile(const QString& path, const QVector<TLapElmRec>& recs, QString* error, bool scratch) {
    QByteArray bytes(recs.size() * TLapElmRec::Size, '\0');
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    for (qsizetype i = 0; i < recs.size(); ++i) WriteLapElm(recs[i], p + i * TLapElmRec::Size);
    return scratch ? WriteScratchFile(path, bytes, error) : WriteFileAtomic(path, bytes, error);
}

QString WorkingFileName(const QString& tempDir, int dataNumber) {
    return tempDir + QStringLiteral("temp%1.dtb").arg(dataNumber, 4, 10, QLatin1Char('0'));
}

QString FindWorkingFile(const QString& tempDir, const QString& dataNumberText) {
    const QString wanted = QStringLiteral("Temp") + dataNumberText + QStringLiteral(".dtb");
    const QString exact = tempDir + wanted;
    if (QFileInfo::exists(exact)) return exact;
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

int DeleteWorkingFiles(const QString& tempDir) {
    if (tempDir.isEmpty()) return 0;
    const QDir dir(tempDir);
    if (!dir.exists()) return 0;
    int count = 0;
    for (const QFileInfo& fi : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        // Four digits at least, as the working files are named.
        if (WorkingFileNumber(fi.fileName()).size() < 4) continue;
        if (QFile::remove(fi.filePath())) ++count;
    }
    return count;
}

} // namespace vel
