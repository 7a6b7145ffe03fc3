#include "monitor/SleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

// login1 or the screen saver. Inhibit with login1's four arguments hands out a lock, the
// write end of a pipe whose read end reads EOF once every copy of it is closed; with the
// screen saver's two it answers cookie 42.
class FakeService : public QDBusVirtualObject {
public:
    ~FakeService() override { ::close(readEnd); }
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &bus) override
    {
        calls << call;
        int ends[2];
        if (refuse)
            return bus.send(call.createErrorReply(QDBusError::AccessDenied, "Access denied"));
        if (call.member() != QLatin1String("Inhibit"))
            return bus.send(call.createReply());
        if (call.arguments().size() == 2 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return bus.send(call.createReply(42u));
        ::close(readEnd);
        readEnd = ends[0];
        const QDBusUnixFileDescriptor lock(ends[1]); // a copy: ours is closed at once
        ::close(ends[1]);
        return bus.send(call.createReply(QVariant::fromValue(lock)));
    }
    bool lockClosed() const // its read end reads EOF
    {
        char c;
        return ::read(readEnd, &c, 1) == 0;
    }
    bool refuse = false;
    QList<QDBusMessage> calls;
    int readEnd = -1;
};

// Each test runs a bus of its own, which starts no services on demand.
class TestSleepInhibitor : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QThread m_thread; // the fakes answer here, as the inhibitor's calls block the test's thread
    std::unique_ptr<FakeService> m_login, m_screenSaver;
    const QString reason = QStringLiteral("Logging to /home/op/log.csv");

    bool serve(const char *name, const QString &path, FakeService *fake)
    {
        fake->moveToThread(&m_thread);
        QDBusConnection bus(QStringLiteral("services"));
        return bus.registerService(name) && bus.registerVirtualObject(path, fake);
    }

private Q_SLOTS:
    void init()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><listen>unix:dir=" + m_dir.path().toUtf8() +
                     "</listen><auth>EXTERNAL</auth><policy context='default'><allow own='*'/>"
                     "<allow send_destination='*'/><allow receive_sender='*'/></policy>"
                     "</busconfig>");
        config.close();
        m_daemon.start(daemon,
                       {"--nofork", "--print-address", "--config-file=" + config.fileName()});
        QVERIFY(m_daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(m_daemon.readLine().trimmed());
        QVERIFY(QDBusConnection::connectToBus(address, QStringLiteral("client")).isConnected());
        QVERIFY(QDBusConnection::connectToBus(address, QStringLiteral("services")).isConnected());
        m_login = std::make_unique<FakeService>();
        m_screenSaver = std::make_unique<FakeService>();
        m_thread.start();
        QVERIFY(serve("org.freedesktop.login1", "/org/freedesktop/login1", m_login.get()));
    }
    void cleanup()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("services"));
        m_thread.quit();
        m_thread.wait();
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    void holdsTheLoginLockUntilReleased()
    {
        const QDBusConnection bus(QStringLiteral("client"));
        auto inhibitor = std::make_unique<SystemSleepInhibitor>(bus, bus);
        QString error;
        QVERIFY2(inhibitor->acquire(reason, &error), qPrintable(error));
        QVERIFY(inhibitor->acquire(reason, &error)); // held already: nothing new
        QCOMPARE(m_login->calls.size(), 1);
        QCOMPARE(m_login->calls[0].interface(), QStringLiteral("org.freedesktop.login1.Manager"));
        QCOMPARE(m_login->calls[0].arguments(),
                 (QVariantList{"sleep:idle", "QSRLINK", reason, "block"}));
        QTest::qWait(100); // the services' copies of the lock are gone by then
        QVERIFY(!m_login->lockClosed());
        inhibitor->release();
        QTRY_VERIFY(m_login->lockClosed());
        QVERIFY(inhibitor->acquire(reason, &error));
        QVERIFY(!m_login->lockClosed());
        inhibitor.reset();
        QTRY_VERIFY(m_login->lockClosed());
    }

    void fallsBackToTheScreenSaver_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("freedesktop path") << QStringLiteral("/org/freedesktop/ScreenSaver");
        QTest::newRow("short path") << QStringLiteral("/ScreenSaver");
    }
    void fallsBackToTheScreenSaver()
    {
        QFETCH(QString, path);
        m_login->refuse = true;
        const QDBusConnection bus(QStringLiteral("client"));
        SystemSleepInhibitor inhibitor(bus, bus);
        QString error;
        QVERIFY(!inhibitor.acquire(reason, &error));
        QVERIFY2(error.contains("Access denied") && error.contains("org.freedesktop.ScreenSaver"),
                 qPrintable(error));
        QVERIFY(!inhibitor.isHeld());
        inhibitor.release();

        QVERIFY(serve("org.freedesktop.ScreenSaver", path, m_screenSaver.get()));
        QVERIFY2(inhibitor.acquire(reason, &error), qPrintable(error));
        QVERIFY(inhibitor.isHeld());
        inhibitor.release();
        inhibitor.release();
        QVERIFY(!inhibitor.isHeld());
        QCOMPARE(m_screenSaver->calls.size(), 2);
        QCOMPARE(m_screenSaver->calls[0].arguments(), (QVariantList{"QSRLINK", reason}));
        QCOMPARE(m_screenSaver->calls[1].member(), QStringLiteral("UnInhibit"));
        QCOMPARE(m_screenSaver->calls[1].arguments(), QVariantList{42u});
    }
};

QTEST_GUILESS_MAIN(TestSleepInhibitor)
#include "tst_sleepinhibitor.moc"
