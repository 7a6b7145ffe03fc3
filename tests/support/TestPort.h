#pragma once

#include "serial/SerialDevice.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"

// A serial-port instance with serial lines of its own, on the program folder `folder`
// (its ports/COMn links lead to simulators).
struct TestLines {
    SerialLines lines;
};
class TestPort : private TestLines, public SerialPort {
public:
    explicit TestPort(const QString &folder, SerialLines::DeviceFactory makeDevice = {})
        : TestLines{SerialLines(ProgramFolder::at(folder), std::move(makeDevice))},
          SerialPort(lines)
    {
    }
    bool isOpen() { return line().device().isOpen(); }
};
