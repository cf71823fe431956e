#pragma once
// Course, control-line and sector files found below the user folder.
#include "platform/folders.h"

namespace vel {

struct Catalogue {};

// Scans the ".pth", ".cln" and ".sci" files of the user folder.
void BuildCatalogue(Catalogue& catalogue, const Folders& folders);

} // namespace vel
