#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What one headless logger does, from its command line (and the file --config names).
//
// The instrument: --device PATH, or --port COMn through the ports/ links of the data folder,
// or the port of a 540comm.st named by --settings (whose folder then holds the links). The
// speed: --baud, or the settings file's, or 9600. Logging runs when a log file is known
// (--log, or the settings file's log path) unless --no-log says otherwise.
struct LoggerConfig {
    static constexpr int minInterval = 1;   // seconds
    static constexpr int maxInterval = 100; // seconds
    static constexpr int defaultQueue = 100000;
    static constexpr int maxQueue = 10000000;

    QString device;     // absolute path; empty: portNumber through the ports/ links
    int portNumber = 1; // COM1..COM7
    QString linkFolder; // the data folder whose ports/ links portNumber follows; empty: ours
    qint32 baud = 9600;
    int pollSeconds = 1;
    int logSeconds = 1;
    QString logPath; // empty: no log
    bool daily = false;
    bool quiet = false;
    // Where windows attach; empty: the runtime folder's <instance or device>.sock; "none":
    // nowhere.
    QString socket;
    QString instance; // the config file's name without ".conf"; empty without one

    struct Mqtt {
        QString host;
        int port = 1883;
        bool tls = false;
        QString prefix; // topic prefix, without a trailing '/'
        QString caFile; // empty with tls: the system's certificate authorities
        QString user;
        QString password;
        QString certFile; // a client certificate, with its key; empty: none
        QString keyFile;
        QString clientId;  // empty: defaultClientId()
        QString discovery; // the Home Assistant discovery prefix; empty: no announcement
        bool retain = false;
        int queueLimit = defaultQueue;
    };
    std::optional<Mqtt> mqtt;

    // "/dev/ttyUSB0" or "COM1", for messages.
    QString instrumentName() const;
    // What names this logger's files and its session at the broker, the same at every
    // start: the instance, else the device without /dev/ ("ttyUSB0", "serial-by-id-usb-…"),
    // else the port ("COM1").
    QString name() const;
    // "qsrlink-logger-HOST-NAME".
    QString defaultClientId(const QString &host) const;
};

namespace LoggerOptions {

enum class Outcome { Run, Help, Version, Error };

struct Parsed {
    Outcome outcome = Outcome::Error;
    LoggerConfig config;
    QString text; // Help: the help text; Error: what is wrong
};

// Where relative names are looked up: a password file name without a folder is taken from
// the service manager's credentials folder when there is one.
struct Environment {
    QString credentialsDirectory; // $CREDENTIALS_DIRECTORY
};

// Reads the arguments (argv without the program name). Opens nothing but the files the
// options name for reading: --config, --settings and the password file. A value holding a
// control character, and a path the system's encoding cannot carry unchanged, are errors.
Parsed parse(const QStringList &arguments, const Environment &env = {});

// The arguments a --config file stands for: one option per line, "name = value" or "name"
// for a switch, names as on the command line without the dashes; blank lines and lines
// starting with '#' are skipped. Empty with an error naming the line (and the option) when
// a line is not of that form, holds a control character or is not valid UTF-8, or names
// an option that takes a value without one.
// In a value, "%i" stands for `instance` (the config file's name without ".conf", which is
// the service instance's: line3.conf serves qsrlink-logger@line3), "%%" for one '%'; so a
// config copied for another instance logs to a file of its own.
std::optional<QStringList> configArguments(const QByteArray &text, QString *error,
                                           const QString &instance = {});

} // namespace LoggerOptions
