#include "serial/DeviceClaim.h"

namespace {
const QString prefix = QStringLiteral("qsrlink-logger");
}

QString DeviceClaim::lockPath(const QString &device, const QString &folder)
{
    return ProcessClaim::lockPath(prefix, device, folder);
}

ProcessClaim::Holder DeviceClaim::otherHolder(const QString &device, const QString &folder)
{
    ProcessClaim::Holder holder = ProcessClaim::otherHolder(lockPath(device, folder));
    if (holder.pid && holder.program.isEmpty())
        holder.program = prefix; // only loggers claim devices
    return holder;
}

DeviceClaim::DeviceClaim(QString folder) : m_folder(std::move(folder))
{
}

bool DeviceClaim::follow(const QString &device, ProcessClaim::Holder *holder, QString *error)
{
    const QString node = ProcessClaim::resolved(device);
    if (m_claim && node == m_node)
        return true;
    m_claim.reset();
    m_node = node;
    auto claim = std::make_unique<ProcessClaim>(lockPath(device, m_folder));
    if (!claim->take(holder, error)) {
        if (holder && holder->pid && holder->program.isEmpty())
            holder->program = prefix;
        return false;
    }
    m_claim = std::move(claim);
    return true;
}
