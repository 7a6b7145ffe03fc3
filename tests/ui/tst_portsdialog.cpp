// The Ports window: both lists in both languages, assigning and removing a port number,
// Test against the simulator, and Test refused while another exchange holds the line.
#include "UiTestKit.h"

#include "ui/MainTexts.h"
#include "ui/PortsDialog.h"
#include "ui/PortsTexts.h"

#include <QFileInfo>
#include <QTreeWidget>

Q_DECLARE_METATYPE(Language)

namespace {

const QString stableName = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0");

QList<PortDevice> twoDevices()
{
    PortDevice usb;
    usb.path = QStringLiteral("/dev/ttyUSB0");
    usb.byId = stableName;
    usb.description = QStringLiteral("FT232R USB UART");
    usb.manufacturer = QStringLiteral("FTDI");
    usb.usbId = QStringLiteral("0403:6001");
    usb.serialNumber = QStringLiteral("A1");
    PortDevice builtIn;
    builtIn.path = QStringLiteral("/dev/ttyS0");
    return {usb, builtIn};
}

QStringList row(QTreeWidget *tree, int i)
{
    QStringList out;
    for (int c = 0; c < tree->columnCount(); ++c)
        out << tree->topLevelItem(i)->text(c);
    return out;
}

void choose(QTreeWidget *tree, int i)
{
    tree->setCurrentItem(tree->topLevelItem(i));
}

bool waitForStatus(PortsDialog &d, const QString &start)
{
    return QTest::qWaitFor([&] { return d.status().startsWith(start); }, 5000);
}

} // namespace

class TestPortsDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsPortsAndDevices_data()
    {
        QTest::addColumn<Language>("language");
        QTest::newRow("English") << Language::English;
        QTest::newRow("Japanese") << Language::Japanese;
    }
    void listsPortsAndDevices()
    {
        QFETCH(Language, language);
        const PortsTexts &t = portsTexts(language);
        UiFixture fx;
        QVERIFY(QDir(fx.folder.data).mkpath(QStringLiteral("ports")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), fx.folder.dataFile("ports/COM2")));
        QVERIFY(QFile::link(QStringLiteral("/dev/gone"), fx.folder.dataFile("ports/COM3")));
        fx.session.settings().port = 1; // COM2

        PortsDialog d(language, fx.context, 9600, twoDevices);
        QCOMPARE(d.windowTitle(), language == Language::English ? QStringLiteral("Ports")
                                                                : QStringLiteral("ポート"));
        auto *ports = child<QTreeWidget>(&d, "PortList");
        QCOMPARE(ports->topLevelItemCount(), 7);
        QCOMPARE(row(ports, 1), (QStringList{"COM2", "/dev/null"}));
        QCOMPARE(row(ports, 2), (QStringList{"COM3", t.linkNotPresent.arg("/dev/gone")}));
        const bool ttyS6 = QFileInfo::exists(QStringLiteral("/dev/ttyS6"));
        QCOMPARE(row(ports, 6).last(), ttyS6 ? t.byDefault.arg("/dev/ttyS6") : t.notPresent);
        QCOMPARE(d.chosenPort(), 2); // the stored port number

        auto *devices = child<QTreeWidget>(&d, "DeviceList");
        QCOMPARE(devices->topLevelItemCount(), 2);
        QCOMPARE(row(devices, 0), (QStringList{"/dev/ttyUSB0", "FT232R USB UART", "FTDI",
                                               "0403:6001", "A1", stableName}));
        QCOMPARE(row(devices, 1).first(), QStringLiteral("/dev/ttyS0"));

        PortsDialog none(language, fx.context, 9600, [] { return QList<PortDevice>(); });
        devices = child<QTreeWidget>(&none, "DeviceList");
        QCOMPARE(devices->topLevelItemCount(), 1);
        QCOMPARE(devices->topLevelItem(0)->text(0), t.noDevices);
        click(&none, "Assign"); // the placeholder is no device
        QCOMPARE(none.status(), t.chooseBoth);
        QVERIFY(!QFileInfo(fx.folder.dataFile("ports/COM2")).symLinkTarget().contains("ttyS"));
    }

    void assignsByStableNameAndRemoves()
    {
        UiFixture fx;
        const PortsTexts &t = portsTexts(Language::English);
        PortsDialog d(Language::English, fx.context, 9600, twoDevices);
        choose(child<QTreeWidget>(&d, "PortList"), 3);
        choose(child<QTreeWidget>(&d, "DeviceList"), 0);
        click(&d, "Assign");
        const QString link = fx.folder.dataFile("ports/COM4");
        QCOMPARE(QFileInfo(link).symLinkTarget(), stableName);
        QCOMPARE(d.status(), t.assigned.arg("COM4", t.linkNotPresent.arg(stableName)));
        QCOMPARE(row(child<QTreeWidget>(&d, "PortList"), 3).last(),
                 t.linkNotPresent.arg(stableName));

        click(&d, "Remove");
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(d.status().startsWith(QStringLiteral("COM4 is no longer assigned")));
    }

    void testPollsThroughTheLineOwner()
    {
        UiFixture fx;
        fx.realPorts = true;
        QVERIFY(QDir(fx.folder.data).mkpath(QStringLiteral("ports")));
        SimProcess sim(fx.folder.dataFile("ports/COM1"), {"--value", "7.250"});
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        QVERIFY(QFile::link(QStringLiteral("/dev/gone"), fx.folder.dataFile("ports/COM5")));
        const MainTexts &m = mainTexts(Language::Japanese);

        PortsDialog d(Language::Japanese, fx.context, 9600, [] { return QList<PortDevice>(); });
        choose(child<QTreeWidget>(&d, "PortList"), 0);
        click(&d, "Test");
        QVERIFY2(waitForStatus(d, QStringLiteral("COM1 の応答")), qPrintable(d.status()));
        QCOMPARE(d.status(), QStringLiteral("COM1 の応答: 7.250"));
        QCOMPARE(sim.receivedBytes(), QByteArray("R"));

        // A port that cannot be opened: the headline and why, as a poll's message gives them.
        choose(child<QTreeWidget>(&d, "PortList"), 4);
        click(&d, "Test");
        QCOMPARE(d.status(), m.communicationError + u'\n' +
                                 m.portDangling.arg(fx.folder.dataFile("ports/COM5"), "/dev/gone"));
    }

    void testIsRefusedWhileTheLineIsBusy()
    {
        UiFixture fx; // fake devices: a request that is never answered keeps the line busy
        SerialLine &line = fx.lines.lineFor(1);
        QObject poller;
        QVERIFY(line.start(fx.lines.devicePath(1), 9600, {{"R\r", true}}, {}, &poller, {}));
        PortsDialog d(Language::English, fx.context, 9600, twoDevices);
        choose(child<QTreeWidget>(&d, "PortList"), 0);
        click(&d, "Test");
        QCOMPARE(d.status(), portsTexts(Language::English).busy);
        QCOMPARE(fx.device(1).opens, 1); // no second open
        line.cancel(&poller);
    }

    void openedFromTheEditMenuAtTheMainPortsSpeed()
    {
        UiFixture fx;
        MainWindow w(Language::English, fx.context);
        QVERIFY(w.Form_Load(nullptr));
        QVERIFY(w.mainPort()->setSettings(QStringLiteral("2400,N,8,1")));
        QString title, status;
        onNextModal([&](QWidget *modal) {
            auto *d = qobject_cast<PortsDialog *>(modal);
            QVERIFY(d);
            title = d->windowTitle();
            choose(child<QTreeWidget>(d, "PortList"), 0);
            click(d, "Test");
            status = d->status();
            d->reject();
        });
        w.findChild<QAction *>(QStringLiteral("PORTS"))->trigger();
        QCOMPARE(title, QStringLiteral("Ports"));
        QCOMPARE(status, QStringLiteral("Testing COM1 at 2400 baud..."));
    }
};

QTEST_MAIN(TestPortsDialog)
#include "tst_portsdialog.moc"
