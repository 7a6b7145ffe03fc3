#pragma once

#include "core/Session.h"

#include <chrono>
#include <functional>

class Clock;
class Prompts;
class SerialPort;
class QObject;

// What every window needs from the application: the session, the prompts and a way to
// make serial ports. Owned by the application; outlives every window.
struct UiContext {
    Session &session;
    Prompts &prompts;
    // Makes a serial port owned by `parent`.
    std::function<SerialPort *(QObject *parent)> makePort;
    // The local time for log records; null means the system clock.
    const Clock *clock = nullptr;
    // What one second of an interval selector lasts. Tests shorten it.
    std::chrono::milliseconds secondLength{1000};
};
