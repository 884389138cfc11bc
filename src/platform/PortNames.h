#pragma once
// Serial port numbers to device names.
//   Windows: port n is COMn.
//   Linux and macOS: port n is the file COM<n> in the program's folder when it exists (normally a
//   symbolic link to a device). Otherwise, on Linux only, a fixed table: 1-8 /dev/ttyUSB0-7,
//   9-12 /dev/ttyACM0-3, 13-16 /dev/ttyS0-3.
// An empty result means the number names no device.

#include <QString>

namespace platform {

// The device name for port n, or "" when n names none.
QString PortDeviceName(int n);

// The device name with symbolic links followed, so that two names of one device compare equal
// (and share one lock file). Equal to PortDeviceName on Windows; "" for a dangling link.
QString ResolvedPortDevice(int n);

} // namespace platform
