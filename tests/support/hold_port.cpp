// Holds a serial port open the way another program would, until its standard input
// closes. Prints "held" once the port is open. Usage: hold_port DEVICE
#include <QCoreApplication>
#include <QSerialPort>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(argv[1]));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "%s\n", qPrintable(port.errorString()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    QSocketNotifier stdinClosed(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinClosed, &QSocketNotifier::activated, &app, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            app.quit();
    });
    return app.exec();
}
