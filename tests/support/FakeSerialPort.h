#pragma once

#include "serial/SerialPort.h"

#include <QList>

// A SerialPort for window tests: records every open, close and write, and delivers
// bytes the test injects. Opening fails while `failOpen` is set.
class FakeSerialPort : public SerialPort {
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override;
    qint64 inBufferCount() const override { return m_input.size(); }
    QByteArray readAll() override;
    QString deviceName() const override { return QStringLiteral("fake:COM%1").arg(commPort()); }

    // Bytes arriving from the instrument (only while open, as on a real line).
    void inject(const QByteArray &bytes);
    // The line fails while open, as when an adapter is unplugged.
    void fail(const QString &reason);

    bool failOpen = false;
    bool failWrite = false;
    bool lineFailsOnWrite = false; // the line drops while a request is written
    QByteArray written;
    int opens = 0;
    int closes = 0;

private:
    bool m_open = false;
    QByteArray m_input;
};
