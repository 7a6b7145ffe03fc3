#include "logger/LoggerConfig.h"

#include "core/SettingsFile.h"
#include "core/SmallFile.h"
#include "logger/OptionChecks.h"
#include "logger/OptionTable.h"
#include "serial/PortMapping.h"
#include "serial/SerialPort.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace LoggerOptions {
namespace {

QString lastValue(const QCommandLineParser &p, const QString &name)
{
    const QStringList values = p.values(name);
    return values.isEmpty() ? QString() : values.last();
}

// Values of the command line: the config file's have been checked line by line already.
void checkValues(const QCommandLineParser &p)
{
    for (const QString &name : p.optionNames()) {
        for (const QString &value : p.values(name)) {
            if (const auto c = controlIn(value))
                throw Failed{QStringLiteral("--%1: the value holds %2").arg(name, named(*c))};
        }
    }
    for (const Option &o : optionTable) {
        if (o.kind != Kind::Path)
            continue;
        const QString name = QLatin1String(o.name);
        for (const QString &value : p.values(name))
            checkPath(QStringLiteral("--") + name, value);
    }
}

// The value of a whole-number option, or `fallback` when it is not given.
int whole(const QCommandLineParser &p, const char *name, int fallback)
{
    const QString key = QLatin1String(name);
    if (!p.isSet(key))
        return fallback;
    const Range &range = findOption(key)->range;
    const QString text = lastValue(p, key);
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < range.min || value > range.max)
        throw Failed{QStringLiteral("--%1 takes %2 from %3 to %4, not \"%5\"")
                         .arg(key, QLatin1String(range.unit))
                         .arg(range.min)
                         .arg(range.max)
                         .arg(text)};
    return value;
}

// Refuses the first option given that needs what is missing (`what`).
void checkNeeds(const QCommandLineParser &p, Needs needs, const QString &what)
{
    for (const Option &o : optionTable) {
        if (o.needs == needs && p.isSet(QLatin1String(o.name)))
            throw Failed{QStringLiteral("--%1 needs %2").arg(QLatin1String(o.name), what)};
    }
}

QByteArray readSmall(const QString &path, const QString &what)
{
    QString why;
    const auto bytes = SmallFile::read(path, &why);
    if (!bytes)
        throw Failed{QStringLiteral("cannot read the %1 %2: %3").arg(what, path, why)};
    return *bytes;
}

void applySettingsFile(const QString &path, LoggerConfig &c)
{
    const QByteArray bytes = readSmall(path, QStringLiteral("settings file"));
    QString why;
    const auto settings = SettingsFile::parse(bytes, SettingsRead::Short, QString(), &why);
    if (!settings)
        throw Failed{QStringLiteral("the settings file %1 is damaged: %2").arg(path, why)};
    const int number = settings->port + 1;
    if (number < SerialPort::firstPort || number > SerialPort::lastPort ||
        !SerialPort::isValidSettings(SerialPort::settingsFor(settings->baud)))
        throw Failed{QStringLiteral("the settings file %1 names no usable port and speed (port "
                                    "%2, %3 baud)")
                         .arg(path)
                         .arg(number)
                         .arg(settings->baud)};
    c.portNumber = number;
    c.linkFolder = QFileInfo(path).absolutePath();
    c.baud = settings->baud;
    c.logPath = settings->fom1file;
    checkPath(QStringLiteral("the log path of the settings file %1").arg(path), c.logPath);
}

// A file name without a folder is taken from the service manager's credentials, where the
// service is given its secrets.
QString credential(const QString &file, const Environment &env)
{
    if (!file.contains(u'/') && !env.credentialsDirectory.isEmpty())
        return QDir(env.credentialsDirectory).filePath(file);
    return QFileInfo(file).absoluteFilePath();
}

void applyClientCertificate(const QCommandLineParser &p, const Environment &env,
                            LoggerConfig::Mqtt &m)
{
    const bool cert = p.isSet(QStringLiteral("mqtt-certfile"));
    if (cert != p.isSet(QStringLiteral("mqtt-keyfile")))
        throw Failed{QStringLiteral("give --mqtt-certfile and --mqtt-keyfile together")};
    if (!cert)
        return;
    if (!m.tls)
        throw Failed{QStringLiteral("--mqtt-certfile is for mqtts:// addresses")};
    m.certFile = QFileInfo(lastValue(p, QStringLiteral("mqtt-certfile"))).absoluteFilePath();
    m.keyFile = credential(lastValue(p, QStringLiteral("mqtt-keyfile")), env);
    for (const auto &[file, what] :
         {std::pair{m.certFile, "client certificate"}, std::pair{m.keyFile, "client key"}}) {
        if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable())
            throw Failed{
                QStringLiteral("cannot read the %1 file %2").arg(QLatin1String(what), file)};
    }
}

LoggerConfig::Mqtt mqttFrom(const QCommandLineParser &p, const Environment &env)
{
    const QString text = lastValue(p, QStringLiteral("mqtt"));
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    LoggerConfig::Mqtt m;
    m.tls = scheme == QLatin1String("mqtts");
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && !m.tls) || url.host().isEmpty())
        throw Failed{QStringLiteral("--mqtt takes mqtt://HOST[:PORT]/PREFIX or "
                                    "mqtts://HOST[:PORT]/PREFIX, not \"%1\"")
                         .arg(text)};
    if (!url.password().isEmpty())
        throw Failed{QStringLiteral("--mqtt: give the password in a file (--mqtt-password-file), "
                                    "not in the address, where every user of this computer "
                                    "can read it")};
    m.host = url.host();
    m.port = url.port(m.tls ? 8883 : 1883);
    if (m.port == 0) // no broker listens there: every connection would fail
        throw Failed{QStringLiteral("--mqtt: the broker's port is 1 to 65535, not 0")};
    m.prefix = url.path(QUrl::FullyDecoded);
    while (m.prefix.startsWith(u'/'))
        m.prefix.remove(0, 1);
    while (m.prefix.endsWith(u'/'))
        m.prefix.chop(1);
    // A '#' starts a URL's fragment: "mqtt://h/plant/#" would publish under "plant".
    if (m.prefix.isEmpty() || m.prefix.contains(u'+') || url.hasFragment() || url.hasQuery())
        throw Failed{QStringLiteral("--mqtt needs a topic prefix without + or # after the "
                                    "broker, as in mqtt://broker:1883/plant/line3/qsr540")};
    m.user = url.userName(QUrl::FullyDecoded);
    if (p.isSet(QStringLiteral("mqtt-user")))
        m.user = lastValue(p, QStringLiteral("mqtt-user"));
    if (p.isSet(QStringLiteral("mqtt-cafile"))) {
        if (!m.tls)
            throw Failed{QStringLiteral("--mqtt-cafile is for mqtts:// addresses")};
        m.caFile = QFileInfo(lastValue(p, QStringLiteral("mqtt-cafile"))).absoluteFilePath();
        if (!QFileInfo(m.caFile).isReadable())
            throw Failed{
                QStringLiteral("cannot read the certificate authority file %1").arg(m.caFile)};
    }
    if (p.isSet(QStringLiteral("mqtt-password-file"))) {
        if (m.user.isEmpty())
            throw Failed{QStringLiteral("--mqtt-password-file needs a user (--mqtt-user)")};
        const QString file = credential(lastValue(p, QStringLiteral("mqtt-password-file")), env);
        QByteArray secret = readSmall(file, QStringLiteral("password file"));
        secret = secret.left(secret.indexOf('\n') < 0 ? secret.size() : secret.indexOf('\n'));
        if (secret.endsWith('\r'))
            secret.chop(1);
        const auto password = strictUtf8(secret);
        if (!password || secret.contains('\0'))
            throw Failed{QStringLiteral("the password file %1: the password holds a NUL or "
                                        "bytes that are not UTF-8, and would be sent changed")
                             .arg(file)};
        m.password = *password;
    }
    applyClientCertificate(p, env, m);
    if (p.isSet(QStringLiteral("mqtt-client-id"))) {
        m.clientId = lastValue(p, QStringLiteral("mqtt-client-id"));
        if (m.clientId.isEmpty() || m.clientId.toUtf8().size() > 65535)
            throw Failed{QStringLiteral("--mqtt-client-id takes 1 to 65535 bytes")};
    }
    if (p.isSet(QStringLiteral("mqtt-discovery"))) {
        m.discovery = lastValue(p, QStringLiteral("mqtt-discovery"));
        if (m.discovery.isEmpty() || m.discovery.contains(u'+') || m.discovery.contains(u'#') ||
            m.discovery.startsWith(u'/') || m.discovery.endsWith(u'/'))
            throw Failed{QStringLiteral("--mqtt-discovery takes a topic prefix without + or # "
                                        "and without a '/' at either end, as in homeassistant")};
    }
    m.retain = p.isSet(QStringLiteral("mqtt-retain"));
    m.queueLimit = whole(p, "mqtt-queue", m.queueLimit);
    return m;
}

LoggerConfig configFrom(const QCommandLineParser &p, const Environment &env)
{
    checkValues(p);
    LoggerConfig c;
    if (p.isSet(QStringLiteral("settings")))
        applySettingsFile(lastValue(p, QStringLiteral("settings")), c);
    const bool port = p.isSet(QStringLiteral("port"));
    if (port && p.isSet(QStringLiteral("device")))
        throw Failed{QStringLiteral("give either --port or --device, not both")};
    if (port) {
        const QString name = lastValue(p, QStringLiteral("port"));
        c.portNumber = PortMapping::portNumberOf(name.toUpper());
        if (c.portNumber == 0)
            throw Failed{QStringLiteral("--port takes COM1 to COM7, not \"%1\"").arg(name)};
    }
    if (p.isSet(QStringLiteral("device"))) {
        const QString device = lastValue(p, QStringLiteral("device"));
        if (device.isEmpty())
            throw Failed{QStringLiteral("--device needs the path of a serial device")};
        c.device = QFileInfo(device).absoluteFilePath();
    }
    if (p.isSet(QStringLiteral("baud"))) {
        const QString text = lastValue(p, QStringLiteral("baud"));
        bool ok = false;
        c.baud = text.toInt(&ok);
        if (!ok || !SerialPort::isValidSettings(SerialPort::settingsFor(c.baud)))
            throw Failed{QStringLiteral("--baud takes 300, 600, 1200, 2400, 4800, 9600 or "
                                        "19200, not \"%1\"")
                             .arg(text)};
    }
    c.pollSeconds = whole(p, "poll", c.pollSeconds);
    if (p.isSet(QStringLiteral("log")))
        c.logPath = lastValue(p, QStringLiteral("log"));
    if (p.isSet(QStringLiteral("no-log"))) {
        if (p.isSet(QStringLiteral("log")))
            throw Failed{QStringLiteral("give either --log or --no-log, not both")};
        c.logPath.clear();
    }
    if (c.logPath.isEmpty())
        checkNeeds(p, Needs::LogFile, QStringLiteral("a log file (--log FILE)"));
    else
        c.logPath = QFileInfo(c.logPath).absoluteFilePath();
    c.logSeconds = whole(p, "log-interval", c.logSeconds);
    c.daily = p.isSet(QStringLiteral("daily"));
    c.quiet = p.isSet(QStringLiteral("quiet"));
    c.socket = p.value(QStringLiteral("socket"));
    if (p.isSet(QStringLiteral("mqtt"))) {
        c.mqtt = mqttFrom(p, env);
    } else {
        checkNeeds(p, Needs::Mqtt, QStringLiteral("--mqtt URL"));
    }
    return c;
}

} // namespace

Parsed parse(const QStringList &arguments, const Environment &env)
{
    Parsed result;
    try {
        // Options of a --config file come first: the command line has the last word.
        QStringList all{QStringLiteral("qsrlink-logger")};
        QString instance; // of the last config file
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            QString file;
            if (arguments[i] == QLatin1String("--config") && i + 1 < arguments.size())
                file = arguments[++i];
            else if (arguments[i].startsWith(QLatin1String("--config=")))
                file = arguments[i].mid(9);
            else
                continue;
            checkPath(QStringLiteral("--config"), file);
            QString why;
            instance = QFileInfo(file).fileName();
            if (instance.endsWith(QLatin1String(".conf")))
                instance.chop(5);
            const auto args =
                configArguments(readSmall(file, QStringLiteral("config file")), &why, instance);
            if (!args)
                throw Failed{QStringLiteral("the config file %1: %2").arg(file, why)};
            all << *args;
        }
        all << arguments;

        QCommandLineParser p;
        addOptions(p);
        if (!p.parse(all))
            throw Failed{p.errorText()};
        if (!p.positionalArguments().isEmpty())
            throw Failed{QStringLiteral("unexpected argument \"%1\"")
                             .arg(p.positionalArguments().constFirst())};
        // --help-all would add Qt's options for QML debugging, which the logger has no use
        // for; it must not start polling either.
        if (p.isSet(QStringLiteral("help")) || p.isSet(QStringLiteral("help-all"))) {
            result.outcome = Outcome::Help;
            result.text = p.helpText();
            return result;
        }
        if (p.isSet(QStringLiteral("version"))) {
            result.outcome = Outcome::Version;
            return result;
        }
        result.config = configFrom(p, env);
        result.config.instance = instance;
        result.outcome = Outcome::Run;
    } catch (const Failed &f) {
        result.outcome = Outcome::Error;
        result.text = f.what;
    }
    return result;
}

} // namespace LoggerOptions

QString LoggerConfig::instrumentName() const
{
    return device.isEmpty() ? PortMapping::portName(portNumber) : device;
}

QString LoggerConfig::name() const
{
    if (!instance.isEmpty())
        return instance;
    if (device.isEmpty())
        return PortMapping::portName(portNumber);
    QString tail = device;
    if (tail.startsWith(QLatin1String("/dev/")))
        tail.remove(0, 5);
    while (tail.startsWith(u'/'))
        tail.remove(0, 1);
    return tail.replace(u'/', u'-');
}

QString LoggerConfig::defaultClientId(const QString &host) const
{
    return QStringLiteral("qsrlink-logger-%1-%2").arg(host, name());
}
