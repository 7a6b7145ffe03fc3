#pragma once

#include <QtGlobal>

#include <chrono>

// Due times of a repeating tick that neither drifts nor bunches: tick k is due at
// first + k * interval, whatever the lateness of earlier ticks. All times in milliseconds
// on one clock chosen by the caller.
//
// With a phase, the first tick is moved later to the next moment that lies `phase` past a
// whole second, so that ticks of whole-second intervals sit mid-second and each record's
// seconds field is distinct and consecutive even with a little timer jitter. The seconds
// may be another clock's: `offset` is how far that clock is ahead of the schedule's (the
// wall clock against a monotonic one).
class TickSchedule {
public:
    using ms = std::chrono::milliseconds;

    void start(ms now, ms interval);
    void startAligned(ms now, ms interval, ms phase, ms offset = ms(0));
    // The other clock was set (or slewed): moves the next tick by at most half a second to
    // where it sits `phase` past that clock's second again. No tick is lost or doubled, as
    // a whole-second interval is longer than the move.
    void realign(ms phase, ms offset);

    ms nextDue() const { return m_next; }
    ms delayFrom(ms now) const { return m_next > now ? m_next - now : ms(0); }
    // The tick due has run at `now`: moves to the next due time after now, skipping any
    // missed ones (a machine that slept does not fire a burst of ticks). Returns how many
    // due times were skipped.
    int advance(ms now);

private:
    // Where the next tick falls within the other clock's second, less `phase`: 0..999.
    ms withinSecond(ms phase, ms offset) const;

    ms m_next{0};
    ms m_interval{1000};
};
