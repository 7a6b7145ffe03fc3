#include "serial/Protocol.h"

#include "core/Numbers.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace Protocol {

namespace {

constexpr char cr = '\r';
constexpr char lf = '\n';
constexpr qint64 bitsPerCharacter = 10;
constexpr qint32 slowestBaud = 300;

char toUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
char toLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool isTrimmed(char c)
{
    return c == cr || c == lf || c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView t)
{
    while (!t.isEmpty() && isTrimmed(t.front()))
        t = t.sliced(1);
    while (!t.isEmpty() && isTrimmed(t.back()))
        t.chop(1);
    return t;
}

// The reply as a message may quote it: short, and without control characters.
QString shown(QByteArrayView t)
{
    if (t.isEmpty())
        return {};
    constexpr qsizetype limit = 24;
    QString s;
    for (char c : t.first(qMin(t.size(), limit)))
        s += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
    if (t.size() > limit)
        s += QStringLiteral("...");
    return QLatin1Char('"') + s + QLatin1Char('"');
}

ApplyResult failure(ReplyFault fault, char letter, QByteArrayView text = {})
{
    return {fault, letter, shown(text)};
}

template <typename T> bool fits(qint64 v)
{
    return v >= std::numeric_limits<T>::min() && v <= std::numeric_limits<T>::max();
}

} // namespace

const ParameterCommand *findCommand(char letter)
{
    for (const ParameterCommand &c : parameterCommands) {
        if (c.readLetter == letter || c.writeLetter == letter)
            return &c;
    }
    return nullptr;
}

QByteArray readRequest(char letter)
{
    return QByteArray(1, toUpper(letter));
}

QByteArray writeRequest(char letter, qint32 value)
{
    return toLower(letter) + QByteArray::number(value) + cr;
}

QByteArray modeWriteRequest(int first, int second)
{
    return 'm' + QByteArray::number(first) + '.' + QByteArray::number(second) + cr;
}

QByteArray writeRequest(const ParameterCommand &command, const ParameterSet &values)
{
    if (command.isMode())
        return modeWriteRequest(values.field(command.field), values.field(command.field + 1));
    return writeRequest(command.writeLetter, values.field(command.field));
}

QList<QByteArray> transmissionRequests(const ParameterSet &values, bool detailed)
{
    QList<QByteArray> out;
    for (const ParameterCommand &c : parameterCommands) {
        if (detailed || !c.detailedOnly)
            out.append(writeRequest(c, values));
    }
    return out;
}

// ---- ReplyAssembler -------------------------------------------------------------------

void ReplyAssembler::feed(QByteArrayView bytes, std::chrono::milliseconds now)
{
    if (bytes.isEmpty() || m_flooded)
        return;
    if (m_lfBelongsToPrevious) {
        m_lfBelongsToPrevious = false;
        if (bytes.front() == lf)
            bytes = bytes.sliced(1);
        if (bytes.isEmpty())
            return;
    }
    // One byte beyond the limit is enough to see the overflow; a huge chunk is never copied.
    const qsizetype room = maxPendingLength + 1 - m_buffer.size();
    m_buffer.append(bytes.first(qMin(bytes.size(), room)));
    m_lastArrival = now;
    limitPending();
}

void ReplyAssembler::limitPending()
{
    qsizetype start = 0; // of the reply being checked
    while (start < m_buffer.size()) {
        const qsizetype window = qMin(m_buffer.size() - start, maxReplyLength);
        const qsizetype end = m_buffer.indexOf(cr, start);
        if (end >= 0 && end < start + window) {
            qsizetype next = end + 1;
            if (next < m_buffer.size() && m_buffer.at(next) == lf)
                ++next;
            if (next > maxPendingLength) {
                // This reply does not fit beside the ones already waiting.
                m_buffer.truncate(start);
                m_flooded = true;
                return;
            }
            start = next;
            continue;
        }
        if (m_buffer.size() - start > maxReplyLength) {
            // No CR within the cap: the reply ends at the cap if it fits in the buffer.
            const bool fitsBuffer = start + maxReplyLength <= maxPendingLength;
            m_buffer.truncate(fitsBuffer ? start + maxReplyLength : start);
            m_flooded = true;
            return;
        }
        break; // an unfinished reply
    }
    if (m_buffer.size() > maxPendingLength) {
        m_buffer.truncate(start); // drop the unfinished reply rather than cut it
        m_flooded = true;
    }
}

qsizetype ReplyAssembler::firstCr() const
{
    const qsizetype end = m_buffer.indexOf(cr);
    return (end >= 0 && end < maxReplyLength) ? end : -1;
}

bool ReplyAssembler::isComplete(std::chrono::milliseconds now) const
{
    if (m_buffer.isEmpty())
        return false;
    if (firstCr() >= 0 || m_flooded)
        return true;
    return m_buffer.size() >= 2 && now - m_lastArrival >= quietPeriod;
}

std::optional<std::chrono::milliseconds> ReplyAssembler::quietDeadline() const
{
    if (m_buffer.isEmpty())
        return std::nullopt;
    if (firstCr() >= 0 || m_flooded)
        return m_lastArrival;
    if (m_buffer.size() >= 2)
        return m_lastArrival + quietPeriod;
    return std::nullopt;
}

QByteArray ReplyAssembler::takeReply()
{
    const qsizetype end = firstCr();
    if (end >= 0) {
        QByteArray reply = m_buffer.first(end + 1);
        m_buffer.remove(0, end + 1);
        // Once its LF is consumed, a further LF is the next reply's own.
        const bool lfTaken = !m_buffer.isEmpty() && m_buffer.front() == lf;
        if (lfTaken)
            m_buffer.remove(0, 1);
        m_lfBelongsToPrevious = !lfTaken && m_buffer.isEmpty();
        return reply;
    }
    if (m_flooded || m_buffer.size() >= 2) {
        m_lfBelongsToPrevious = false;
        return std::exchange(m_buffer, QByteArray());
    }
    return {};
}

void ReplyAssembler::reset()
{
    m_buffer.clear();
    m_lastArrival = std::chrono::milliseconds{0};
    m_lfBelongsToPrevious = false;
    m_flooded = false;
}

// ---- Wait bound -----------------------------------------------------------------------

std::chrono::milliseconds lineTime(qint64 bytes, qint32 baud)
{
    const qint64 speed = baud > 0 ? baud : slowestBaud;
    const qint64 bitMs = std::max<qint64>(bytes, 0) * bitsPerCharacter * 1000;
    return std::chrono::milliseconds((bitMs + speed - 1) / speed);
}

std::chrono::milliseconds replyTimeout(qint32 baud)
{
    return replyTimeoutBase + lineTime(replyTimeoutCharacters, baud);
}

// ---- Reply conversion -----------------------------------------------------------------

ApplyResult applyReply(ParameterSet &values, char letter, QByteArrayView reply)
{
    const ParameterCommand *command = findCommand(letter);
    if (!command)
        return failure(ReplyFault::UnknownLetter, letter);
    const ParameterCommand &c = *command;

    if (reply.size() >= maxReplyLength && !(reply.back() == cr || reply.back() == lf))
        return failure(ReplyFault::CutOff, c.readLetter);
    const QByteArrayView text = trimmed(reply);
    if (text.isEmpty())
        return failure(ReplyFault::Empty, c.readLetter);

    const QString number = QString::fromLatin1(text);
    const std::optional<qint64> v = Numbers::toInteger(number);
    if (!v) {
        return failure(Numbers::isNumber(number) ? ReplyFault::TooLarge : ReplyFault::NotNumber,
                       c.readLetter, text);
    }

    const bool wide = c.field < ParameterSet::wideFieldCount;
    if (wide ? !fits<qint32>(*v) : !fits<qint16>(*v))
        return failure(wide ? ReplyFault::OutOfRange32 : ReplyFault::OutOfRange16, c.readLetter,
                       text);

    if (c.isMode()) {
        if (*v < 0)
            return failure(ReplyFault::NotModeDigits, c.readLetter, text);
        const QByteArray digits = QByteArray::number(*v);
        const bool stored = values.setField(c.field, digits.front() - '0') &&
                            values.setField(c.field + 1, digits.back() - '0');
        Q_ASSERT(stored);
        Q_UNUSED(stored);
        return {};
    }

    if (!values.setField(c.field, *v))
        return failure(ReplyFault::DoesNotFit, c.readLetter, text);
    return {};
}

} // namespace Protocol
