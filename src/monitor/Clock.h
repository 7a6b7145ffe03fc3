#pragma once

#include <QDateTime>

// The local date and time, replaceable in tests (midnight, clock steps).
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};
