#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>

// Checks on option values shared by the command line and the config file.
namespace LoggerOptions {

// Why the options cannot be used; parse() turns it into an Error.
struct Failed {
    QString what;
};

// No option has a use for a control character, and a NUL would cut a path short where
// it reaches the system.
std::optional<QChar> controlIn(QStringView text);

// "the control character U+001B", for messages.
QString named(QChar control);

// Bytes that are no UTF-8 would come out changed (as U+FFFD), and so would name another
// file or send another password.
std::optional<QString> strictUtf8(QByteArrayView bytes);

// Throws Failed when `path` would not reach the system as it stands; `what` says whose it is.
void checkPath(const QString &what, const QString &path);

} // namespace LoggerOptions
