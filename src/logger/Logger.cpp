#include "logger/Logger.h"

#include "logger/MqttPublisher.h"
#include "logger/ReadingFormat.h"
#include "params/ParameterRules.h"
#include "serial/SerialLines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QRegularExpression>

#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {
using namespace std::chrono_literals;
// The history a window attaching is sent: a day at one reading a second.
constexpr qsizetype historyPoints = 24 * 3600;
// At the end, the broker gets this long to take what is still queued.
constexpr std::chrono::milliseconds brokerBound = 3s;

void flush(QIODevice &device)
{
    if (auto *file = qobject_cast<QFileDevice *>(&device))
        file->flush();
}
} // namespace

Logger::Logger(const LoggerConfig &config, SerialLines &lines, const Clock &clock, QIODevice &out,
               QIODevice &err, MqttPublisher *publisher, QObject *parent)
    : QObject(parent), m_config(config), m_clock(clock), m_out(out), m_err(err),
      m_publisher(publisher), m_port(lines), m_monitor(m_port, clock), m_history(historyPoints)
{
    m_history.follow(m_monitor);
    m_monitor.setPollsWaitForTheLine(true); // windows' cycles come between polls
    if (m_config.device.isEmpty())
        m_port.setCommPort(m_config.portNumber);
    else
        m_port.setDevice(m_config.device);
    m_port.setSettings(SerialPort::settingsFor(m_config.baud));
    m_monitor.setUnattended({true, true, m_config.daily});

    connect(&m_monitor, &Monitor::reading, this, &Logger::onReading);
    connect(&m_monitor, &Monitor::instrumentLost, this,
            [this](const QDateTime &since, const CycleResult &result) {
                const QString why = Monitor::describeFailure(result);
                say(ReadingFormat::isoTime(since) + " instrument lost: " + why.toLocal8Bit());
                if (m_publisher)
                    m_publisher->publishEvent(since, "lost", why);
            });
    connect(&m_monitor, &Monitor::instrumentBack, this, [this](const QDateTime &at) {
        say(ReadingFormat::isoTime(at) + " instrument answers again");
        if (m_publisher)
            m_publisher->publishEvent(at, "back", QString());
    });
    connect(&m_monitor, &Monitor::logFailed, this, [this](const QString &, const QString &why) {
        say("cannot write " + why.toLocal8Bit()); // the reason names the file
        m_status = failed;
        stop();
    });
    connect(&m_monitor, &Monitor::pollEnded, this, [this] {
        if (m_stopping)
            afterCycle();
        else if (m_parametersWanted && m_answering)
            loadParameters();
    });
    connect(&m_monitor, &Monitor::reading, this, [this] { m_answering = true; });
    connect(&m_monitor, &Monitor::instrumentLost, this, [this] { m_answering = false; });
    if (m_publisher) {
        const QByteArray broker =
            m_config.mqtt
                ? (m_config.mqtt->host + u':' + QString::number(m_config.mqtt->port)).toLocal8Bit()
                : QByteArray("broker");
        connect(m_publisher, &MqttPublisher::stateChanged, this,
                [this, broker](const QString &text) {
                    say("mqtt " + broker + ": " + text.toLocal8Bit());
                });
        connect(m_publisher, &MqttPublisher::finished, this, [this] { endWith(m_status); });
    }
    m_brokerBound.setSingleShot(true);
    connect(&m_brokerBound, &QTimer::timeout, this, [this] { m_publisher->abandon(); });
}

bool Logger::start()
{
    const QString device = m_port.deviceName();
    ProcessClaim::Holder holder;
    QString error;
    if (!m_claim.follow(device, &holder, &error)) {
        if (holder.pid)
            say(m_config.instrumentName().toLocal8Bit() + " (" + m_claim.node().toLocal8Bit() +
                ") is logged already, by " + holder.describe().toLocal8Bit() +
                "; one logger per instrument");
        else
            say(error.toLocal8Bit());
        return false;
    }
    m_port.setClaim(&m_claim); // from now on the claim follows the node each cycle opens
    QByteArray text = "polling " + m_config.instrumentName().toLocal8Bit();
    if (m_config.device.isEmpty())
        text += " (" + device.toLocal8Bit() + ')';
    text += " at " + QByteArray::number(m_config.baud) + " baud every " +
            QByteArray::number(m_config.pollSeconds) + " s";
    if (!m_config.logPath.isEmpty())
        text += ", logging to " + m_config.logPath.toLocal8Bit() +
                (m_config.daily ? " (a file a day)" : "") + " every " +
                QByteArray::number(m_config.logSeconds) + " s";

    m_monitor.startPolling(std::chrono::seconds(m_config.pollSeconds));
    ProcessClaim::Holder writer;
    if (!m_config.logPath.isEmpty() &&
        !m_monitor.startLogging(std::chrono::seconds(m_config.logSeconds), m_config.logPath,
                                &writer)) {
        m_monitor.stopPolling(); // before its first poll: nothing was sent
        say(m_config.logPath.toLocal8Bit() + " is written already, by " +
            writer.describe().toLocal8Bit() + "; one writer per log file");
        return false;
    }
    say(text);
    serve();
    if (m_publisher) {
        m_publisher->start();
        m_answering = true; // worth a try before the first poll
        loadParameters();
    }
    return true;
}

void Logger::loadParameters()
{
    m_parametersWanted = true;
    if (!m_publisher || m_loading || m_stopping || m_port.isBusy())
        return; // after the next poll
    auto read = std::make_shared<ParameterSet>();
    m_loading = true;
    m_port.startCycle(
        ParameterRules::loadExchanges(),
        [read](int index, const QByteArray &reply, QString *) {
            return ParameterRules::storeLoadReply(*read, index, reply).ok();
        },
        this,
        [this, read](const CycleResult &result) {
            m_loading = false;
            if (result.status == CycleStatus::Ok) {
                m_parametersWanted = false;
                m_publisher->publishParameters(m_clock.now(), *read);
            } else {
                m_answering = false; // again once a poll has its reply
            }
            m_monitor.lineFreed();
            if (m_stopping && !m_monitor.isPollRunning())
                afterCycle();
        });
}

namespace {
// The folder the service manager gives in `service` (the first of several), else the
// user's `xdg` folder's qsrlink, else `fallback`.
QString folderFor(const char *service, const char *xdg, const QString &fallback)
{
    const QString given = qEnvironmentVariable(service).section(u':', 0, 0);
    if (!given.isEmpty())
        return given;
    const QString user = qEnvironmentVariable(xdg);
    return user.isEmpty() ? fallback : user + QStringLiteral("/qsrlink");
}
} // namespace

QString Logger::runtimeFolder()
{
    return folderFor("RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR",
                     QDir::tempPath() + QStringLiteral("/qsrlink-") + QString::number(::getuid()));
}

QString Logger::stateFolder()
{
    return folderFor("STATE_DIRECTORY", "XDG_STATE_HOME",
                     QDir::homePath() + QStringLiteral("/.local/state/qsrlink"));
}

void Logger::serve()
{
    if (m_config.socket == QLatin1String("none"))
        return;
    QString path = m_config.socket;
    if (path.isEmpty()) {
        // By instance, else by the node: /dev/ttyUSB0 serves at ttyUSB0.sock.
        QString name = m_config.instance;
        if (name.isEmpty())
            name = m_claim.node()
                       .remove(QRegularExpression(QStringLiteral("^/dev/")))
                       .replace(u'/', u'-');
        path = runtimeFolder() + u'/' + name + QStringLiteral(".sock");
    }
    ShareProtocol::Hello hello;
    hello.pid = QCoreApplication::applicationPid();
    hello.program = QStringLiteral("qsrlink-logger");
    hello.instance = m_config.instance;
    hello.device = m_config.instrumentName();
    hello.node = m_claim.node();
    hello.speed = m_config.baud;
    hello.pollSeconds = m_config.pollSeconds;
    hello.logSeconds = m_config.logPath.isEmpty() ? 0 : m_config.logSeconds;
    m_share = std::make_unique<ShareServer>(m_port, m_monitor, m_history, hello);
    // A Transmission changed the instrument's parameters: the broker gets them anew.
    connect(m_share.get(), &ShareServer::cycleRan, this,
            [this](const ShareProtocol::CycleRequest &request, const CycleResult &result) {
                const bool wrote = std::any_of(request.exchanges.begin(), request.exchanges.end(),
                                               [](const Exchange &e) { return !e.awaitsReply; });
                if (wrote && result.status == CycleStatus::Ok && m_publisher)
                    m_parametersWanted = true;
            });
    QString problem;
    if (!m_share->listen(path, m_claim.node(), &problem)) {
        say(problem.toLocal8Bit() + "; windows cannot attach");
        m_share.reset();
        return;
    }
    if (!problem.isEmpty())
        say(problem.toLocal8Bit());
    m_claim.setSocket(path);
    say("windows attach at " + path.toLocal8Bit());
}

void Logger::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_monitor.stopPolling(); // the log is closed between records: it is complete now
    if (!m_monitor.isPollRunning() && !m_loading)
        afterCycle(); // else once the line is free
}

void Logger::afterCycle()
{
    if (!m_publisher) {
        endWith(m_status);
        return;
    }
    m_brokerBound.start(brokerBound);
    m_publisher->finish();
}

void Logger::endWith(int status)
{
    m_brokerBound.stop();
    Q_EMIT finished(status);
}

void Logger::onReading(const QDateTime &at, const QByteArray &reply)
{
    if (!m_config.quiet) {
        m_out.write(ReadingFormat::line(at, reply));
        flush(m_out);
    }
    if (m_publisher)
        m_publisher->publishReading(at, reply);
}

void Logger::say(const QByteArray &text)
{
    m_err.write("qsrlink-logger: " + text + '\n');
    flush(m_err);
}
