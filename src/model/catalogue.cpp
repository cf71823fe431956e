#include "model/catalogue.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include "common/geodesy.h"
#include "common/parsing.h"
#include "model/course_path.h"

namespace vel {

namespace {

enum class Kind { Pth, Cln, Sci };

// Reads a text file line by line without loading it whole: a position is
// near the top, and the catalogue reads every file at start-up. Lines end at
// CR LF, LF or CR, as text files are split elsewhere.
class LineScanner {
public:
    static constexpr qsizetype MaxLine = 4096;             // longer lines are cut
    static constexpr qint64 MaxScan = 64LL * 1024 * 1024;  // as for text files

    explicit LineScanner(const QString& path) : file_(path) {}
    bool Open() { return file_.open(QIODevice::ReadOnly); }

    // The next line; false at the end. An overlong line comes back cut and
    // flagged.
    bool Next(QString& line, bool& overlong) {
        QByteArray bytes;
        overlong = false;
        bool started = false;
        for (;;) {
            // A chunk can hold nothing past its BOM (a file of a BOM alone).
            while (pos_ >= buf_.size()) {
                if (!Fill()) {
                    line = QString::fromLatin1(bytes);
                    return started;
                }
            }
            const char c = buf_[pos_++];
            if (afterCr_) {
                afterCr_ = false;
                if (c == '\n') continue;
            }
            if (c == '\r' || c == '\n') {
                afterCr_ = c == '\r';
                line = QString::fromLatin1(bytes);
                return true;
            }
            started = true;
            if (bytes.size() < MaxLine) bytes += c;
            else overlong = true;
        }
    }

private:
    bool Fill() {
        if (scanned_ >= MaxScan) return false;
        buf_ = file_.read(std::min<qint64>(64 * 1024, MaxScan - scanned_));
        pos_ = 0;
        if (buf_.isEmpty()) return false;
        if (scanned_ == 0 && buf_.startsWith("\xEF\xBB\xBF")) pos_ = 3;
        scanned_ += buf_.size();
        return true;
    }

    QFile file_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    qint64 scanned_ = 0;
    bool afterCr_ = false;
};

// Position of a course map: its first point, as the course-map reader
// would load it.
void ReadPthPosition(LineScanner& in, TPthClnDat& d) {
    QString line;
    bool overlong = false;
    bool inBlock = false;
    while (in.Next(line, overlong)) {
        if (overlong) continue;
        if (!inBlock) {
            inBlock = line == QLatin1String("<path>");
            continue;
        }
        if (line == QLatin1String("</path>")) {
            inBlock = false;
            continue;
        }
        TPathElmRec pt;
        if (ParsePathPoint(line, pt)) {
            d.ido = pt.Ido;
            d.kdo = pt.Kdo;
            return;
        }
    }
}

// Position of a control-line file: end 1 of its first line, lines 2 and 3,
// taken only when the file has a third line.
void ReadClnPosition(LineScanner& in, TPthClnDat& d) {
    QString line, ido;
    bool overlong = false;
    for (int n = 1; n <= 3 && in.Next(line, overlong); ++n) {
        if (overlong) line.clear();   // not a number either way
        if (n == 2) ido = line;
        if (n == 3) {
            d.ido = StrToFloatDef0(ido);
            d.kdo = StrToFloatDef0(line);
        }
    }
}

// Position of a sector file: end 1 of its first line of two fields or more.
void ReadSciPosition(LineScanner& in, TPthClnDat& d) {
    QString line;
    bool overlong = false;
    while (in.Next(line, overlong)) {
        if (overlong) continue;
        QStringList fields;
        SplitToList(fields, line, u',');
        if (fields.size() < 2) continue;
        d.ido = StrToFloatDef0(fields[0]);
        d.kdo = StrToFloatDef0(fields[1]);
        return;
    }
}

QVector<TPthClnDat> LoadTable(const QStringList& paths, Kind kind) {
    QVector<TPthClnDat> table;
    table.reserve(paths.size());
    for (const QString& path : paths) {
        TPthClnDat d;
        const QFileInfo fi(path);
        d.FilePath = path;
        d.FileName = fi.completeBaseName();
        d.FileCreationTime = QDateTime::currentDateTime();
        // Only regular files: a FIFO or device would block or never end.
        if (fi.isFile() && !fi.isSymLink()) {
            d.FileCreationTime = fi.lastModified();
            LineScanner in(path);
            if (in.Open()) {
                switch (kind) {
                case Kind::Pth: ReadPthPosition(in, d); break;
                case Kind::Cln: ReadClnPosition(in, d); break;
                case Kind::Sci: ReadSciPosition(in, d); break;
                }
            }
        }
        table.append(d);
    }
    return table;
}

void CalGap(QVector<TPthClnDat>& table, long double kdo, long double ido) {
    const long double rad = Pi / 180.0L;
    const long double c = std::cos(ido * rad);
    for (TPthClnDat& d : table) {
        const long double x = c * EarthR * (kdo * rad - d.kdo * rad);
        const long double y = EarthR * (ido * rad - d.ido * rad);
        d.Gap = std::sqrt(x * x + y * y) / 1000.0L;
    }
}

// An unknown file time sorts as the oldest.
qint64 TimeKey(const QDateTime& t) {
    return t.isValid() ? t.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

void SetList(QVector<TSelCirDat>& list, const QVector<TPthClnDat>& table, long double radius) {
    list.clear();
    for (int i = 0; i < table.size(); ++i) {
        const TPthClnDat& d = table[i];
        // A NaN gap (a search position that is not a number) never qualifies.
        if (!(d.Gap <= radius)) continue;
        list.append({d.Gap, d.FileCreationTime, i, d.FileName});
    }
    std::stable_sort(list.begin(), list.end(), [](const TSelCirDat& a, const TSelCirDat& b) {
        if (a.Gap != b.Gap) return a.Gap < b.Gap;
        return TimeKey(a.FileCreationTime) > TimeKey(b.FileCreationTime);
    });
}

} // namespace

void FindFilesByExt(QStringList& list, const QString& folder, const QString& ext) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return;
    QStringList found;
    // No QDir::System: FIFOs, sockets and devices are not files to read.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        const int dot = name.lastIndexOf('.');
        if (dot < 0) continue;
        if (name.mid(dot).toLower() == ext) found << path;
    }
    found.sort();
    list << found;
}

void LoadPthFileTbl(Catalogue& catalogue, const QStringList& paths) {
    catalogue.PthDat = LoadTable(paths, Kind::Pth);
}

void LoadClnFileTbl(Catalogue& catalogue, const QStringList& paths) {
    catalogue.ClnDat = LoadTable(paths, Kind::Cln);
}

void LoadSciFileTbl(Catalogue& catalogue, const QStringList& paths) {
    catalogue.SciDat = LoadTable(paths, Kind::Sci);
}

void CalPthGap(Catalogue& catalogue, long double kdo, long double ido) {
    CalGap(catalogue.PthDat, kdo, ido);
}

void CalClnGap(Catalogue& catalogue, long double kdo, long double ido) {
    CalGap(catalogue.ClnDat, kdo, ido);
}

void CalSciGap(Catalogue& catalogue, long double kdo, long double ido) {
    CalGap(catalogue.SciDat, kdo, ido);
}

void SetSelCirLstPth(Catalogue& catalogue, long double radius) {
    SetList(catalogue.SelCirLstPth, catalogue.PthDat, radius);
}

void SetSelCirLstCln(Catalogue& catalogue, long double radius) {
    SetList(catalogue.SelCirLstCln, catalogue.ClnDat, radius);
}

void SetSelCirLstSci(Catalogue& catalogue, long double radius) {
    SetList(catalogue.SelCirLstSci, catalogue.SciDat, radius);
}

void BuildCatalogue(Catalogue& catalogue, const Folders& folders) {
    QStringList pth, cln, sci;
    FindFilesByExt(pth, folders.CircuitDir, ".pth");
    LoadPthFileTbl(catalogue, pth);
    FindFilesByExt(cln, folders.ClnDir, ".cln");
    LoadClnFileTbl(catalogue, cln);
    FindFilesByExt(sci, folders.SectDir, ".sci");
    LoadSciFileTbl(catalogue, sci);
}

QStringList CandidateNames(const QVector<TSelCirDat>& list) {
    QStringList names;
    for (const TSelCirDat& c : list) names << c.Name;
    return names;
}

QString CandidatePath(const QVector<TSelCirDat>& list, const QVector<TPthClnDat>& files, int cand) {
    if (cand < 0 || cand >= list.size()) return {};
    const int at = list[cand].NofArray;
    if (at < 0 || at >= files.size()) return {};
    return files[at].FilePath;
}

} // namespace vel
