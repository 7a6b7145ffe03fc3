// The logger's config file on arbitrary bytes: a refusal names its line; an accepted file
// gives options that hold no control character and nothing the file did not hold; and a
// config that runs has every value in its range, with messages fit for a terminal.

#include "FuzzCheck.h"

#include "logger/LoggerConfig.h"
#include "serial/SerialPort.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// The files the options may read, in a folder of their own.
struct Sandbox {
    QTemporaryDir dir;
    Sandbox()
    {
        FUZZ_CHECK(dir.isValid());
        const auto put = [this](const char *name, const QByteArray &bytes) {
            QFile f(dir.filePath(QLatin1String(name)));
            FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        };
        put("540comm.st", "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2,19200\r\nline3.csv,x.txt\r\ne\r\n");
        put("secret", "s3cret\n");
    }

    // The arguments with the files they read taken from here (a password file without a
    // folder is, as a credential); none when one names a folder, which could be any file
    // of this computer.
    std::optional<QStringList> confine(QStringList args) const
    {
        for (qsizetype i = 0; i + 1 < args.size(); ++i) {
            const bool settings = args[i] == u"--settings";
            if (!settings && args[i] != u"--mqtt-password-file")
                continue;
            if (args[i + 1].contains(u'/'))
                return std::nullopt;
            if (settings)
                args[i + 1] = dir.filePath(args[i + 1]);
        }
        return args;
    }
};

bool hasControl(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

void checkRun(const LoggerConfig &c)
{
    using L = LoggerConfig;
    FUZZ_CHECK(c.pollSeconds >= L::minInterval && c.pollSeconds <= L::maxInterval);
    FUZZ_CHECK(c.logSeconds >= L::minInterval && c.logSeconds <= L::maxInterval);
    FUZZ_CHECK(c.portNumber >= SerialPort::firstPort && c.portNumber <= SerialPort::lastPort);
    FUZZ_CHECK(SerialPort::isValidSettings(SerialPort::settingsFor(c.baud)));
    for (const QString &path : {c.device, c.logPath}) {
        FUZZ_CHECK(path.isEmpty() || QFileInfo(path).isAbsolute());
        FUZZ_CHECK(!hasControl(path) && !path.contains(QChar::ReplacementCharacter));
    }
    if (c.logPath.isEmpty())
        FUZZ_CHECK(!c.daily && c.logSeconds == 1);
    if (!c.mqtt)
        return;
    const L::Mqtt &m = *c.mqtt;
    FUZZ_CHECK(!m.host.isEmpty() && m.port >= 1 && m.port <= 65535);
    static const QRegularExpression topic(QStringLiteral("^[^/+#]([^+#]*[^/+#])?$"));
    FUZZ_CHECK(topic.match(m.prefix).hasMatch());
    FUZZ_CHECK(m.queueLimit >= 1 && m.queueLimit <= 10000000);
    FUZZ_CHECK(m.password.isEmpty() || !m.user.isEmpty());
    FUZZ_CHECK(m.caFile.isEmpty() || m.tls);
    FUZZ_CHECK(!m.password.contains(QChar(0)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Sandbox sandbox;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const auto args = LoggerOptions::configArguments(bytes, &why);
    if (!args) {
        static const QRegularExpression line(QStringLiteral("^line (\\d+)[: ]"));
        const auto match = line.match(why);
        FUZZ_CHECK(match.hasMatch());
        FUZZ_CHECK(match.captured(1).toLongLong() <= bytes.count('\n') + 1);
        FUZZ_CHECK(!hasControl(why));
        return 0;
    }
    // Every option and value stands in the file as it is, so nothing was changed in reading.
    for (const QString &arg : *args) {
        FUZZ_CHECK(!hasControl(arg));
        FUZZ_CHECK(bytes.contains(arg.startsWith(u"--") ? arg.mid(2).toUtf8() : arg.toUtf8()));
    }
    const auto confined = sandbox.confine(*args);
    if (!confined)
        return 0;
    const auto parsed = LoggerOptions::parse(*confined, {sandbox.dir.path()});
    switch (parsed.outcome) {
    case LoggerOptions::Outcome::Run:
        checkRun(parsed.config);
        break;
    case LoggerOptions::Outcome::Error:
        FUZZ_CHECK(!parsed.text.isEmpty() && !hasControl(parsed.text));
        break;
    case LoggerOptions::Outcome::Help:
        FUZZ_CHECK(!parsed.text.isEmpty());
        break;
    case LoggerOptions::Outcome::Version:
        break;
    }
    return 0;
}
