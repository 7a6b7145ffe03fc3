#pragma once

#include "logger/LoggerConfig.h"
#include "logger/ShareServer.h"
#include "monitor/LiveHistory.h"
#include "monitor/Monitor.h"
#include "serial/DeviceClaim.h"
#include "serial/SerialPort.h"

#include <QIODevice>
#include <QObject>
#include <QTimer>

#include <memory>

class Clock;
class MqttPublisher;
class SerialLines;

// The headless logger: polls and logs through the same monitor as the Main window, with
// "keep polling through communication errors" and the event file always on, prints each
// reading and each loss and return of the instrument, and hands them to the publisher.
class Logger : public QObject {
    Q_OBJECT
public:
    // Exit statuses besides 0 (a requested end) and 2 (bad options, decided before this).
    static constexpr int failed = 1; // the log could not be written; the device is taken

    // Everything given must outlive the logger; `publisher` may be null.
    Logger(const LoggerConfig &config, SerialLines &lines, const Clock &clock, QIODevice &out,
           QIODevice &err, MqttPublisher *publisher, QObject *parent = nullptr);

    // Claims the device and starts polling (and logging). False, with the reason on the
    // error output and nothing started, when another logger has the device.
    bool start();
    // Ends after the cycle on the line, with the log complete; finished(0) follows once the
    // broker has what was queued, or after a few seconds.
    void stop();
    bool isStopping() const { return m_stopping; }
    // Where windows attach; empty when the line is not served.
    QString socketPath() const { return m_share ? m_share->path() : QString(); }

    // The runtime folder the service manager gives (RUNTIME_DIRECTORY), else the user's
    // ($XDG_RUNTIME_DIR/qsrlink), else the temporary folder's qsrlink-UID.
    static QString runtimeFolder();
    // Where the logger keeps what must outlast it: the service manager's state folder
    // (STATE_DIRECTORY), else $XDG_STATE_HOME/qsrlink, else ~/.local/state/qsrlink.
    static QString stateFolder();

Q_SIGNALS:
    void finished(int status);

private:
    void onReading(const QDateTime &at, const QByteArray &reply);
    void endWith(int status);
    void afterCycle();
    void say(const QByteArray &text);
    void serve();
    // The instrument's parameters to the broker: read at the start and after every
    // Transmission a window makes through us, each time between two polls.
    void loadParameters();

    LoggerConfig m_config;
    const Clock &m_clock;
    QIODevice &m_out;
    QIODevice &m_err;
    MqttPublisher *m_publisher;
    DeviceClaim m_claim; // before the port, which uses it
    SerialPort m_port;
    Monitor m_monitor;
    LiveHistory m_history; // what attached windows are sent first
    std::unique_ptr<ShareServer> m_share;
    QTimer m_brokerBound;
    bool m_stopping = false;
    bool m_parametersWanted = false; // a Load waits for the line and an answering instrument
    bool m_loading = false;
    bool m_answering = false; // the last poll had its reply
    int m_status = 0;
};
