// qsr540-sim: a simulated QSR540 on a pseudo-terminal. See --help for its use.

#include "OutputLine.h"
#include "SimInstrument.h"
#include "SimOptions.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <numbers>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace qsrsim {
namespace {

constexpr std::chrono::seconds valuePeriod{60};        // of the changing "R" value
constexpr std::chrono::milliseconds floodTick{10};     // flood writes a burst this often
constexpr std::size_t floodBurstUnpaced = 16;          // ~1600 characters a second
constexpr std::chrono::milliseconds hangUpBackoff{50}; // if the master ever reports a hang-up
constexpr std::string_view strayBytes = "#~";
constexpr std::string_view floodPattern = "0123456789";

void report(const std::string &line)
{
    std::cerr << "qsr540-sim: " << line << std::endl;
}

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

class Simulator {
public:
    explicit Simulator(Options options) : m_options(std::move(options)) {}
    ~Simulator();

    int run();

private:
    bool openTerminal();
    bool createLink();
    void removeLink();
    bool setUpSignals();
    void readRequests(Clock::time_point now);
    void answer(std::string reply, Clock::time_point now);
    void serviceFlood(Clock::time_point now);
    bool handleSignal(); // false: time to end
    void switchFaultFromControlFile();
    std::string measuredValue() const;

    Options m_options;
    Clock::time_point m_start = Clock::now();
    int m_master = -1;
    int m_slave = -1; // held for our whole life so client closes never hang up the master
    int m_signals = -1;
    int m_log = -1;
    std::string m_slavePath;
    bool m_linkCreated = false;
    long long m_readsAnswered = 0;
    bool m_flooding = false;
    std::size_t m_floodPosition = 0;
    Clock::time_point m_nextFlood{};
    Clock::time_point m_masterQuietUntil{};
    std::optional<OutputLine> m_line;
    std::optional<SimInstrument> m_instrument;
};

Simulator::~Simulator()
{
    removeLink();
    for (int fd : {m_log, m_signals, m_slave, m_master}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool Simulator::openTerminal()
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

bool Simulator::createLink()
{
    if (m_options.linkPath.empty())
        return true;
    struct stat st {};
    if (::lstat(m_options.linkPath.c_str(), &st) == 0) {
        // Replace a link left by an earlier run, but never a real file or folder.
        if (!S_ISLNK(st.st_mode)) {
            report(m_options.linkPath + " exists and is not a symbolic link");
            return false;
        }
        if (::unlink(m_options.linkPath.c_str()) != 0) {
            report(systemError("unlink " + m_options.linkPath));
            return false;
        }
    }
    if (::symlink(m_slavePath.c_str(), m_options.linkPath.c_str()) != 0) {
        report(systemError("symlink " + m_options.linkPath));
        return false;
    }
    m_linkCreated = true;
    return true;
}

void Simulator::removeLink()
{
    if (!m_linkCreated)
        return;
    m_linkCreated = false;
    // A newer simulator may have taken the link over; leave that one alone.
    char target[4096];
    const ssize_t n = ::readlink(m_options.linkPath.c_str(), target, sizeof target - 1);
    if (n < 0 || std::string(target, static_cast<std::size_t>(n)) != m_slavePath)
        return;
    ::unlink(m_options.linkPath.c_str());
}

bool Simulator::setUpSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaddset(&set, sig);
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        report(systemError("sigprocmask"));
        return false;
    }
    m_signals = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signals < 0) {
        report(systemError("signalfd"));
        return false;
    }
    if (m_options.exitWithParent) {
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) {
            report(systemError("prctl"));
            return false;
        }
        if (::getppid() == 1) { // the parent ended before we asked
            report("parent process already gone");
            return false;
        }
    }
    return true;
}

std::string Simulator::measuredValue() const
{
    if (m_options.fixedValue)
        return *m_options.fixedValue;
    const double t = std::chrono::duration<double>(Clock::now() - m_start).count();
    const double phase = 2.0 * std::numbers::pi * t / static_cast<double>(valuePeriod.count());
    char text[64];
    std::snprintf(text, sizeof text, "%.3f",
                  m_options.centre + m_options.amplitude * std::sin(phase));
    return text;
}

void Simulator::answer(std::string reply, Clock::time_point now)
{
    const Fault fault = m_options.fault;
    if (fault == Fault::Silent)
        return;
    if (m_options.stopAfter && m_readsAnswered >= *m_options.stopAfter)
        return;
    ++m_readsAnswered;

    switch (fault) {
    case Fault::NonNumber:
        reply = "ERR\r";
        break;
    case Fault::Lf:
        reply += "\r\n";
        break;
    case Fault::NoCr:
        break;
    case Fault::Stray:
        reply = std::string(strayBytes) + reply + "\r";
        break;
    default:
        reply += "\r";
        break;
    }
    if (fault == Fault::OneChar)
        reply.resize(1);

    const Clock::time_point due = now + m_options.delay;
    bool queued = true;
    if (fault == Fault::Split && reply.size() > 2) {
        queued = m_line->enqueue(reply.substr(0, 2), due) &&
                 m_line->enqueue(reply.substr(2), due + m_options.splitGap);
    } else {
        queued = m_line->enqueue(reply, due);
    }
    if (!queued)
        report("output queue full, reply dropped");
    if (fault == Fault::Flood && !m_flooding) {
        m_flooding = true;
        m_nextFlood = due;
    }
}

void Simulator::readRequests(Clock::time_point now)
{
    char buffer[512];
    while (true) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Cannot happen while we hold the slave open; never spin on it if it does.
                report(systemError("read"));
                m_masterQuietUntil = now + hangUpBackoff;
            }
            return;
        }
        if (n == 0)
            return;
        if (m_log >= 0 && ::write(m_log, buffer, static_cast<std::size_t>(n)) != n)
            report(systemError("write " + m_options.logPath));
        for (ssize_t i = 0; i < n; ++i) {
            if (m_options.verbose)
                report("received " + SimInstrument::describeByte(buffer[i]));
            if (auto reply = m_instrument->feed(buffer[i]))
                answer(std::move(*reply), now);
        }
    }
}

void Simulator::serviceFlood(Clock::time_point now)
{
    if (!m_flooding || m_options.fault != Fault::Flood) {
        m_flooding = false;
        return;
    }
    if (now < m_nextFlood || !m_line->isIdle())
        return;
    std::size_t burst = floodBurstUnpaced;
    if (m_options.baud > 0)
        burst = std::max<std::size_t>(1, static_cast<std::size_t>(m_options.baud) / 1000);
    std::string bytes;
    for (std::size_t i = 0; i < burst; ++i)
        bytes.push_back(floodPattern[m_floodPosition++ % floodPattern.size()]);
    m_line->writeOrDrop(bytes);
    m_nextFlood = now + floodTick;
}

void Simulator::switchFaultFromControlFile()
{
    if (m_options.controlPath.empty()) {
        report("SIGUSR1 ignored: no --control file");
        return;
    }
    std::ifstream file(m_options.controlPath);
    std::string line;
    if (!file || !std::getline(file, line)) {
        report("cannot read control file " + m_options.controlPath);
        return;
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    const auto fault = parseFault(line);
    if (!fault) {
        report("control file names no fault kind: \"" + line + "\"");
        return;
    }
    m_options.fault = *fault;
    if (*fault != Fault::Flood)
        m_flooding = false;
    std::cout << "fault " << faultName(*fault) << std::endl;
}

bool Simulator::handleSignal()
{
    signalfd_siginfo info{};
    while (::read(m_signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1)
            switchFaultFromControlFile();
        else
            return false;
    }
    return true;
}

int Simulator::run()
{
    if (!setUpSignals() || !openTerminal())
        return EXIT_FAILURE;
    if (!m_options.logPath.empty()) {
        m_log = ::open(m_options.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (m_log < 0) {
            report(systemError("open " + m_options.logPath));
            return EXIT_FAILURE;
        }
    }
    if (!createLink())
        return EXIT_FAILURE;
    m_line.emplace(m_master, m_options.baud);
    m_instrument.emplace(
        m_options.parameters, [this] { return measuredValue(); }, report);

    std::cout << m_slavePath << std::endl; // the ready line callers wait for

    while (true) {
        Clock::time_point now = Clock::now();
        serviceFlood(now);
        std::optional<Clock::time_point> wake = m_line->service(now);
        if (m_flooding && (!wake || m_nextFlood < *wake))
            wake = m_nextFlood;
        const bool masterQuiet = now < m_masterQuietUntil;
        if (masterQuiet && (!wake || m_masterQuietUntil < *wake))
            wake = m_masterQuietUntil;

        int timeoutMs = -1;
        if (wake) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
            timeoutMs = static_cast<int>(std::max<long long>(0, wait.count()));
        }
        pollfd fds[2] = {{m_signals, POLLIN, 0}, {masterQuiet ? -1 : m_master, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            report(systemError("poll"));
            return EXIT_FAILURE;
        }
        now = Clock::now();
        if ((fds[0].revents & POLLIN) && !handleSignal())
            return EXIT_SUCCESS;
        if (fds[1].revents & POLLIN)
            readRequests(now);
        else if (fds[1].revents & (POLLHUP | POLLERR))
            m_masterQuietUntil = now + hangUpBackoff;
    }
}

} // namespace
} // namespace qsrsim

int main(int argc, char **argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const qsrsim::ParseResult parsed = qsrsim::parseOptions(args);
    if (!parsed.error.empty()) {
        std::cerr << "qsr540-sim: " << parsed.error << "\nTry 'qsr540-sim --help'." << std::endl;
        return 2;
    }
    if (parsed.options.help) {
        std::cout << qsrsim::usageText();
        return EXIT_SUCCESS;
    }
    qsrsim::Simulator simulator(parsed.options);
    return simulator.run();
}
