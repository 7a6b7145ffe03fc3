#pragma once

#include "serial/SerialDevice.h"

#include <QElapsedTimer>
#include <QList>

// A SerialDevice for tests: records every open, close and write, and delivers bytes the
// test injects. Opening fails while `failOpen` is set.
//
// With `lineBaud` set it models a real line: written bytes queue in the driver and leave
// one character time (10 bits at lineBaud) after another; close() discards what is still
// queued. `stalled` stops the queue from draining, as a device that has stopped taking
// output would.
class FakeSerialDevice : public SerialDevice {
    Q_OBJECT
public:
    using SerialDevice::SerialDevice;

    bool open(const QString &path, qint32 baud) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override;
    qint64 outputQueued() const override;
    qint64 inBufferCount() const override { return m_input.size(); }
    QByteArray readAll() override;

    // Bytes arriving from the instrument (only while open, as on a real line).
    void inject(const QByteArray &bytes);
    // The line fails while open, as when an adapter is unplugged.
    void fail(const QString &reason);
    // Bytes that have left on the line (all written bytes without a line model).
    QByteArray sent() const;

    bool failOpen = false;
    bool failWrite = false;
    bool lineFailsOnWrite = false; // the line drops while a request is written
    qint32 lineBaud = 0;           // 0: output leaves at once
    bool stalled = false;
    QByteArray written; // everything handed to write(), sent or not
    QString path;       // of the last open
    qint32 baud = 0;    // of the last open
    int opens = 0;
    int closes = 0;
    qint64 discarded = 0; // bytes still queued when the device was closed

private:
    qint64 sentCount() const;

    bool m_open = false;
    QByteArray m_input;
    QElapsedTimer m_clock;
    qint64 m_queueStart = 0;  // index in `written` of the first byte not yet sent
    qint64 m_lineFreeNs = 0;  // when the last queued byte will have left
    QList<qint64> m_sentAtNs; // per byte written since open: when it leaves the line
    QByteArray m_sent;        // what left on the line in earlier opens
};
