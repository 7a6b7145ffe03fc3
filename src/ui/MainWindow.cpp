#include "ui/MainWindow.h"

#include "core/Numbers.h"
#include "core/Version.h"
#include "monitor/Monitor.h"
#include "serial/SerialPort.h"
#include "ui/AppIcon.h"
#include "ui/Controls.h"
#include "ui/FailureTexts.h"
#include "ui/Prompts.h"
#include "ui/ScreenFit.h"
#include "ui/TrendWindow.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>

namespace {

constexpr int intervalMaximum = 99; // scroll value 99 (thumb at the bottom) reads 1 second
// Twips between the two status texts: two spaces, so that they do not read as one sentence.
constexpr int statusGap = 120;

} // namespace

MainWindow::MainWindow(Language language, UiContext &context, QWidget *parent)
    : QMainWindow(parent), m_language(language), m_texts(mainTexts(language)), m_context(context)
{
    setObjectName(language == Language::English ? QStringLiteral("Form5")
                                                : QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("QSRLINK Ver1.00"));
    // The English window has an icon of its own; the Japanese one keeps the default.
    if (language == Language::English)
        setWindowIcon(AppIcon::mainWindowIcon());

    m_editorPort = new SerialPort(m_context.lines, this);
    m_editorPort->setObjectName(QStringLiteral("MSComm2"));
    m_mainPort = new SerialPort(m_context.lines, this);
    m_mainPort->setObjectName(QStringLiteral("MSComm1"));

    m_monitor = new Monitor(*m_mainPort, m_context.clock, this);
    m_monitor->setObjectName(QStringLiteral("monitor"));
    m_context.history.follow(*m_monitor);
    // While polls fail (keep polling), Label3 tells since when instead of "now loading".
    connect(m_monitor, &Monitor::pollStarted, this, [this] {
        if (!m_monitor->isFailing())
            setPollStatus(pollingText());
    });
    // Attached to a logger that owns the line: Label3 names it instead of "now loading".
    connect(m_monitor, &Monitor::attached, this, [this](const ShareProtocol::Hello &logger) {
        m_logger = logger.program +
                   (logger.instance.isEmpty() ? QString() : u' ' + logger.instance) +
                   QStringLiteral(", process %1").arg(logger.pid);
        m_loggerEnded = false;
        setPollStatus(pollingText());
    });
    connect(m_monitor, &Monitor::detached, this, [this] {
        m_loggerEnded = true;
        setPollStatus(pollingText());
    });
    connect(m_monitor, &Monitor::instrumentLost, this, [this](const QDateTime &since) {
        setPollStatus(m_texts.noReplySince.arg(since.toString(QStringLiteral("HH:mm:ss"))));
    });
    connect(m_monitor, &Monitor::keepAwakeRefused, this,
            [this](const QString &reason) { m_keepAwakeProblem = reason; });
    connect(m_monitor, &Monitor::instrumentBack, this, [this] { setPollStatus(pollingText()); });
    connect(m_monitor, &Monitor::reading, this, [this](const QDateTime &, const QByteArray &reply) {
        Controls::setAutoSizedText(m_label2, QString::fromLatin1(reply));
        updateValueColour();
        if (!m_monitor->isAttached())
            m_loggerEnded = false;
    });
    connect(m_monitor, &Monitor::pollFailed, this, &MainWindow::onPollFailed);
    connect(m_monitor, &Monitor::recordStarted, this, [this] { setSaveStatus(m_texts.nowSaving); });
    connect(m_monitor, &Monitor::logFailed, this,
            [this](const QString &, const QString &reason) { onLogFailed(reason); });

    buildControls();
    buildMenus();

    // The stored place and size are the client area's, below the menu bar: the window
    // starts a menu bar higher. The layout says how high the bar is at this width.
    const QRect client = Twips::rect(3510, 5190, 4695, 2835);
    resize(client.size());
    layout()->activate();
    setGeometry(client.adjusted(0, -centralWidget()->y(), 0, 0));
}

MainWindow::~MainWindow()
{
    delete m_trendWindow; // it follows this window's language
}

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // A long path would run past the window's edge.
    m_label1 = Controls::elidedLabel(client, "Label1", m_texts.saveFilePrefix + u' ', 0, 120);
    m_label2 = Controls::label(client, "Label2", QStringLiteral("0"), 1440, 480);
    m_label3 = Controls::label(client, "Label3", QString(), 600, 960);
    m_label4 = Controls::label(client, "Label4", QString(), 2760, 960);
    QFont big;
    big.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                     QStringLiteral("Noto Sans CJK JP")});
    big.setPointSizeF(27.75);
    big.setWeight(QFont::Normal);
    m_label2->setFont(big);
    // In MS PGothic the digits end on the baseline, right above the status texts; the
    // substitutes have a taller line and would write the digits over them.
    Controls::shrinkInkToFit(m_label2, QStringLiteral("-0123456789."),
                             m_label3->y() - m_label2->y());
    QPalette black = m_label2->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    m_label2->setPalette(black);
    m_label2->adjustSize();

    m_command1 = Controls::button(client, "Command1", m_texts.startComm, 720, 1200, 1335, 615);
    m_command2 = Controls::button(client, "Command2", m_texts.startSave, 2760, 1200, 1335, 615);
    m_command2->setEnabled(false);
    connect(m_command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);

    QLabel *label8 = Controls::label(client, "Label8", m_texts.commInterval, 840, 1920);
    QLabel *label10 = Controls::label(client, "Label10", m_texts.saveInterval, 3000, 1920);
    m_label7 = Controls::label(client, "Label7", QStringLiteral("1"), 1080, 2280);
    m_vscroll1 = Controls::scrollBar(client, "VScroll1", intervalMaximum, 1200, 2280);
    Controls::label(client, "Label9", m_texts.sec, 1560, 2280);
    m_label12 = Controls::label(client, "Label12", QStringLiteral("1"), 3120, 2280);
    m_vscroll2 = Controls::scrollBar(client, "VScroll2", intervalMaximum, 3240, 2280);
    Controls::label(client, "Label11", m_texts.sec, 3600, 2280);

    Controls::nameField(label8, m_vscroll1);
    Controls::nameField(label10, m_vscroll2);
    connect(m_vscroll1, &QScrollBar::valueChanged, this, &MainWindow::VScroll1_Change);
    connect(m_vscroll2, &QScrollBar::valueChanged, this, &MainWindow::VScroll2_Change);

    setTabOrder(m_command1, m_command2);
    setTabOrder(m_command2, m_vscroll1);
    setTabOrder(m_vscroll1, m_vscroll2);
}

bool MainWindow::applySerialSettings(const AppSettings &s)
{
    const int number = int(s.port) + 1;
    const QString line = SerialPort::settingsFor(s.baud);
    return m_editorPort->setCommPort(number) && m_editorPort->setSettings(line) &&
           m_mainPort->setCommPort(number) && m_mainPort->setSettings(line);
}

bool MainWindow::Form_Load(StartFailure *failure)
{
    setWindowTitle(Version::windowCaption());
    m_vscroll1->setValue(intervalMaximum);
    m_vscroll2->setValue(intervalMaximum);
    VScroll1_Change(m_vscroll1->value());
    VScroll2_Change(m_vscroll2->value());

    const Session::OpenResult r = m_context.session.openWindow(
        m_language, [this](const AppSettings &s) { return applySerialSettings(s); });
    if (!r.ok) {
        if (failure) {
            const QString &text = r.unwritable ? m_texts.startNotWritten : m_texts.startNotRead;
            *failure = {text.arg(m_context.session.settingsPath()), r.error};
        }
        return false;
    }
    if (r.recovered)
        m_logDialogName = m_context.session.folder().dataFile(QStringLiteral("540comm.csv"));
    Controls::setAutoSizedText(m_label1,
                               m_texts.saveFilePrefix + m_context.session.settings().fom1file);
    // From the options file, or as chosen earlier in this run when that could not be saved.
    m_options = m_context.session.options();
    applyOptions();
    return true;
}

void MainWindow::applyOptions()
{
    const Options &o = m_options;
    m_monitor->setUnattended({o.keepPolling, o.keepPolling && o.eventFile, o.dailyLog});
    const bool keepAwake = o.keepAwake && m_context.sleepInhibitor;
    m_monitor->setSleepInhibitor(keepAwake ? &m_context.sleepInhibitor() : nullptr);
}

void MainWindow::placeIntervalLabel(QLabel *label, const QScrollBar *bar)
{
    // Right-aligned against an edge 30 twips left of the scroll bar, so two and three
    // digits stay clear of it.
    label->adjustSize();
    label->move(bar->x() - Twips::toPixels(30) - label->width(), label->y());
}

QString MainWindow::pollingText()
{
    if (m_monitor->isAttached())
        return m_texts.attachedTo.arg(m_logger);
    if (m_loggerEnded) // until our own polls have a reply
        return m_texts.loggerEnded.arg(m_logger);
    return m_texts.nowLoading;
}

void MainWindow::setPollStatus(const QString &text)
{
    // "no reply since HH:MM:SS" or the logger attached to may need more room than there
    // is before Label4's "now saveing": a smaller font, and the window's own again for a
    // shorter text. With Label4 empty, the room runs to the window's edge.
    m_label3->setFont(QFont());
    m_label3->setText(text);
    const int end = m_label4->text().isEmpty() ? m_label3->parentWidget()->width() : m_label4->x();
    const int room = end - m_label3->x() - Twips::toPixels(statusGap);
    Controls::shrinkToFit(m_label3, {room, m_label3->sizeHint().height()});
    m_label3->adjustSize();
}

void MainWindow::setSaveStatus(const QString &text)
{
    Controls::setAutoSizedText(m_label4, text);
    setPollStatus(m_label3->text()); // its room has changed
}

void MainWindow::VScroll1_Change(int value)
{
    m_label7->setText(QString::number(100 - value));
    placeIntervalLabel(m_label7, m_vscroll1);
}

void MainWindow::VScroll2_Change(int value)
{
    m_label12->setText(QString::number(100 - value));
    placeIntervalLabel(m_label12, m_vscroll2);
}

std::chrono::milliseconds MainWindow::intervalOf(const QLabel *label) const
{
    // The label, not the scroll bar, holds the interval in seconds.
    return label->text().toInt() * m_context.secondLength;
}

void MainWindow::setMenusAndSelectorsEnabled(bool enabled)
{
    for (QMenu *menu : {m_fileMenu, m_editMenu, m_commMenu})
        menu->menuAction()->setEnabled(enabled);
    m_vscroll1->setEnabled(enabled);
    m_vscroll2->setEnabled(enabled);
}

void MainWindow::Command1_Click()
{
    if (m_command1->text() == m_texts.startComm)
        startPolling();
    else
        stopPolling();
}

void MainWindow::startPolling()
{
    m_command2->setEnabled(true);
    setMenusAndSelectorsEnabled(false);
    m_monitor->startPolling(intervalOf(m_label7));
    m_command1->setText(m_texts.stopComm);
}

void MainWindow::stopPolling()
{
    m_command2->setEnabled(false);
    setMenusAndSelectorsEnabled(true);
    m_monitor->stopPolling(); // logging ends with polling
    setSaveStatus(QString());
    setPollStatus(QString());
    m_command1->setText(m_texts.startComm);
    m_command2->setText(m_texts.startSave);
}

void MainWindow::onPollFailed(const CycleResult &result)
{
    // Polling and logging have stopped and the port is closed; the captions change only
    // once the operator has seen the message.
    m_command2->setEnabled(false);
    setMenusAndSelectorsEnabled(true);
    m_context.prompts.message(this, m_texts.communicationError, failureDetail(m_texts, result));
    m_command1->setText(m_texts.startComm);
    m_command2->setText(m_texts.startSave);
    setSaveStatus(QString());
    setPollStatus(QString());
}

void MainWindow::Command2_Click()
{
    if (m_command2->text() == m_texts.startSave) {
        m_keepAwakeProblem.clear(); // a refusal is reported again as logging starts
        const QString &log = m_context.session.settings().fom1file;
        ProcessClaim::Holder writer;
        if (m_monitor->startLogging(intervalOf(m_label12), log, &writer))
            m_command2->setText(m_texts.stopSave);
        else if (writer.pid)
            m_context.prompts.message(
                this, m_texts.logHeld,
                m_texts.logHeldBy.arg(log, writer.program, QString::number(writer.pid)));
        return;
    }
    m_monitor->stopLogging();
    setSaveStatus(QString());
    m_command2->setText(m_texts.startSave);
}

void MainWindow::onLogFailed(const QString &reason)
{
    setSaveStatus(QString());
    m_command2->setText(m_texts.startSave);
    m_context.prompts.message(this, m_texts.logNotWritten, reason);
}

TrendWindow *MainWindow::trendWindow() const
{
    return m_trendWindow;
}

void MainWindow::updateValueColour()
{
    // Red while the latest value is outside the alarm limits, black otherwise.
    const auto value = Numbers::toReal(m_monitor->lastReply());
    const bool outside = value && m_context.session.limits().isOutside(*value);
    QPalette palette = m_label2->palette();
    palette.setColor(QPalette::WindowText, outside ? Qt::red : Qt::black);
    m_label2->setPalette(palette);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The fixed place suits a 96 dpi screen of ordinary size; on a small or scaled screen the
    // window would reach past the edge.
    if (!event->spontaneous())
        ScreenFit::keepOnScreen(this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_monitor->stopPolling();
    if (m_trendWindow)
        m_trendWindow->close();
    bool written = false;
    Session &session = m_context.session;
    if (session.writesOnClose(m_language)) {
        QString error;
        written = session.save(&error);
        if (!written)
            m_context.prompts.message(this, m_texts.settingsNotWritten, error);
    }
    event->accept();
    Q_EMIT closed(written || !session.writesOnClose(m_language));
}
