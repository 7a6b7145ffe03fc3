#pragma once

#include "core/ProcessClaim.h"

#include <QString>

// A headless logger's claim on the serial device it opens: named after the device node the
// path leads to, so that two links to one device are one claim, and moved when the path
// comes to lead elsewhere (an adapter that came back under another name). Every port cycle
// looks for another process's claim before it opens the device, so the window does not talk
// across a logger's line; a logger that serves its line names its socket beside the claim.
class DeviceClaim {
public:
    static QString lockPath(const QString &device,
                            const QString &folder = ProcessClaim::defaultFolder());
    // Another live process that claims the node `device` leads to now; pid 0 when none does.
    static ProcessClaim::Holder otherHolder(const QString &device,
                                            const QString &folder = ProcessClaim::defaultFolder());

    explicit DeviceClaim(QString folder = ProcessClaim::defaultFolder());
    ~DeviceClaim();
    DeviceClaim(const DeviceClaim &) = delete;
    DeviceClaim &operator=(const DeviceClaim &) = delete;

    // Claims the node `device` leads to now, letting go of the node claimed before when
    // that is another. False when the node is another process's (who, in `holder`) or no
    // claim can be made (why, in `error`); the earlier claim is let go all the same, since
    // this process no longer uses that node.
    bool follow(const QString &device, ProcessClaim::Holder *holder = nullptr,
                QString *error = nullptr);
    // The node claimed now; empty before the first follow().
    QString node() const { return m_node; }
    // Names the local socket this process serves the device on, beside the claim (and
    // beside every later one), so that whoever finds the claim finds the socket.
    void setSocket(const QString &path);

private:
    QString m_folder;
    QString m_node;
    void claimed(std::unique_ptr<ProcessClaim> claim);
    void release();

    std::unique_ptr<ProcessClaim> m_claim;
    QString m_socket;
};
