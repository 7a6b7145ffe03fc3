#pragma once

#include "serial/Exchange.h"

#include <QObject>
#include <QString>

class DeviceClaim;
class SerialLine;
class SerialLines;

// A serial-port instance as the windows know it: the Main window's (polling) and the
// Parameter editor's (Load and Transmission), both set to the same port and speed. It
// holds the port number and the line settings; its cycles run on the line the port number
// leads to, whose owner runs one cycle at a time for every instance.
//
// Set the port number and the line settings while no cycle runs; a change applies from
// the next cycle on.
class SerialPort : public QObject {
    Q_OBJECT
public:
    // `lines` must outlive this port.
    explicit SerialPort(SerialLines &lines, QObject *parent = nullptr);

    static constexpr int firstPort = 1;
    static constexpr int lastPort = 7;

    // Port numbers 1..7 are accepted; anything else is refused and changes nothing.
    bool setCommPort(int number);
    int commPort() const { return m_commPort; }
    // Opens this device by its path instead of a port number's (the headless logger's
    // --device); an empty path goes back to the port number.
    void setDevice(const QString &path) { m_device = path; }

    // "<baud>,N,8,1" with one of the seven speeds; anything else is refused.
    bool setSettings(const QString &settings);
    QString settings() const { return m_settings; }
    qint32 baud() const { return m_baud; }

    // Every cycle first claims the device node it is about to open through `claim` (the
    // headless logger's), so the claim follows a link that comes to lead elsewhere. None:
    // null; it must outlive this port.
    void setClaim(DeviceClaim *claim) { m_claim = claim; }

    // The device the port number maps to now (for messages).
    QString deviceName() const;
    // The owner of that device's line.
    SerialLine &line() const;
    // True while any cycle runs on that line.
    bool isBusy() const;

    // Runs one port cycle with this port's settings on its line (see SerialLine::start).
    // False, with nothing done, while the line is busy.
    bool startCycle(QList<Exchange> exchanges, ReplyHandler onReply, QObject *requester,
                    FinishHandler onFinished);

    static bool isValidSettings(const QString &settings, qint32 *baud = nullptr);
    static QString settingsFor(qint32 baud)
    {
        return QString::number(baud) + QStringLiteral(",N,8,1");
    }

private:
    SerialLines &m_lines;
    int m_commPort = 1;
    QString m_device;
    DeviceClaim *m_claim = nullptr;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint32 m_baud = 9600;
};
