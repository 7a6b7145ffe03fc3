#include "logger/LoggerConfig.h"

#include "core/SettingsFile.h"
#include "core/SmallFile.h"
#include "serial/PortMapping.h"
#include "serial/SerialPort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

namespace LoggerOptions {
namespace {

struct Failed {
    QString what;
};

// No option has a use for a control character, and a NUL would cut a path short where
// it reaches the system.
std::optional<QChar> controlIn(QStringView text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return c;
    }
    return std::nullopt;
}

QString named(QChar control)
{
    return QStringLiteral("the control character U+%1")
        .arg(QString::number(control.unicode(), 16).toUpper().rightJustified(4, u'0'));
}

// Bytes that are no UTF-8 would come out changed (as U+FFFD), and so would name another
// file or send another password.
std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

// A path as the system will get it. U+FFFD is what decoding the arguments left of bytes
// the locale's encoding could not read: the file it names is not the one meant.
void checkPath(const QString &what, const QString &path)
{
    if (const auto c = controlIn(path))
        throw Failed{QStringLiteral("%1: the path holds %2").arg(what, named(*c))};
    if (path.contains(QChar::ReplacementCharacter) ||
        QFile::decodeName(QFile::encodeName(path)) != path)
        throw Failed{QStringLiteral("%1: the path \"%2\" is not valid in the system's encoding")
                         .arg(what, path)};
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
    for (const char *path : {"device", "log", "settings", "mqtt-cafile", "mqtt-password-file"}) {
        for (const QString &value : p.values(QLatin1String(path)))
            checkPath(QStringLiteral("--") + QLatin1String(path), value);
    }
}

QString lastValue(const QCommandLineParser &p, const QString &name)
{
    const QStringList values = p.values(name);
    return values.isEmpty() ? QString() : values.last();
}

int seconds(const QCommandLineParser &p, const QString &name, int fallback)
{
    if (!p.isSet(name))
        return fallback;
    const QString text = lastValue(p, name);
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < LoggerConfig::minInterval || value > LoggerConfig::maxInterval)
        throw Failed{QStringLiteral("--%1 takes whole seconds from %2 to %3, not \"%4\"")
                         .arg(name)
                         .arg(LoggerConfig::minInterval)
                         .arg(LoggerConfig::maxInterval)
                         .arg(text)};
    return value;
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
        QString file = lastValue(p, QStringLiteral("mqtt-password-file"));
        if (!file.contains(u'/') && !env.credentialsDirectory.isEmpty())
            file = QDir(env.credentialsDirectory).filePath(file);
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
    if (p.isSet(QStringLiteral("mqtt-queue"))) {
        const QString q = lastValue(p, QStringLiteral("mqtt-queue"));
        bool ok = false;
        m.queueLimit = q.toInt(&ok);
        if (!ok || m.queueLimit < 1 || m.queueLimit > 10000000)
            throw Failed{QStringLiteral("--mqtt-queue takes a number of readings from 1 to "
                                        "10000000, not \"%1\"")
                             .arg(q)};
    }
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
    c.pollSeconds = seconds(p, QStringLiteral("poll"), c.pollSeconds);
    if (p.isSet(QStringLiteral("log")))
        c.logPath = lastValue(p, QStringLiteral("log"));
    if (p.isSet(QStringLiteral("no-log"))) {
        if (p.isSet(QStringLiteral("log")))
            throw Failed{QStringLiteral("give either --log or --no-log, not both")};
        c.logPath.clear();
    }
    if (!c.logPath.isEmpty())
        c.logPath = QFileInfo(c.logPath).absoluteFilePath();
    const bool logging = !c.logPath.isEmpty();
    for (const char *needsLog : {"log-interval", "daily"}) {
        if (!logging && p.isSet(QLatin1String(needsLog)))
            throw Failed{
                QStringLiteral("--%1 needs a log file (--log FILE)").arg(QLatin1String(needsLog))};
    }
    c.logSeconds = seconds(p, QStringLiteral("log-interval"), c.logSeconds);
    c.daily = p.isSet(QStringLiteral("daily"));
    c.quiet = p.isSet(QStringLiteral("quiet"));
    if (p.isSet(QStringLiteral("mqtt"))) {
        c.mqtt = mqttFrom(p, env);
    } else {
        for (const char *needsMqtt :
             {"mqtt-cafile", "mqtt-user", "mqtt-password-file", "mqtt-queue"}) {
            if (p.isSet(QLatin1String(needsMqtt)))
                throw Failed{QStringLiteral("--%1 needs --mqtt URL").arg(QLatin1String(needsMqtt))};
        }
    }
    return c;
}

void addOptions(QCommandLineParser &p)
{
    p.setApplicationDescription(QStringLiteral(
        "Polls a QSR540 measuring instrument on a serial port without a window, logs the "
        "measured value to a CSV file as the QSRLINK window does, prints each reading and "
        "can publish the readings to an MQTT broker. Communication errors never stop it: "
        "it keeps polling, and notes each loss and return of the instrument."));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto add = [&p](const char *name, const char *help, const char *value = nullptr) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(help));
        if (value)
            o.setValueName(QString::fromLatin1(value));
        p.addOption(o);
    };
    add("port", "Port number COM1 to COM7, through the ports/ links (default COM1).", "COMn");
    add("device", "The serial device itself, e.g. /dev/serial/by-id/....", "PATH");
    add("baud", "Speed: 300, 600, 1200, 2400, 4800, 9600 (default) or 19200.", "N");
    add("poll", "Poll every SEC seconds, 1 to 100 (default 1).", "SEC");
    add("log", "Append a record to FILE at every log interval.", "FILE");
    add("log-interval", "Log every SEC seconds, 1 to 100 (default 1).", "SEC");
    add("daily", "A log file per day: FILE-yyyymmdd.csv.");
    add("no-log", "Log nothing, even with a log path from --settings.");
    add("settings", "Take port, speed and log path from this 540comm.st (read only).", "FILE");
    add("quiet", "Print no line per reading.");
    add("mqtt", "Publish to the broker at mqtt://HOST[:PORT]/PREFIX (mqtts:// for TLS).", "URL");
    add("mqtt-cafile", "Certificate authority of the broker's certificate (mqtts).", "FILE");
    add("mqtt-user", "User name at the broker.", "NAME");
    add("mqtt-password-file", "The broker password is the first line of FILE.", "FILE");
    add("mqtt-queue", "Readings kept while the broker is away (default 100000).", "N");
    add("config", "Read options from FILE, one \"name = value\" a line.", "FILE");
    p.addHelpOption();
    p.addVersionOption();
}

} // namespace

namespace {
// "%i" -> instance, "%%" -> '%'; any other '%' stays as it is.
QString expandInstance(const QString &value, const QString &instance)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar next = i + 1 < value.size() ? value[i + 1] : QChar();
        if (value[i] == u'%' && (next == u'i' || next == u'%')) {
            out += next == u'i' ? instance : QStringLiteral("%");
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}
} // namespace

std::optional<QStringList> configArguments(const QByteArray &text, QString *error,
                                           const QString &instance)
{
    QStringList args;
    int number = 0;
    const auto failed = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("line %1%2").arg(number).arg(why);
        return std::nullopt;
    };
    for (const QByteArray &raw : text.split('\n')) {
        ++number;
        const auto decoded = strictUtf8(raw);
        const QString line = decoded.value_or(QString::fromUtf8(raw)).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue; // a comment may be in any encoding
        const qsizetype eq = line.indexOf(u'=');
        const QString name = (eq < 0 ? line : line.left(eq)).trimmed();
        const QString value = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        const auto control = controlIn(line);
        if (name.isEmpty() || name.startsWith(u'-') || name.contains(u' ') || name == "config" ||
            controlIn(name) || name.contains(QChar::ReplacementCharacter)) {
            if (control)
                return failed(QStringLiteral(" holds %1").arg(named(*control)));
            if (!decoded)
                return failed(QStringLiteral(" is not valid UTF-8"));
            return failed(QStringLiteral(" is not \"name = value\": %1").arg(line));
        }
        if (control)
            return failed(QStringLiteral(": the value of %1 holds %2").arg(name, named(*control)));
        if (!decoded)
            return failed(QStringLiteral(": the value of %1 is not valid UTF-8").arg(name));
        args << QStringLiteral("--") + name;
        if (eq >= 0)
            args << expandInstance(value, instance);
    }
    return args;
}

Parsed parse(const QStringList &arguments, const Environment &env)
{
    Parsed result;
    try {
        // Options of a --config file come first: the command line has the last word.
        QStringList all{QStringLiteral("qsrlink-logger")};
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
            QString instance = QFileInfo(file).fileName();
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
        if (p.isSet(QStringLiteral("help"))) {
            result.outcome = Outcome::Help;
            result.text = p.helpText();
            return result;
        }
        if (p.isSet(QStringLiteral("version"))) {
            result.outcome = Outcome::Version;
            return result;
        }
        result.config = configFrom(p, env);
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
