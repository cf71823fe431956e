#pragma once
#include <QString>
#include "platform/folders.h"

namespace vel::test {

// Folders laid under root: root/share/ (writable shared), root/data/
// (read-only masters and Help), root/Documents (documents). Nothing is made.
Folders FoldersUnder(const QString& root);
// Writes bytes to path, making its folder.
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

} // namespace vel::test
