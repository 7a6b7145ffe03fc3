#pragma once

#include "core/ProcessClaim.h"

#include <QString>

// A headless logger's claim on the serial device it opens: named after the device node the
// path leads to, so that two links to one device are one claim, and moved when the path
// comes to lead elsewhere (an adapter that came back under another name). Every port cycle
// looks for another process's claim before it opens the device, so the window does not talk
// across a logger's line.
class DeviceClaim {
public:
    static QString lockPath(const QString &device,
                            const QString &folder = ProcessClaim::defaultFolder());
    // Another live process that claims the node `device` leads to now; pid 0 when none does.
    static ProcessClaim::Holder otherHolder(const QString &device,
                                            const QString &folder = ProcessClaim::defaultFolder());

    explicit DeviceClaim(QString folder = ProcessClaim::defaultFolder());

    // Claims the node `device` leads to now, letting go of the node claimed before when
    // that is another. False when the node is another process's (who, in `holder`) or no
    // claim can be made (why, in `error`); the earlier claim is let go all the same, since
    // this process no longer uses that node.
    bool follow(const QString &device, ProcessClaim::Holder *holder = nullptr,
                QString *error = nullptr);
    // The node claimed now; empty before the first follow().
    QString node() const { return m_node; }

private:
    QString m_folder;
    QString m_node;
    std::unique_ptr<ProcessClaim> m_claim;
};
