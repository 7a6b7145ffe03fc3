#include "BrokerProcess.h"

#include "TestFiles.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTest>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace {
int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}
} // namespace

BrokerProcess::BrokerProcess(const QByteArray &extraConfig) : m_extraConfig(extraConfig)
{
    m_port = freePort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

BrokerProcess::~BrokerProcess()
{
    stop();
}

bool BrokerProcess::start()
{
    const QString conf = m_dir.filePath(QStringLiteral("broker.conf"));
    QByteArray config = "listener " + QByteArray::number(m_port) + " 127.0.0.1\n";
    if (!m_extraConfig.contains("allow_anonymous"))
        config += "allow_anonymous true\n";
    // Run as root, the broker would become the user "mosquitto", who cannot read the
    // test's private folders; it stays this user.
    if (const passwd *user = ::getpwuid(::getuid()))
        config += QByteArray("user ") + user->pw_name + '\n';
    config +=
        "persistence true\npersistence_location " + m_dir.path().toUtf8() + "/\n" + m_extraConfig;
    writeBytes(conf, config);
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf});
    if (!m_process.waitForStarted()) {
        m_error = m_process.errorString();
        return false;
    }
    // Ready once it accepts connections.
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (socket.waitForConnected(200))
            return true;
        if (m_process.state() != QProcess::Running)
            break;
        QTest::qWait(50);
    }
    m_error = QString::fromLocal8Bit(m_process.readAll());
    return false;
}

void BrokerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
    m_log += m_process.readAll();
}

QByteArray BrokerProcess::log()
{
    m_log += m_process.readAll();
    return m_log;
}

Subscriber::Subscriber(int port, const QString &topic, const QStringList &extra)
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                     [this] { m_out += m_process.readAllStandardOutput(); });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("mosquitto_sub"),
                    QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-q",
                                "1", "-c", "-i",
                                "sub-" + QUuid::createUuid().toString(QUuid::Id128), "-v"} +
                        extra);
    m_process.waitForStarted();
}

Subscriber::~Subscriber()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool Subscriber::waitUntilSubscribed(const QByteArray &probeTopic, int port,
                                     const QStringList &extra)
{
    // Probes until one comes back: from then on the subscription stands.
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        publishOnce(port, probeTopic, "probe", extra);
        if (waitFor(probeTopic, 1, 300))
            return true;
    }
    return false;
}

QList<QByteArray> Subscriber::payloads(const QByteArray &topic)
{
    QList<QByteArray> out;
    for (const QByteArray &line : completeLines(m_out)) {
        if (line.startsWith(topic + ' '))
            out << line.mid(topic.size() + 1);
    }
    return out;
}

bool Subscriber::waitFor(const QByteArray &topic, qsizetype count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (payloads(topic).size() < count && !deadline.hasExpired())
        QTest::qWait(20);
    return payloads(topic).size() >= count;
}

QMap<QByteArray, QByteArray> retainedMessages(int port, const QString &filter)
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(port),
                                                "-t", filter, "-v", "--retained-only", "-W", "1"});
    sub.waitForFinished(5000);
    QMap<QByteArray, QByteArray> out;
    for (const QByteArray &line : completeLines(sub.readAllStandardOutput()))
        out[line.left(line.indexOf(' '))] = line.mid(line.indexOf(' ') + 1);
    return out;
}

bool publishOnce(int port, const QByteArray &topic, const QByteArray &payload,
                 const QStringList &extra)
{
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"),
              QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-q", "1", "-t",
                          QString::fromUtf8(topic), "-m", QString::fromUtf8(payload)} +
                  extra);
    return pub.waitForFinished(3000) && pub.exitCode() == 0;
}
