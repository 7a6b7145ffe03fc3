#pragma once

#include "core/ProgramFolder.h"

#include <QString>

// Serial port number n (COM1..COM7) to the device that is opened: the link or device
// <folder>/ports/COMn when it exists (data folder first, then the install folder; a dangling
// link still counts, so its error is reported instead of silently using another port),
// otherwise the platform's n-th port: /dev/ttyS<n-1> on Linux, COMn on Windows.
namespace PortMapping {
QString deviceFor(int portNumber, const ProgramFolder &folder);
}
