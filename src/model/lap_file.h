#pragma once
// Run files and lap working files: flat files of 128-byte TLapElmRec records.
#include <QString>
#include <QVector>
#include "common/records.h"

namespace vel {

enum class LapFileStatus {
    Ok,
    Missing,      // no such file
    NotRecords,   // size not a whole multiple of 128 (not a run file)
    ReadError,    // the file could not be read (error text given)
};

// Reads every record through a fixed-size buffer. With raw, the bytes of
// the records that field-by-field encoding would not give back go there (the
// side table their RawIdx indexes), for a byte-exact write-back.
LapFileStatus ReadLapFile(const QString& path, QVector<TLapElmRec>& out, QString* error = nullptr,
                          LapRawTable* raw = nullptr);
// Writes the records, replacing the file atomically; a scratch file (a
// working file) is written in place, not forced to disk, and removed when
// the write fails. A record whose RawIdx lies in raw (the
// side table it was read with) keeps its bytes where its values are unchanged.
bool WriteLapFile(const QString& path, const QVector<TLapElmRec>& recs, QString* error = nullptr,
                  bool scratch = false, const LapRawTable* raw = nullptr);

// The working file of a data number: TempDir + "temp%.4d.dtb"; with the
// data-number text of a row, the name written for it ("temp" + text + ".dtb").
QString WorkingFileName(const QString& tempDir, int dataNumber);
QString WorkingFileName(const QString& tempDir, const QString& dataNumberText);
// Finds the working file for the data-number text of a row, matching the
// name without regard to case ("Temp" + number + ".dtb").
QString FindWorkingFile(const QString& tempDir, const QString& dataNumberText);

// The data number of a working file's name: the digits between "temp" and
// ".dtb" (either in any case), however many; empty for any other name.
QString WorkingFileNumber(const QString& fileName);
// Deletes every working file (a name WorkingFileNumber takes) in tempDir
// numbered fromNumber or more; other files stay. Gives the number deleted.
int DeleteWorkingFiles(const QString& tempDir, int fromNumber = 0);

} // namespace vel
