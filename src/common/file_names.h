#pragma once
// Pieces of file paths as the commands use them.
#include <QString>

namespace vel {

// The absolute folder of a file, with a trailing '/'.
QString FolderOf(const QString& path);
// The extension of the file name part, from its last dot on, as written;
// empty when there is none.
QString ExtensionOf(const QString& path);
// path with its extension replaced by ext (appended when it has none).
QString ChangeExt(const QString& path, const QString& ext);

} // namespace vel
