// qsr540-sim: a simulated QSR540 on a pseudo-terminal. See --help for its use.

#include "OutputLine.h"
#include "PseudoTerminal.h"
#include "ReplyShaper.h"
#include "SimInstrument.h"
#include "SimOptions.h"
#include "SimReport.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <numbers>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace qsrsim {
namespace {

constexpr std::chrono::seconds valuePeriod{60}; // of the changing "R" value

class Simulator {
public:
    explicit Simulator(Options options) : m_options(std::move(options)) {}
    ~Simulator();

    int run();

private:
    bool setUpSignals();
    void readRequests(Clock::time_point now);
    bool handleSignal(); // false: time to end
    void switchFaultFromControlFile();
    std::string measuredValue() const;

    Options m_options;
    Clock::time_point m_start = Clock::now();
    int m_signals = -1;
    int m_log = -1;
    PseudoTerminal m_terminal;
    std::optional<OutputLine> m_line;
    std::optional<ReplyShaper> m_replies;
    std::optional<SimInstrument> m_instrument;
};

Simulator::~Simulator()
{
    for (int fd : {m_log, m_signals}) {
        if (fd >= 0)
            ::close(fd);
    }
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

void Simulator::readRequests(Clock::time_point now)
{
    char buffer[512];
    while (const std::size_t n = m_terminal.read(buffer, sizeof buffer, now)) {
        if (m_log >= 0 && ::write(m_log, buffer, n) != static_cast<ssize_t>(n))
            report(systemError("write " + m_options.logPath));
        for (std::size_t i = 0; i < n; ++i) {
            if (m_options.verbose)
                report("received " + SimInstrument::describeByte(buffer[i]));
            if (auto reply = m_instrument->feed(buffer[i]))
                m_replies->answer(std::move(*reply), now);
        }
    }
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
    m_replies->setFault(*fault);
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
    if (!setUpSignals() || !m_terminal.open())
        return EXIT_FAILURE;
    if (!m_options.logPath.empty()) {
        m_log = ::open(m_options.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (m_log < 0) {
            report(systemError("open " + m_options.logPath));
            return EXIT_FAILURE;
        }
    }
    if (!m_terminal.createLink(m_options.linkPath))
        return EXIT_FAILURE;
    m_line.emplace(m_terminal.master(), m_options.baud);
    m_replies.emplace(m_options, *m_line);
    m_instrument.emplace(
        m_options.parameters, [this] { return measuredValue(); }, report);

    std::cout << m_terminal.slavePath() << std::endl; // the ready line callers wait for

    while (true) {
        Clock::time_point now = Clock::now();
        const std::optional<Clock::time_point> nextFlood = m_replies->serviceFlood(now);
        std::optional<Clock::time_point> wake = m_line->service(now);
        if (nextFlood && (!wake || *nextFlood < *wake))
            wake = nextFlood;
        const std::optional<Clock::time_point> quietUntil = m_terminal.quietUntil(now);
        if (quietUntil && (!wake || *quietUntil < *wake))
            wake = quietUntil;

        int timeoutMs = -1;
        if (wake) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
            timeoutMs = static_cast<int>(std::max<long long>(0, wait.count()));
        }
        pollfd fds[2] = {{m_signals, POLLIN, 0},
                         {quietUntil ? -1 : m_terminal.master(), POLLIN, 0}};
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
            m_terminal.backOff(now);
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
