#include "logger/LoggerConfig.h"
#include "logger/OptionTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using LoggerOptions::Outcome;
Q_DECLARE_METATYPE(LoggerOptions::Outcome)

namespace {
void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The entries of the manual page's OPTIONS section: each tag after .TP ("--port COMn",
// "-h, --help", as the page shows it) with the text under it.
QMap<QString, QString> manualPageOptions()
{
    QFile page(QStringLiteral(QSRLINK_LOGGER_MANUAL_PAGE));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> entries;
    bool inOptions = false;
    bool tagNext = false;
    QString tag;
    for (const QString &line : QString::fromUtf8(page.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String(".SH"))) {
            inOptions = line == QLatin1String(".SH OPTIONS");
        } else if (inOptions && line == QLatin1String(".TP")) {
            tagNext = true;
        } else if (inOptions && tagNext) {
            tag = line; // ".BR \-h ", " \-\-help" is "-h, --help"
            tag.remove(QRegularExpression(QStringLiteral("^\\.[A-Z]+ +")))
                .remove(u'\\')
                .remove(u'"');
            tag = tag.simplified().replace(QLatin1String(" ,"), QLatin1String(","));
            entries[tag];
            tagNext = false;
        } else if (inOptions && !tag.isEmpty()) {
            entries[tag] += line + u' ';
        }
    }
    return entries;
}
} // namespace

class LoggerOptionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultsAreTheWindowsOwn()
    {
        const auto p = LoggerOptions::parse({});
        QCOMPARE(p.outcome, Outcome::Run);
        QCOMPARE(p.config.portNumber, 1);
        QCOMPARE(p.config.baud, 9600);
        QCOMPARE(p.config.pollSeconds, 1);
        QCOMPARE(p.config.logSeconds, 1);
        QVERIFY(p.config.logPath.isEmpty()); // no log unless one is named
        QVERIFY(!p.config.mqtt);
    }

    void refusesBadOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::newRow("poll 0") << QStringList{"--poll", "0"} << "--poll";
        QTest::newRow("poll 101") << QStringList{"--poll", "101"} << "--poll";
        QTest::newRow("poll 1.5") << QStringList{"--poll", "1.5"} << "--poll";
        QTest::newRow("log interval without log") << QStringList{"--log-interval", "5"} << "--log";
        QTest::newRow("daily without log") << QStringList{"--daily"} << "--log";
        QTest::newRow("baud 9601") << QStringList{"--baud", "9601"} << "--baud";
        QTest::newRow("port COM8") << QStringList{"--port", "COM8"} << "COM1 to COM7";
        QTest::newRow("port and device")
            << QStringList{"--port", "COM1", "--device", "/dev/ttyUSB0"} << "not both";
        QTest::newRow("log and no-log") << QStringList{"--log", "a.csv", "--no-log"} << "not both";
        QTest::newRow("unknown") << QStringList{"--speed", "9600"} << "speed";
        QTest::newRow("missing value") << QStringList{"--log"} << "log";
        QTest::newRow("stray argument") << QStringList{"COM1"} << "COM1";
        QTest::newRow("settings missing")
            << QStringList{"--settings", "/nonexistent/540comm.st"} << "/nonexistent/540comm.st";
        QTest::newRow("mqtt scheme") << QStringList{"--mqtt", "http://h/p"} << "mqtt://";
        QTest::newRow("mqtt port 0") << QStringList{"--mqtt", "mqtt://h:0/p"} << "port";
        QTest::newRow("mqtt no prefix") << QStringList{"--mqtt", "mqtt://h:1883"} << "prefix";
        QTest::newRow("mqtt wildcard") << QStringList{"--mqtt", "mqtt://h/plant/#"} << "prefix";
        QTest::newRow("mqtt password in url")
            << QStringList{"--mqtt", "mqtt://u:secret@h/p"} << "password";
        QTest::newRow("cafile without tls")
            << QStringList{"--mqtt", "mqtt://h/p", "--mqtt-cafile", "/etc/hostname"} << "mqtts";
        QTest::newRow("queue 0") << QStringList{"--mqtt", "mqtt://h/p", "--mqtt-queue", "0"}
                                 << "--mqtt-queue";
        QTest::newRow("mqtt option without mqtt") << QStringList{"--mqtt-user", "u"} << "--mqtt";
        QTest::newRow("password file without user")
            << QStringList{"--mqtt", "mqtt://h/p", "--mqtt-password-file", "/etc/hostname"}
            << "--mqtt-user";
        QTest::newRow("certificate without key")
            << QStringList{"--mqtt", "mqtts://h/p", "--mqtt-certfile", "/etc/hostname"}
            << "together";
        QTest::newRow("certificate without tls")
            << QStringList{"--mqtt",        "mqtt://h/p",     "--mqtt-certfile",
                           "/etc/hostname", "--mqtt-keyfile", "/etc/hostname"}
            << "mqtts";
        QTest::newRow("key missing")
            << QStringList{"--mqtt",        "mqtts://h/p",    "--mqtt-certfile",
                           "/etc/hostname", "--mqtt-keyfile", "/nonexistent/key"}
            << "/nonexistent/key";
        QTest::newRow("discovery wildcard")
            << QStringList{"--mqtt", "mqtt://h/p", "--mqtt-discovery", "ha/#"} << "+ or #";
        QTest::newRow("discovery slash")
            << QStringList{"--mqtt", "mqtt://h/p", "--mqtt-discovery", "ha/"} << "+ or #";
        QTest::newRow("retain without mqtt") << QStringList{"--mqtt-retain"} << "--mqtt";
    }

    // Each bad option is named in the message, so the operator knows what to change.
    void refusesBadOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        const auto p = LoggerOptions::parse(args);
        QCOMPARE(p.outcome, Outcome::Error);
        QVERIFY2(p.text.contains(said), qPrintable(p.text));
    }

    void answersHelpAndVersionWithoutPolling_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("help-all") << QStringList{"--help-all"} << Outcome::Help;
        QTest::newRow("help before a bad value")
            << QStringList{"--help", "--poll", "0"} << Outcome::Help;
        QTest::newRow("version") << QStringList{"-v"} << Outcome::Version;
    }

    void answersHelpAndVersionWithoutPolling()
    {
        QFETCH(QStringList, args);
        QFETCH(Outcome, outcome);
        QCOMPARE(LoggerOptions::parse(args).outcome, outcome);
    }

    // The manual page has an entry for each of --help's, under the same names and value
    // names, and states each number's range as the options take it.
    void manualPageDescribesEveryOption()
    {
        const QMap<QString, QString> page = manualPageOptions();
        QVERIFY(!page.isEmpty());
        const QString help = LoggerOptions::parse({"--help"}).text;
        QVERIFY2(!help.contains(u'%'), qPrintable(help));
        QStringList listed;
        static const QRegularExpression entry(QStringLiteral("^  (-\\S.*?)(  |$)"),
                                              QRegularExpression::MultilineOption);
        for (const auto &match : entry.globalMatch(help))
            listed << match.captured(1).remove(u'<').remove(u'>');
        listed.sort();
        QCOMPARE(page.keys(), listed);

        for (const LoggerOptions::Option &o : LoggerOptions::optionTable) {
            if (o.kind != LoggerOptions::Kind::Whole)
                continue;
            const QString tag = QStringLiteral("--%1 %2").arg(o.name, o.valueName);
            const QRegularExpression range(
                QStringLiteral("\\b%1 to %2\\b").arg(o.range.min).arg(o.range.max));
            QVERIFY2(page.value(tag).contains(range), qPrintable(tag + ": " + page.value(tag)));
        }
    }

    // Port, speed and log path from the window's settings file, which stays as it was; its
    // folder holds the ports/ links; the command line has the last word.
    void takesTheSettingsFileReadOnly()
    {
        QTemporaryDir dir;
        const QString st = dir.filePath("540comm.st");
        const QByteArray bytes = "1250,1300,1200,3,1,2,2,0,0,3,0,0,0,0,0,2,19200\r\n"
                                 "/var/log/line3.csv,        /tmp/p.txt\r\n"
                                 "e\r\n";
        write(st, bytes);
        QFile(st).setPermissions(QFileDevice::ReadOwner);
        auto p = LoggerOptions::parse({"--settings", st});
        QCOMPARE(p.outcome, Outcome::Run);
        QCOMPARE(p.config.portNumber, 3);
        QCOMPARE(p.config.baud, 19200);
        QCOMPARE(p.config.logPath, QString("/var/log/line3.csv"));
        QCOMPARE(p.config.linkFolder, dir.path());

        p = LoggerOptions::parse({"--settings", st, "--baud", "300", "--no-log"});
        QCOMPARE(p.config.baud, 300);
        QVERIFY(p.config.logPath.isEmpty());

        QFile f(st);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);

        write(dir.filePath("bad.st"), "1,2,3\r\n");
        p = LoggerOptions::parse({"--settings", dir.filePath("bad.st")});
        QCOMPARE(p.outcome, Outcome::Error);
        QVERIFY(p.text.contains("damaged"));
    }

    void refusesValuesThatWouldNameAnotherFile_data()
    {
        QTest::addColumn<QByteArray>("config"); // none: the command line alone
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("said");
        const QByteArray nul("\0", 1);
        const QStringList mqtt{"--mqtt", "mqtt://h/p", "--mqtt-user", "u"};
        QTest::newRow("NUL in device")
            << "# line 3\ndevice = /dev/ttyUSB0" + nul + "junk\n"
            << QStringList() << QStringList{"line 2", "device", "U+0000"};
        QTest::newRow("NUL in log") << "poll = 2\nlog = /var/lib/a" + nul + ".csv\n"
                                    << QStringList() << QStringList{"line 2", "log", "U+0000"};
        QTest::newRow("NUL in password file name")
            << "mqtt-password-file = pw" + nul + "x\n"
            << mqtt << QStringList{"line 1", "mqtt-password-file", "U+0000"};
        QTest::newRow("escape in user") << QByteArray("mqtt-user = \x1b[2J\n") << mqtt
                                        << QStringList{"line 1", "mqtt-user", "U+001B"};
        QTest::newRow("Latin-1 in log") << QByteArray("\nlog = /var/lib/m\xe4rz.csv\n")
                                        << QStringList() << QStringList{"line 2", "log", "UTF-8"};
        QTest::newRow("cut UTF-8 in device") << QByteArray("device = /dev/tty\xc3\r\n")
                                             << QStringList() << QStringList{"line 1", "device"};
        QTest::newRow("undecodable device argument")
            << QByteArray() << QStringList{"--device", QString::fromUtf8("/dev/tty\xff")}
            << QStringList{"--device", "encoding"};
        QTest::newRow("control in log argument")
            << QByteArray() << QStringList{"--log", "a\x01.csv"} << QStringList{"--log", "U+0001"};
        QTest::newRow("NUL in password")
            << QByteArray() << mqtt + QStringList{"--mqtt-password-file", "secret"}
            << QStringList{"password file", "NUL"};
        // Without its value the option would take the command line's "--config=x.conf".
        QTest::newRow("log without a value in the config")
            << QByteArray("poll = 2\nlog\n") << QStringList()
            << QStringList{"line 2", "log", "value"};
        QTest::newRow("NUL in settings file log path")
            << QByteArray() << QStringList{"--settings", "540comm.st"}
            << QStringList{"settings file", "U+0000"};
    }

    // Each would open or create a file other than the one meant: refused, naming where.
    void refusesValuesThatWouldNameAnotherFile()
    {
        QFETCH(QByteArray, config);
        QFETCH(QStringList, args);
        QFETCH(QStringList, said);
        QTemporaryDir dir;
        const auto back = qScopeGuard([was = QDir::currentPath()] { QDir::setCurrent(was); });
        QVERIFY(QDir::setCurrent(dir.path()));
        write("secret", QByteArray("pass\0word\n", 10));
        write("540comm.st",
              QByteArray("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,9600\r\n/a\0.csv,x\r\n", 48));
        if (!config.isEmpty()) {
            write("x.conf", config);
            args << "--config=x.conf";
        }
        const auto p = LoggerOptions::parse(args);
        QCOMPARE(p.outcome, Outcome::Error);
        for (const QString &part : said)
            QVERIFY2(p.text.contains(part), qPrintable(p.text));
        QVERIFY2(!p.text.contains(QChar(0)), qPrintable(p.text));
    }

    // A service's config file: the command line's options follow it and win.
    void readsAConfigFile()
    {
        QTemporaryDir dir;
        const QString conf = dir.filePath("line3.conf");
        write(conf, "# line 3\n"
                    "device = /dev/serial/by-id/usb-x\n"
                    "\n"
                    "log=" +
                        dir.filePath("l.csv").toUtf8() +
                        "\n"
                        "poll = 5\n"
                        "daily\n"
                        "mqtt = mqtts://broker.plant/plant/line3/qsr540/\n"
                        "mqtt-user = line3\n"
                        "mqtt-password-file = secret\n");
        write(dir.filePath("secret"), "s3cret\nignored\n");
        const auto p = LoggerOptions::parse({"--config", conf, "--poll", "2"},
                                            {dir.path()}); // the credentials folder
        QCOMPARE(p.outcome, Outcome::Run);
        QCOMPARE(p.config.device, QString("/dev/serial/by-id/usb-x"));
        QCOMPARE(p.config.pollSeconds, 2);
        QVERIFY(p.config.daily);
        QVERIFY(p.config.mqtt);
        QCOMPARE(p.config.mqtt->host, QString("broker.plant"));
        QCOMPARE(p.config.mqtt->port, 8883);
        QVERIFY(p.config.mqtt->tls);
        QCOMPARE(p.config.mqtt->prefix, QString("plant/line3/qsr540"));
        QCOMPARE(p.config.mqtt->password, QString("s3cret"));
        QVERIFY(!p.config.mqtt->retain && p.config.mqtt->discovery.isEmpty());
        QCOMPARE(p.config.name(), QString("line3"));
        QCOMPARE(p.config.defaultClientId("plant-pc"), QString("qsrlink-logger-plant-pc-line3"));

        // The client's key from the credentials folder, as the password; the name the
        // files and the session go by without an instance.
        write(dir.filePath("client.key"), "key");
        const auto cert = LoggerOptions::parse(
            {"--device", "/dev/serial/by-id/usb-x", "--mqtt", "mqtts://b/p", "--mqtt-certfile",
             conf, "--mqtt-keyfile", "client.key", "--mqtt-retain", "--mqtt-discovery",
             "homeassistant", "--mqtt-client-id", "line-3"},
            {dir.path()});
        QCOMPARE(cert.outcome, Outcome::Run);
        QCOMPARE(cert.config.mqtt->keyFile, dir.filePath("client.key"));
        QCOMPARE(cert.config.mqtt->certFile, conf);
        QVERIFY(cert.config.mqtt->retain);
        QCOMPARE(cert.config.mqtt->discovery, QString("homeassistant"));
        QCOMPARE(cert.config.mqtt->clientId, QString("line-3"));
        QCOMPARE(cert.config.name(), QString("serial-by-id-usb-x"));
        QCOMPARE(LoggerOptions::parse({"--port", "COM3"}).config.name(), QString("COM3"));

        // Values are UTF-8, comments anything; CR LF line ends are fine.
        const QString log = dir.filePath(QString::fromUtf8("ログ.csv"));
        write(conf, "# Ger\xe4t der Linie 3\r\nlog = " + log.toUtf8() + "\r\ndaily\r\n");
        const auto utf8 = LoggerOptions::parse({"--config", conf});
        QCOMPARE(utf8.outcome, Outcome::Run);
        QCOMPARE(utf8.config.logPath, log);
        QVERIFY(utf8.config.daily);

        // A config copied for another instance logs to a file of its own.
        write(conf, "log = " + dir.path().toUtf8() + "/%i-100%%.csv\nmqtt = mqtt://b/plant/%i\n");
        const auto instance = LoggerOptions::parse({"--config", conf});
        QCOMPARE(instance.outcome, Outcome::Run);
        QCOMPARE(instance.config.logPath, dir.filePath("line3-100%.csv"));
        QCOMPARE(instance.config.mqtt->prefix, QString("plant/line3"));

        write(conf, "--poll 5\n");
        const auto bad = LoggerOptions::parse({"--config", conf});
        QCOMPARE(bad.outcome, Outcome::Error);
        QVERIFY(bad.text.contains("line 1"));
    }
};

QTEST_GUILESS_MAIN(LoggerOptionsTest)
#include "tst_loggeroptions.moc"
