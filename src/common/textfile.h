#pragma once
// Text files: written UTF-8 without BOM with CR LF; read as UTF-8 when
// valid, else CP932; lines split at CR LF, LF or CR.
#include <functional>
#include <QIODevice>
#include <QSaveFile>
#include <QString>
#include <QStringList>

namespace vel {

// Decodes file bytes to text (UTF-8 when valid, a UTF-8 BOM dropped, else CP932).
QString DecodeText(const QByteArray& bytes);
// The longest start of text, whole characters only, whose CP932 (Japanese
// ANSI) encoding takes at most maxBytes; a character CP932 lacks counts as
// the one byte "?" it would become.
QString LeftCp932Bytes(const QString& text, int maxBytes);
// Splits text into lines at CR LF, LF or CR; a final line end makes no extra line.
QStringList SplitLines(const QString& text);
// Reads a text file into lines. false (and error text) when it can't be read
// or passes 64 MiB (a regular file refused by its size, unread).
bool ReadTextLines(const QString& path, QStringList& lines, QString* error = nullptr);
// Reads a text file line by line, handing each line to take until take
// returns false, so a reader stops once it has what it needs. Lines decode as
// UTF-8 unless the first line beyond ASCII is not valid UTF-8 (then CP932).
// false (and error text) when the file can't be read or passes 64 MiB
// before take is done; of a regular file over 64 MiB only the first 64 KiB
// are read, so take must be done by then.
bool ReadTextLinesUntil(const QString& path, const std::function<bool(const QString&)>& take,
                        QString* error = nullptr);
// Writes lines, each followed by CR LF, atomically (temp file + rename).
bool WriteTextLines(const QString& path, const QStringList& lines, QString* error = nullptr);
// Writes bytes atomically (temp file + rename).
bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Writes bytes to path in place, without forcing them to disk: for scratch
// files such as lap working files, which are made again from their source.
// A failed write removes the file rather than leave a partial one.
bool WriteScratchFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The same two ways of writing, with write filling the file (false: failed).
bool WriteFileAtomicWith(const QString& path, const std::function<bool(QIODevice&)>& write,
                         QString* error = nullptr);
bool WriteScratchFileWith(const QString& path, const std::function<bool(QIODevice&)>& write,
                          QString* error = nullptr);

// Puts a filled save file in place of the old one. Its buffered bytes are
// written and checked first: commit() writes them itself but ignores a
// failure there (a full disk) and would rename a short file over the old
// one. false (old file kept, error text set) when anything was not written.
bool CommitSaveFile(QSaveFile& f, QString* error = nullptr);

} // namespace vel
