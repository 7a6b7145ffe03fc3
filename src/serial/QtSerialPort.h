#pragma once

#include "core/ProgramFolder.h"
#include "serial/SerialPort.h"

#include <QElapsedTimer>
#include <QSerialPort>

// SerialPort over QSerialPort. The port number is mapped to a device at every open, so a
// ports/COMn link made after start-up is honoured.
//
// One physical device is opened by at most one instance of this process at a time: the
// second open is refused (the kernel's exclusive lock does not hold for root).
class QtSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(ProgramFolder folder, QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open() override;
    void close() override;
    void abort() override;
    bool isOpen() const override { return m_port.isOpen(); }
    bool write(const QByteArray &bytes) override;
    qint64 inBufferCount() const override { return m_port.bytesAvailable(); }
    void readPending() override;
    QByteArray readAll() override { return m_port.readAll(); }
    QString deviceName() const override;

private:
    void onError(QSerialPort::SerialPortError error);
    void release();

    ProgramFolder m_folder;
    QSerialPort m_port;
    QString m_claimed;    // canonical device held while open
    qint64 m_written = 0; // bytes handed to the line since open
    QElapsedTimer m_sinceOpen;
};
