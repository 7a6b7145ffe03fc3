#pragma once

#include "serial/SerialDevice.h"

#include <QSerialPort>

// SerialDevice over QSerialPort. Only the line's owner opens it (one per physical port),
// so the program never opens a device twice, whatever the kernel's lock does for root.
class QtSerialDevice final : public SerialDevice {
    Q_OBJECT
public:
    explicit QtSerialDevice(QObject *parent = nullptr);
    ~QtSerialDevice() override;

    bool open(const QString &path, qint32 baud) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray &bytes) override;
    qint64 outputQueued() const override;
    qint64 inBufferCount() const override { return m_port.bytesAvailable(); }
    void readPending() override;
    QByteArray readAll() override { return m_port.readAll(); }

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
};
