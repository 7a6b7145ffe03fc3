#pragma once

#include "core/Session.h"
#include "monitor/TrendSeries.h"

#include <chrono>
#include <functional>

class Clock;
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
    // The local time for log records; null means the system clock.
    const Clock *clock = nullptr;
    // What one second of an interval selector lasts. Tests shorten it.
    std::chrono::milliseconds secondLength{1000};
    // Keeps the computer awake while logging, made when first asked for; none when empty.
    std::function<SleepInhibitor &()> sleepInhibitor{};
    // What the Main windows' polling received in this run, through every change of
    // language: the Trend window's live data.
    TrendSeries trend{};
};
