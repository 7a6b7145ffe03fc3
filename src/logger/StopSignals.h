#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal in the main thread (through a pipe the handler writes
// one byte to), so that an end asked for by the service manager or Ctrl+C lets the current
// cycle finish and the files close in order. One instance per program.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void stopRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};
