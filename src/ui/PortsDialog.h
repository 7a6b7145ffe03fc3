#pragma once

#include "core/Language.h"
#include "serial/SystemPorts.h"
#include "ui/UiContext.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;
struct CycleResult;
struct PortsTexts;
struct MainTexts;

// The Ports window, in either language: where each port number COM1..COM7 leads now, the
// serial devices this computer has, and assigning one to a port number (a ports/COMn link
// in the data folder, by the device's stable name when it has one). Test polls the chosen
// port number once at the current speed, on the line's owner like any other exchange.
// The device list is read when the window opens and on Refresh, never on a timer.
class PortsDialog : public QDialog {
    Q_OBJECT
public:
    // `baud` is the speed Test uses. `devices` lists the devices; the system's and the
    // data folder's links when empty.
    PortsDialog(Language language, UiContext &context, qint32 baud,
                SystemPorts::Source devices = {}, QWidget *parent = nullptr);

    // The port number chosen in the list (1..7), 0 for none.
    int chosenPort() const;
    // The status line: the outcome of the last assignment or test.
    QString status() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fillPorts();
    void fillDevices();
    void showChosenDevice();
    const PortDevice *chosenDevice() const;
    void assignChosen();
    void removeChosen();
    // The status after an assignment changed (`done`) or could not be changed.
    void reportChange(int port, bool done, const QString &text, const QString &error);
    void testChosen();
    void onTestFinished(int port, const CycleResult &result, const QByteArray &reply);
    void setStatus(const QString &text);
    QString routeText(int port) const;

    const PortsTexts &m_texts;
    const MainTexts &m_mainTexts;
    UiContext &m_context;
    qint32 m_baud;
    SystemPorts::Source m_source;
    QList<PortDevice> m_devices;
    QTreeWidget *m_ports = nullptr;
    QTreeWidget *m_deviceList = nullptr;
    QPushButton *m_assign = nullptr, *m_remove = nullptr, *m_test = nullptr;
    QLabel *m_status = nullptr;
};
