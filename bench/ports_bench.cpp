// Opening the Ports window: from construction until it is shown and painted, with 30
// listed devices and with this computer's own list, against a window of the same kind with
// empty lists (the baseline, no project code), alternating in one run.
//
// Usage: bench-ports [ROUNDS]   (default 30). Prints medians in milliseconds and ratios.
#include "BenchKit.h"
#include "BenchProgram.h"
#include "ui/PortsDialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::median;

QList<PortDevice> thirtyDevices()
{
    QList<PortDevice> devices;
    for (int i = 0; i < 30; ++i) {
        PortDevice d;
        d.path = QStringLiteral("/dev/ttyUSB%1").arg(i);
        d.byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A%1-if00-port0").arg(i);
        d.description = QStringLiteral("FT232R USB UART");
        d.manufacturer = QStringLiteral("FTDI");
        d.usbId = QStringLiteral("0403:6001");
        d.serialNumber = QStringLiteral("A%1").arg(i);
        devices << d;
    }
    return devices;
}

// The least a window with these lists and buttons costs.
void openBaseline()
{
    QDialog d;
    auto *layout = new QVBoxLayout(&d);
    for (int i = 0; i < 2; ++i)
        layout->addWidget(new QTreeWidget(&d));
    for (int i = 0; i < 5; ++i)
        layout->addWidget(new QPushButton(QStringLiteral("Button"), &d));
    d.resize(760, 460);
    d.show();
    d.repaint();
}

template <typename Open> double timed(Open open)
{
    QElapsedTimer t;
    t.start();
    open();
    QCoreApplication::processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QTemporaryDir dir;
    bench::Program program(dir.path());
    UiContext &context = program.context;

    auto openPorts = [&](SystemPorts::Source source) {
        return [&, source] {
            PortsDialog d(Language::English, context, 9600, source);
            d.show();
            d.repaint();
        };
    };
    std::vector<double> base, thirty, system;
    const qsizetype systemCount =
        (SystemPorts::systemDevices() + SystemPorts::folderDevices(program.folder)).size();
    for (int i = 0; i < rounds + 3; ++i) { // the first three warm up
        const double b = timed(openBaseline);
        const double t = timed(openPorts(thirtyDevices));
        const double s = timed(openPorts({}));
        if (i >= 3) {
            base.push_back(b);
            thirty.push_back(t);
            system.push_back(s);
        }
    }
    const double mb = median(base), mt = median(thirty), ms = median(system);
    std::printf("platform %s, %d rounds, medians\n", qPrintable(QApplication::platformName()),
                rounds);
    std::printf("baseline (empty lists)     %7.2f ms\n", mb);
    std::printf("Ports, 30 devices          %7.2f ms  %.2fx baseline  (target < 200 ms)\n", mt,
                mt / mb);
    std::printf("Ports, own list (%3lld)      %7.2f ms  %.2fx baseline\n",
                static_cast<long long>(systemCount), ms, ms / mb);
    return mt < 200.0 ? 0 : 1;
}
