#pragma once
// The program's own folder and executable name.

#include <QString>

namespace platform {

// Folder of the executable. Tests point it at a temporary folder.
QString ProgramDir();
void setProgramDirForTesting(const QString &dir);

// Where the settings file, the daily logs and the COM<n> links live. A portable copy keeps them
// beside the program: its folder is writable for this user, or already holds the settings file.
// An installed copy, whose folder this user cannot write, keeps them in the user's data folder
// (QStandardPaths::AppLocalDataLocation of vantor_cal, ~/.local/share/vantor_cal on Linux),
// created on first use. Decided once a run.
QString DataDir();
// The same rule for a given program folder, decided afresh.
QString ChooseDataDir(const QString &programDir);

// Before the application object, unless the user's environment says otherwise:
// - Qt's own event dispatcher instead of GLib's: the console needs no GLib integration, and the
//   plain one costs about half as much per serial wake-up;
// - on X11, window contents sent over the connection instead of through shared memory: the
//   window is small and its readouts repaint up to 25 times a second, and with shared memory
//   every such repaint first waits for a round trip to the X server.
void preferLightweightGuiBackends();

// Executable name without extension; message boxes use it as their title.
QString ExeName();

} // namespace platform
