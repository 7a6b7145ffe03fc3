#include "serial/DeviceClaim.h"

#include <QFile>
#include <QSaveFile>

namespace {
const QString prefix = QStringLiteral("qsrlink-logger");

// The file beside a claim that names its socket.
QString socketNote(const QString &lockPath)
{
    return lockPath + QStringLiteral(".socket");
}
} // namespace

QString DeviceClaim::lockPath(const QString &device, const QString &folder)
{
    return ProcessClaim::lockPath(prefix, device, folder);
}

ProcessClaim::Holder DeviceClaim::otherHolder(const QString &device, const QString &folder)
{
    ProcessClaim::Holder holder = ProcessClaim::otherHolder(lockPath(device, folder));
    if (holder.pid && holder.program.isEmpty())
        holder.program = prefix; // only loggers claim devices
    if (holder.pid) {
        QFile note(socketNote(lockPath(device, folder)));
        if (note.open(QIODevice::ReadOnly))
            holder.socket = QString::fromUtf8(note.readLine(4096)).trimmed();
    }
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
    release();
    m_node = node;
    auto claim = std::make_unique<ProcessClaim>(lockPath(device, m_folder));
    if (!claim->take(holder, error)) {
        if (holder && holder->pid && holder->program.isEmpty())
            holder->program = prefix;
        return false;
    }
    claimed(std::move(claim));
    return true;
}

void DeviceClaim::setSocket(const QString &path)
{
    m_socket = path;
    if (m_claim)
        claimed(std::move(m_claim));
}

DeviceClaim::~DeviceClaim()
{
    release();
}

void DeviceClaim::claimed(std::unique_ptr<ProcessClaim> claim)
{
    m_claim = std::move(claim);
    if (m_socket.isEmpty())
        return;
    // Written whole or not at all; readable by every user who may look for the claim.
    QSaveFile note(socketNote(m_claim->path()));
    if (note.open(QIODevice::WriteOnly)) {
        note.write(m_socket.toUtf8() + '\n');
        note.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ReadGroup | QFileDevice::ReadOther);
        note.commit();
    }
}

void DeviceClaim::release()
{
    if (m_claim && !m_socket.isEmpty())
        QFile::remove(socketNote(m_claim->path()));
    m_claim.reset();
}
