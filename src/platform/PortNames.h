#pragma once
// Serial port numbers to device names.
//   Windows: port n is COMn.
//   Linux and macOS: port n is the file COM<n> in the data folder (see dataDir) when it exists (a
//   symbolic link to a device). Otherwise, on Linux only, a fixed table: 1-8 /dev/ttyUSB0-7,
//   9-12 /dev/ttyACM0-3, 13-16 /dev/ttyS0-3.
// An empty result means the number names no device.

#include <QString>

namespace platform {

// The device name for port n, or "" when n names none.
QString portDeviceName(int n);

// The device name with symbolic links followed, so that two names of one device compare equal
// (and share one lock file). Equal to portDeviceName on Windows; "" for a dangling link.
QString resolvedPortDevice(int n);

// True when port n's device can be opened right now. The device is opened without waiting for
// a carrier and closed again at once, its settings untouched. On Windows the device name form and
// call are "COMn" (n < 10) or "\\\\.\\COMn" with CreateFileA(name, 0, 3, 0, OPEN_EXISTING, 128, 0).
// Elsewhere a port that another program holds by a serial lock file (LCK..<device>, as
// QSerialPort and other serial programs write it) counts as busy even where the open itself
// would succeed (as root, an exclusive open does not stop a second one).
bool portCanBeOpened(int n);

// Why a device that exists cannot be opened, in words for the technician, or "" when nothing
// stands against it. Held by another program through a lock file: "Port already open by another
// program (process <pid>)". Not permitted to this user: "Permission denied for <device>: " and the
// remedy (on Linux: the dialout group). *denied tells the second case apart.
QString portRefusal(const QString &device, bool *denied = nullptr);

// What a user who may not open serial ports does about it.
QString permissionRemedy();

// The number of ports 1 to 16 whose device exists but may not be opened by this user.
int portsDeniedToThisUser();

// For the technician: the device behind port n and, where the system knows it, the adapter's
// description and USB vendor and product ids.
QString portDescription(int n);

} // namespace platform
