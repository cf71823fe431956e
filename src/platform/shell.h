#pragma once
#include <QString>
namespace vel {
// Opens a file or an address with its application; false when nothing opened it.
bool OpenWithApplication(const QString& pathOrUrl);
// Shows the folder holding a file.
bool ShowInFolder(const QString& path);
} // namespace vel
