#include "PseudoTerminal.h"

#include "SimReport.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace qsrsim {

PseudoTerminal::~PseudoTerminal()
{
    removeLink();
    for (int fd : {m_slave, m_master}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool PseudoTerminal::open()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        report(systemError("posix_openpt"));
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        report(systemError("grantpt/unlockpt"));
        return false;
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        report(systemError("ptsname"));
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0) {
        report(systemError("open " + m_slavePath));
        return false;
    }
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0) {
        report(systemError("tcgetattr"));
        return false;
    }
    // Raw, above all without echo: an echo would feed our own replies back to us as requests.
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        report(systemError("tcsetattr"));
        return false;
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        report(systemError("fcntl O_NONBLOCK"));
        return false;
    }
    return true;
}

bool PseudoTerminal::createLink(const std::string &path)
{
    if (path.empty())
        return true;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        // Replace a link left by an earlier run, but never a real file or folder.
        if (!S_ISLNK(st.st_mode)) {
            report(path + " exists and is not a symbolic link");
            return false;
        }
        if (::unlink(path.c_str()) != 0) {
            report(systemError("unlink " + path));
            return false;
        }
    }
    if (::symlink(m_slavePath.c_str(), path.c_str()) != 0) {
        report(systemError("symlink " + path));
        return false;
    }
    m_linkPath = path;
    return true;
}

void PseudoTerminal::removeLink()
{
    if (m_linkPath.empty())
        return;
    const std::string path = std::move(m_linkPath);
    m_linkPath.clear();
    // A newer simulator may have taken the link over; leave that one alone.
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0 || std::string(target, static_cast<std::size_t>(n)) != m_slavePath)
        return;
    ::unlink(path.c_str());
}

std::size_t PseudoTerminal::read(char *buffer, std::size_t size, Clock::time_point now)
{
    while (true) {
        const ssize_t n = ::read(m_master, buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            // Cannot happen while we hold the slave open; never spin on it if it does.
            report(systemError("read"));
            backOff(now);
        }
        return 0;
    }
}

void PseudoTerminal::backOff(Clock::time_point now)
{
    m_quietUntil = now + hangUpBackoff;
}

std::optional<Clock::time_point> PseudoTerminal::quietUntil(Clock::time_point now) const
{
    if (now < m_quietUntil)
        return m_quietUntil;
    return std::nullopt;
}

} // namespace qsrsim
