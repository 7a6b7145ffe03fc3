#pragma once

#include "serial/PortProblem.h"

#include <QByteArray>
#include <QString>

#include <functional>

// One request of a port cycle, and whether its reply is awaited before the next request.
struct Exchange {
    QByteArray request;
    bool awaitsReply = false;
};

enum class CycleStatus {
    Ok,
    TimedOut,      // no complete reply within the wait bound
    OpenFailed,    // missing, busy or forbidden port
    WriteFailed,   // the request could not be handed to the line
    LineFailed,    // the line failed while open (adapter unplugged, device gone)
    BadReply,      // the caller refused a reply (not a number, does not fit)
    OutputDropped, // the line did not send all output in its time; the rest was discarded
};

struct CycleResult {
    CycleStatus status = CycleStatus::Ok;
    QString reason;    // the operating system's or the caller's reason; empty when Ok
    int completed = 0; // exchanges that ran to their end
    qint64 unsent = 0; // OutputDropped: bytes still queued when they were discarded

    // OpenFailed: why, as far as the system tells.
    PortProblem problem;
};

// Called with each reply as it arrives, before the next request is written. Returning
// false ends the cycle with BadReply and the given reason.
using ReplyHandler = std::function<bool(int index, const QByteArray &reply, QString *reason)>;
// Called once when a cycle has ended, with the port closed.
using FinishHandler = std::function<void(const CycleResult &result)>;
