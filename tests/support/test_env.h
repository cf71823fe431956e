#pragma once
#include <QString>
namespace vel::test {
// Points HOME and the XDG folders at root (made when missing).
void SetHome(const QString& root);
// Folder for files a test leaves for people to look at (PNG renderings).
QString OutputDir();
} // namespace vel::test
