#pragma once

#include "core/Session.h"
#include "monitor/Clock.h"
#include "monitor/LiveHistory.h"

#include <chrono>
#include <functional>

class Prompts;
class SerialLines;
class SleepInhibitor;

// What every window needs from the application: the session, the prompts and the serial
// lines every exchange with the instrument goes through. Owned by the application;
// outlives every window.
struct UiContext {
    Session &session;
    Prompts &prompts;
    SerialLines &lines;
    // The local time: of readings, log records, and the Trend window's now.
    const Clock &clock;
    // What one second of an interval selector lasts. Tests shorten it.
    std::chrono::milliseconds secondLength{1000};
    // Keeps the computer awake while logging, made when first asked for; none when empty.
    std::function<SleepInhibitor &()> sleepInhibitor{};
    // What the Main windows' polling received in this run, through every change of
    // language: the Trend window's live data.
    LiveHistory history{};
};
