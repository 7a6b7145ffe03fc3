#pragma once

#include "core/Options.h"

#include <QTest>

// Options as a failed comparison prints them.
inline char *toString(const Options &o)
{
    return QTest::toString(QStringLiteral("{poll %1 events %2 daily %3 awake %4}")
                               .arg(o.keepPolling)
                               .arg(o.eventFile)
                               .arg(o.dailyLog)
                               .arg(o.keepAwake));
}
