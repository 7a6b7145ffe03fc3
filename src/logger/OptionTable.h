#pragma once

#include "logger/LoggerConfig.h"

#include <QString>
#include <QStringView>

#include <array>

class QCommandLineParser;

// The logger's options, one entry each. The entries are what the command line and a
// --config file accept, what --help lists and what the manual page is checked against.
namespace LoggerOptions {

enum class Kind {
    Switch, // no value
    Text,   // checked where it is used (a port name, a speed, an address)
    Path,   // a file or device the system opens: no control character, carried unchanged
    Whole,  // a whole number within the entry's range
};

// An option that means nothing without another.
enum class Needs { Nothing, LogFile, Mqtt };

struct Range {
    int min = 0;
    int max = 0;
    const char *unit = nullptr; // what the numbers count, for the message that refuses one
};

struct Option {
    const char *name; // without the dashes
    Kind kind;
    const char *valueName; // nullptr for a switch
    Range range;           // Whole only
    const char *help;      // for a Whole, "%1 to %2" stands for its range
    Needs needs = Needs::Nothing;
};

inline constexpr Range wholeSeconds{LoggerConfig::minInterval, LoggerConfig::maxInterval,
                                    "whole seconds"};

// clang-format off
inline constexpr std::array<Option, 22> optionTable{{
    {"port", Kind::Text, "COMn", {},
     "Port number COM1 to COM7, through the ports/ links (default COM1)."},
    {"device", Kind::Path, "PATH", {},
     "The serial device itself, e.g. /dev/serial/by-id/...."},
    {"baud", Kind::Text, "N", {},
     "Speed: 300, 600, 1200, 2400, 4800, 9600 (default) or 19200."},
    {"poll", Kind::Whole, "SEC", wholeSeconds,
     "Poll every SEC seconds, %1 to %2 (default 1)."},
    {"log", Kind::Path, "FILE", {},
     "Append a record to FILE at every log interval."},
    {"log-interval", Kind::Whole, "SEC", wholeSeconds,
     "Log every SEC seconds, %1 to %2 (default 1).", Needs::LogFile},
    {"daily", Kind::Switch, nullptr, {},
     "A log file per day: FILE-yyyymmdd.csv.", Needs::LogFile},
    {"no-log", Kind::Switch, nullptr, {},
     "Log nothing, even with a log path from --settings."},
    {"settings", Kind::Path, "FILE", {},
     "Take port, speed and log path from this 540comm.st (read only)."},
    {"quiet", Kind::Switch, nullptr, {},
     "Print no line per reading."},
    {"socket", Kind::Path, "PATH", {},
     "Serve the line to windows at PATH (default: the runtime folder); none: do not."},
    {"mqtt", Kind::Text, "URL", {},
     "Publish to the broker at mqtt://HOST[:PORT]/PREFIX (mqtts:// for TLS)."},
    {"mqtt-cafile", Kind::Path, "FILE", {},
     "Certificate authority of the broker's certificate (mqtts).", Needs::Mqtt},
    {"mqtt-user", Kind::Text, "NAME", {},
     "User name at the broker.", Needs::Mqtt},
    {"mqtt-password-file", Kind::Path, "FILE", {},
     "The broker password is the first line of FILE.", Needs::Mqtt},
    {"mqtt-certfile", Kind::Path, "FILE", {},
     "Client certificate to log in to the broker with (mqtts).", Needs::Mqtt},
    {"mqtt-keyfile", Kind::Path, "FILE", {},
     "The certificate's private key, looked up like the password file.", Needs::Mqtt},
    {"mqtt-client-id", Kind::Text, "ID", {},
     "Client id at the broker (default qsrlink-logger-HOST-NAME), lasting session.",
     Needs::Mqtt},
    {"mqtt-retain", Kind::Switch, nullptr, {},
     "Keep the last value retained on the broker.", Needs::Mqtt},
    {"mqtt-discovery", Kind::Text, "PREFIX", {},
     "Announce the value to Home Assistant under PREFIX (its own: homeassistant).",
     Needs::Mqtt},
    {"mqtt-queue", Kind::Whole, "N", {1, LoggerConfig::maxQueue, "a number of readings"},
     "Readings kept while the broker is away (default 100000), in the state folder.",
     Needs::Mqtt},
    {"config", Kind::Path, "FILE", {},
     "Read options from FILE, one \"name = value\" a line."},
}};
// clang-format on

// The entry named `name`; nullptr for a name the logger does not take.
const Option *findOption(QStringView name);

// What --help says of the option.
QString helpOf(const Option &option);

// Every entry, with --help, --help-all and --version, as the parser's options.
void addOptions(QCommandLineParser &parser);

} // namespace LoggerOptions
