#pragma once
// Course, control-line and sector files found below the user folder, and
// their search by distance from a position.
#include <cstdint>
#include <functional>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include "platform/folders.h"

namespace vel {

// One catalogued file.
struct TPthClnDat {
    QString FilePath;              // full path
    QString FileName;              // without folder and extension
    QDateTime FileCreationTime;    // last modification; invalid when unknown
    long double ido = 0;           // latitude of the file's position, degrees
    long double kdo = 0;           // longitude
    long double Gap = 99.9L;       // km from the last search position
};

// One search candidate.
struct TSelCirDat {
    long double Gap = 0;           // km
    QDateTime FileCreationTime;
    int32_t NofArray = 0;          // index of the file in its table
    QString Name;                  // the file's FileName
};

struct Catalogue {
    QVector<TPthClnDat> PthDat;    // course maps (".pth")
    QVector<TPthClnDat> ClnDat;    // control-line files (".cln")
    QVector<TPthClnDat> SciDat;    // sector files (".sci")
    QVector<TSelCirDat> SelCirLstPth, SelCirLstCln, SelCirLstSci;
};

// Radius of every search, km.
constexpr long double SelCircuitRadiusKm = 5.0L;

// Appends the full path of every regular file below folder (sub-folders
// included, hidden ones too) whose extension, lower-cased, equals ext
// (".pth"). Symbolic links are neither listed nor followed. The paths of one
// call are appended sorted, so equal candidates keep a stable order.
void FindFilesByExt(QStringList& list, const QString& folder, const QString& ext);

// Build a table from a list of paths, reading each file's position.
void LoadPthFileTbl(Catalogue& catalogue, const QStringList& paths);
void LoadClnFileTbl(Catalogue& catalogue, const QStringList& paths);
void LoadSciFileTbl(Catalogue& catalogue, const QStringList& paths);

// Set Gap of every entry of a table for the search position (degrees).
void CalPthGap(Catalogue& catalogue, long double kdo, long double ido);
void CalClnGap(Catalogue& catalogue, long double kdo, long double ido);
void CalSciGap(Catalogue& catalogue, long double kdo, long double ido);

// Rebuild a candidate list from the current Gap values: entries within
// radius km (included), nearest first, equally near ones newest first.
void SetSelCirLstPth(Catalogue& catalogue, long double radius);
void SetSelCirLstCln(Catalogue& catalogue, long double radius);
void SetSelCirLstSci(Catalogue& catalogue, long double radius);

// Scans the ".pth", ".cln" and ".sci" files of the user folder.
void BuildCatalogue(Catalogue& catalogue, const Folders& folders);

// The selection dialog's content: per list the candidates' names in
// candidate order. A list that is not used is shown disabled and empty.
struct SelCircuitLists {
    QStringList pth, cln, sci;
    bool usePth = false, useCln = false, useSci = false;
};

// What was picked: per list the candidate index, -1 for none ("-- NONE --",
// Cancel, or a list not used).
struct SelCircuitChoice {
    bool ok = false;
    int pth = -1, cln = -1, sci = -1;
};

// Shows the selection dialog (or a test's script) and returns the choice.
using CircuitChooser = std::function<SelCircuitChoice(const SelCircuitLists&)>;

// The candidates' names of a list, for SelCircuitLists.
QStringList CandidateNames(const QVector<TSelCirDat>& list);

// The file of candidate cand of a selection list; empty when either index
// is out of range.
QString CandidatePath(const QVector<TSelCirDat>& list, const QVector<TPthClnDat>& files, int cand);

} // namespace vel
