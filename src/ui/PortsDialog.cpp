#include "ui/PortsDialog.h"

#include "serial/DeviceClaim.h"
#include "serial/PortMapping.h"
#include "serial/Protocol.h"
#include "serial/SerialLines.h"
#include "serial/SerialPort.h"
#include "ui/Controls.h"
#include "ui/FailureTexts.h"
#include "ui/PortsTexts.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <chrono>

namespace {

QTreeWidget *list(QWidget *parent, const char *name, const QStringList &columns)
{
    auto *tree = new QTreeWidget(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setAllColumnsShowFocus(true);
    tree->setHeaderLabels(columns);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(true);
    return tree;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false); // Enter in a list assigns nothing by accident
    return b;
}

} // namespace

PortsDialog::PortsDialog(Language language, UiContext &context, qint32 baud,
                         SystemPorts::Source devices, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_texts(portsTexts(language)), m_mainTexts(mainTexts(language)), m_context(context),
      m_baud(baud), m_source(std::move(devices))
{
    if (!m_source) {
        const ProgramFolder folder = m_context.lines.folder();
        m_source = [folder] {
            return SystemPorts::systemDevices() + SystemPorts::folderDevices(folder);
        };
    }
    setObjectName(QStringLiteral("Ports"));
    setWindowTitle(m_texts.caption);

    auto *portLabel = new QLabel(m_texts.portList, this);
    m_ports = list(this, "PortList", {m_texts.portColumn, m_texts.routeColumn});
    for (int n = SerialPort::firstPort; n <= SerialPort::lastPort; ++n)
        new QTreeWidgetItem(m_ports, {PortMapping::portName(n), QString()});
    auto *deviceLabel = new QLabel(m_texts.deviceList, this);
    m_deviceList =
        list(this, "DeviceList",
             {m_texts.deviceColumn, m_texts.descriptionColumn, m_texts.manufacturerColumn,
              m_texts.usbColumn, m_texts.serialColumn, m_texts.stableColumn});
    portLabel->setBuddy(m_ports);
    deviceLabel->setBuddy(m_deviceList);

    m_assign = button(this, "Assign", m_texts.assign);
    m_remove = button(this, "Remove", m_texts.remove);
    m_test = button(this, "Test", m_texts.test);
    QPushButton *refresh = button(this, "Refresh", m_texts.refresh);
    QPushButton *close = button(this, "Close", m_texts.close);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(m_assign, &QPushButton::clicked, this, &PortsDialog::assignChosen);
    connect(m_remove, &QPushButton::clicked, this, &PortsDialog::removeChosen);
    connect(m_test, &QPushButton::clicked, this, &PortsDialog::testChosen);
    connect(refresh, &QPushButton::clicked, this, [this] {
        fillDevices();
        showChosenDevice();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_deviceList, &QTreeWidget::itemActivated, this, &PortsDialog::assignChosen);
    connect(m_ports, &QTreeWidget::currentItemChanged, this, &PortsDialog::showChosenDevice);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_assign, m_remove, m_test, refresh})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(portLabel);
    layout->addWidget(m_ports);
    layout->addWidget(deviceLabel);
    layout->addWidget(m_deviceList, 1);
    if (!PortMapping::canAssign()) {
        m_assign->hide();
        m_remove->hide();
        layout->addWidget(new QLabel(m_texts.systemNames, this));
    }
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    fillPorts();
    fillDevices();
    // All seven port numbers in view, without scrolling.
    m_ports->setFixedHeight(m_ports->header()->sizeHint().height() +
                            m_ports->sizeHintForRow(0) * m_ports->topLevelItemCount() +
                            2 * m_ports->frameWidth());
    const int current = int(m_context.session.settings().port);
    m_ports->setCurrentItem(
        m_ports->topLevelItem(qBound(0, current, m_ports->topLevelItemCount() - 1)));
    m_ports->setFocus();
    resize(760, 460);
}

int PortsDialog::chosenPort() const
{
    QTreeWidgetItem *item = m_ports->currentItem();
    return item ? m_ports->indexOfTopLevelItem(item) + SerialPort::firstPort : 0;
}

QString PortsDialog::status() const
{
    return m_status->text();
}

QString PortsDialog::routeText(int port) const
{
    const PortMapping::Route route = PortMapping::routeOf(port, m_context.lines.folder());
    const QString target = QDir::toNativeSeparators(route.target);
    QString text;
    if (route.link.isEmpty())
        text = route.present ? m_texts.byDefault.arg(target) : m_texts.notPresent;
    else
        text = route.present ? target : m_texts.linkNotPresent.arg(target);
    // A logger that owns the device and shares it: the port's exchanges go through it.
    if (const ProcessClaim::Holder logger = DeviceClaim::otherHolder(route.target);
        route.present && logger.pid && !logger.socket.isEmpty())
        text = m_texts.throughLogger.arg(text, logger.describe());
    return text;
}

void PortsDialog::fillPorts()
{
    for (int i = 0; i < m_ports->topLevelItemCount(); ++i)
        m_ports->topLevelItem(i)->setText(1, routeText(i + SerialPort::firstPort));
}

void PortsDialog::fillDevices()
{
    m_devices = m_source();
    m_deviceList->clear();
    for (const PortDevice &d : m_devices) {
        QString description = d.description;
        if (d.simulator)
            description = m_texts.simulator;
        else if (d.usbId.isEmpty() && d.path.contains(QLatin1String("/ports/")))
            description = m_texts.folderLink;
        new QTreeWidgetItem(m_deviceList, {QDir::toNativeSeparators(d.path), description,
                                           d.manufacturer, d.usbId, d.serialNumber, d.byId});
    }
    if (m_devices.isEmpty()) {
        auto *none = new QTreeWidgetItem(m_deviceList, {m_texts.noDevices});
        none->setFlags(Qt::NoItemFlags);
    }
}

void PortsDialog::showChosenDevice()
{
    // The device the chosen port number leads to now, when it is listed.
    m_deviceList->setCurrentItem(nullptr);
    if (!chosenPort())
        return;
    const QString device = QFileInfo(m_context.lines.devicePath(chosenPort())).canonicalFilePath();
    for (qsizetype i = 0; i < m_devices.size() && !device.isEmpty(); ++i) {
        if (QFileInfo(m_devices[i].path).canonicalFilePath() == device) {
            m_deviceList->setCurrentItem(m_deviceList->topLevelItem(int(i)));
            break;
        }
    }
}

const PortDevice *PortsDialog::chosenDevice() const
{
    QTreeWidgetItem *item = m_deviceList->currentItem();
    const int i = item ? m_deviceList->indexOfTopLevelItem(item) : -1;
    return i >= 0 && i < m_devices.size() ? &m_devices[i] : nullptr;
}

void PortsDialog::assignChosen()
{
    const int port = chosenPort();
    const PortDevice *device = chosenDevice();
    if (!port || !device || !PortMapping::canAssign()) {
        setStatus(m_texts.chooseBoth);
        return;
    }
    QString error;
    const bool done =
        PortMapping::assign(port, device->linkTarget(), m_context.lines.folder().data, &error);
    reportChange(port, done, m_texts.assigned, error);
}

void PortsDialog::removeChosen()
{
    const int port = chosenPort();
    if (!port) {
        setStatus(m_texts.choosePort);
        return;
    }
    QString error;
    const bool done = PortMapping::unassign(port, m_context.lines.folder().data, &error);
    reportChange(port, done, m_texts.removed, error);
}

void PortsDialog::reportChange(int port, bool done, const QString &text, const QString &error)
{
    if (!done) {
        setStatus(m_texts.notAssigned + u'\n' + error);
        return;
    }
    fillPorts();
    setStatus(text.arg(PortMapping::portName(port), routeText(port)));
}

void PortsDialog::testChosen()
{
    const int port = chosenPort();
    if (!port) {
        setStatus(m_texts.choosePort);
        return;
    }
    SerialLine &line = m_context.lines.lineFor(port);
    if (line.isBusy()) {
        setStatus(m_texts.busy);
        return;
    }
    setStatus(m_texts.testing.arg(PortMapping::portName(port)).arg(m_baud));
    m_test->setEnabled(false);
    auto reply = std::make_shared<QByteArray>();
    // A port that cannot be opened reports before start() returns.
    line.start(
        m_context.lines.devicePath(port), m_baud,
        {{Protocol::readRequest(Protocol::pollLetter), true}},
        [reply](int, const QByteArray &bytes, QString *) {
            *reply = bytes;
            return true;
        },
        this,
        [this, port, reply](const CycleResult &result) { onTestFinished(port, result, *reply); });
}

void PortsDialog::onTestFinished(int port, const CycleResult &result, const QByteArray &reply)
{
    m_test->setEnabled(true);
    const QString name = PortMapping::portName(port);
    if (result.status == CycleStatus::Ok) {
        setStatus(m_texts.answered.arg(name, QString::fromLatin1(reply).trimmed()));
    } else if (result.status == CycleStatus::TimedOut) {
        const auto bound = std::chrono::ceil<std::chrono::seconds>(Protocol::replyTimeout(m_baud));
        setStatus(m_texts.noAnswer.arg(name).arg(bound.count()));
    } else {
        const QString detail = failureDetail(m_mainTexts, result);
        setStatus(detail.isEmpty() ? m_mainTexts.communicationError
                                   : m_mainTexts.communicationError + u'\n' + detail);
    }
}

void PortsDialog::setStatus(const QString &text)
{
    m_status->setText(text);
}

void PortsDialog::showEvent(QShowEvent *event)
{
    Controls::centre(this, parentWidget());
    QDialog::showEvent(event);
}
