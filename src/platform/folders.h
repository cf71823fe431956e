#pragma once
// The program's folders. Every value ends with '/' except DocDir.
#include <QString>

namespace vel {

struct Folders {
    QString AppDir;      // folder of the program file
    QString ShareDir;    // writable shared data: settings, version marker, temp/
    QString TempDir;     // ShareDir + "temp/" (lap working files)
    QString DataRoot;    // read-only installed data: sample masters and Help/
    QString DocDir;      // the user's documents folder, no trailing '/'
    QString UserDir;     // DocDir + "/Velmaris/"
    QString RawDir, SectDir, ClnDir, CircuitDir, DataDir;   // UserDir + name + "/"
    QString HelpDir;     // DataRoot + "Help/"
    QString ExportDir, VideoDir, VidInfDir, NmeaDir;        // start as DocDir
    // Where the run dialogs open next; empty until a run file was chosen
    // (DataDir then, MoTeC files DocDir).
    QString RunOpenDir, RunSaveDir, RunSaveAllDir, RunMotecDir;

    // The master (sample) folder of one of "Raw", "Sector", "ControlLine",
    // "Circuit", "Data".
    QString MasterDir(const QString& name) const { return DataRoot + name + "/"; }
};

// The start folder of the run-save dialogs (a run, a sector as a run).
inline QString RunSaveDialogFolder(const Folders& f) { return f.RunSaveDir.isEmpty() ? f.DataDir : f.RunSaveDir; }
// A run file was chosen in dir: the run load and save dialogs open there next.
inline void TakeRunDialogFolder(Folders& f, const QString& dir) { f.RunSaveDir = f.RunOpenDir = dir; }

// The writable shared folder: QStandardPaths::AppDataLocation + "/".
QString StandardShareDir();
// The documents folder + no trailing '/'.
QString StandardDocDir();
// The read-only data folder: share/velmaris beside the program's bin/ folder,
// then share/velmaris beside the program, then the source tree's data/.
QString FindDataRoot(const QString& appDir);
// Fills every field from the standard locations (does not create folders).
Folders StandardFolders();
// Every field laid out below the four roots (each ending with '/' but docDir).
Folders FoldersFrom(const QString& appDir, const QString& shareDir, const QString& dataRoot,
                    const QString& docDir);

// Makes a folder with its parents; false on failure.
bool MakeDir(const QString& path);
// Copies the regular files and sub-folders of src into dst, overwriting files
// of the same name; names beginning with '.' are skipped. Errors are ignored.
void CopyFolderContent(const QString& src, const QString& dst);
// Deletes the files in dir whose name matches the wildcard (case-insensitive);
// errors are ignored. Returns how many were deleted.
int DeleteMatching(const QString& dir, const QString& wildcard);

} // namespace vel
