#include "logger/OptionTable.h"

#include <QCommandLineParser>

namespace LoggerOptions {

const Option *findOption(QStringView name)
{
    for (const Option &o : optionTable) {
        if (name == QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

QString helpOf(const Option &option)
{
    const QString help = QString::fromLatin1(option.help);
    if (option.kind != Kind::Whole || !help.contains(QLatin1String("%1")))
        return help;
    return help.arg(option.range.min).arg(option.range.max);
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Polls a QSR540 measuring instrument on a serial port without a window, logs the "
        "measured value to a CSV file as the QSRLINK window does, prints each reading and "
        "can publish the readings to an MQTT broker. Communication errors never stop it: "
        "it keeps polling, and notes each loss and return of the instrument."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Option &o : optionTable) {
        QCommandLineOption option(QString::fromLatin1(o.name), helpOf(o));
        if (o.valueName)
            option.setValueName(QString::fromLatin1(o.valueName));
        parser.addOption(option);
    }
    parser.addHelpOption();
    parser.addVersionOption();
}

} // namespace LoggerOptions
