#pragma once

#include "serial/Exchange.h"
#include "serial/Protocol.h"
#include "ui/MainTexts.h"

#include <QString>

// The informative text under "communication error!" for a failed port cycle: nothing for a
// time-out, the program's own reason in the window's language, what to do about a port
// that did not open when the cause is known, or else the system's reason as it gives it.
QString failureDetail(const MainTexts &texts, const CycleResult &result);
// Why a reply was refused, in the window's language; empty for a reply that was taken.
QString replyFaultText(const MainTexts &texts, const Protocol::ApplyResult &result);
