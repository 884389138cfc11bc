#pragma once
// The program's own folder and executable name.

#include <QString>
#include <QStringList>

namespace platform {

// Folder of the executable. Tests point it at a temporary folder.
QString programDir();
void setProgramDirForTesting(const QString &dir);

// Where the settings file, the daily logs and the COM<n> links live.
// - An installed copy (the package, or `cmake --install` into any prefix) keeps them in the
//   user's data folder (QStandardPaths::AppLocalDataLocation of vantor_cal, ~/.local/share/
//   vantor_cal on Linux), created on first use, whoever runs it and whether or not its own folder
//   is writable: a program under /usr never writes beside itself.
// - A portable copy (a build folder, a zip, a USB stick) keeps them beside itself when its folder
//   is writable for this user or already holds the settings file (a copy on read-only media with
//   its settings beside it); else in the user's data folder as well.
// Decided once a run.
QString dataDir();
// The same rule for a given program folder, decided afresh.
QString chooseDataDir(const QString &folder);

// True for a copy that an install put there: the install leaves a marker file at a fixed place
// relative to the program (<prefix>/share/vantor_cal/installed beside <prefix>/bin), which a
// build folder or an unpacked zip does not have.
bool isInstalledCopy(const QString &folder);

// Files of ours that an earlier version left beside an installed program (settings, logs, port
// links). An installed copy neither reads nor writes them; empty for a portable copy.
QStringList leftoversBesideProgram(const QString &folder);

// Before the application object, unless the user's environment says otherwise:
// - Qt's own event dispatcher instead of GLib's: the console needs no GLib integration, and the
//   plain one costs about half as much per serial wake-up;
// - on X11, window contents sent over the connection instead of through shared memory: the
//   window is small and its readouts repaint up to 25 times a second, and with shared memory
//   every such repaint first waits for a round trip to the X server.
void preferLightweightGuiBackends();

// Executable name without extension; message boxes use it as their title.
QString exeName();

} // namespace platform
