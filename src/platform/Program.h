#pragma once
// The program's own folder and executable name.

#include <QString>

namespace platform {

// Folder of the executable (settings and logs live here). Tests point it at a temporary folder.
QString ProgramDir();
void setProgramDirForTesting(const QString &dir);

// Executable name without extension; message boxes use it as their title.
QString ExeName();

} // namespace platform
