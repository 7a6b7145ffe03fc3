#pragma once

#include "serial/Exchange.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <limits>
#include <optional>
#include <vector>

// How a logger shares its line with the windows that attach to it over its local socket:
// one JSON object per line (UTF-8, LF), each with a "type". Bytes to and from the
// instrument travel as strings of the characters 0..255 (Latin-1), so they come back
// exactly as they went.
//
// The logger says "hello" first, then sends every "reading" and every loss ("lost") and
// return ("back") of the instrument as it happens. A client asks for "history" since a
// time (answered in chunks, the last with "more": false) and for a "cycle": the requests of
// a Load, a Transmission or a test, run by the logger on its line between two polls and
// answered with the replies and the outcome, as a local cycle would give them. Anything the
// logger cannot take is answered with "error", and the connection ends.
namespace ShareProtocol {

inline constexpr int version = 1;
// A longer line is refused whole, in either direction.
inline constexpr qsizetype maxLineLength = 64 * 1024;
// Points in one "history" message (about 30 bytes each).
inline constexpr int historyChunkPoints = 1000;
// Requests in one cycle: a detailed Transmission has 14.
inline constexpr int maxExchanges = 16;

struct Hello {
    int protocol = version;
    qint64 pid = 0;
    QString program; // "qsrlink-logger"
    QString instance;
    QString device; // as configured
    QString node;   // the device node it leads to now
    qint32 speed = 0;
    int pollSeconds = 0;
    int logSeconds = 0; // 0: not logging
    bool lost = false;  // the instrument does not answer now
};

struct Reading {
    QDateTime at;
    QByteArray raw; // the reply exactly as read
};

struct Event {
    bool lost = false; // else back
    QDateTime at;
    QString reason; // lost: why
};

// A point of the logger's history: a number, a reply that was no number (+infinity) or a
// break (NaN), as the trend keeps them.
struct Point {
    qint64 ms = 0;
    double value = 0;
};

struct HistoryRequest {
    qint64 id = 0;
    qint64 sinceMs = 0; // milliseconds since 1970; all the logger has: 0
};

struct HistoryChunk {
    qint64 id = 0;
    std::vector<Point> points;
    bool more = false;
};

struct CycleRequest {
    qint64 id = 0;
    QList<Exchange> exchanges;
};

struct CycleAnswer {
    qint64 id = 0;
    bool busy = false; // not run: the logger's queue is full, or it is ending
    CycleResult result;
    QList<QByteArray> replies; // one per awaited reply that came, in order
};

// A decoded line: its type and its fields.
struct Message {
    QString type;
    QJsonObject fields;
};

// One line, its LF included.
QByteArray encode(const Hello &hello);
QByteArray encode(const Reading &reading);
QByteArray encode(const Event &event);
QByteArray encode(const HistoryRequest &request);
QByteArray encode(const HistoryChunk &chunk);
QByteArray encode(const CycleRequest &request);
QByteArray encode(const CycleAnswer &answer);
QByteArray encodeError(const QString &reason);

// A line without its LF: a JSON object with a string "type", within maxLineLength.
std::optional<Message> decode(QByteArrayView line, QString *error);

// The fields of a message of that type; nothing when one is missing or of the wrong kind.
std::optional<Hello> toHello(const Message &m);
std::optional<Reading> toReading(const Message &m);
std::optional<Event> toEvent(const Message &m);
std::optional<HistoryRequest> toHistoryRequest(const Message &m);
std::optional<HistoryChunk> toHistoryChunk(const Message &m);
std::optional<CycleAnswer> toCycleAnswer(const Message &m);
// Also checks every request against what a window may send the instrument: a read letter
// alone, awaiting its reply, or a write letter, its value in decimal and CR, awaiting
// nothing. Anything else is refused with the reason in `error`.
std::optional<CycleRequest> toCycleRequest(const Message &m, QString *error);

} // namespace ShareProtocol
