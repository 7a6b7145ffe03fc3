// Reply completion and conversion on arbitrary input arriving in arbitrary chunks at
// arbitrary times. The input's head is the line's bytes; its tail, read backwards, says
// how they are chunked (one control byte a step), when each chunk arrives and when the
// assembler is reset, so a plain reply is a useful seed as it stands.
//
// Checked: no crash; no reply longer than the cap; never more waiting than the pending
// limit; every byte that arrived comes out once and in order (an LF right after a CR
// belongs to that reply and is dropped) until a flood starts discarding; completion agrees
// with the deadline the caller's timer is set to. A conversion gives what a plain reading
// of the reply's bytes gives (a pattern and decimal digits compared as text, none of the
// parser's own code): the same refusal, or the same value in the command's own fields and
// nothing else; and a value it stored, sent back as the program writes it, reads the same.

#include "FuzzCheck.h"

#include "serial/Protocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

using namespace std::chrono_literals;
using Protocol::ReplyAssembler;

namespace {

constexpr char cr = '\r';
constexpr char lf = '\n';

// Gaps between chunks, around the quiet period's edge and well past it.
constexpr std::array<std::chrono::milliseconds, 16> gaps{
    0ms, 0ms, 0ms, 1ms, 5ms, 20ms, 50ms, 98ms, 99ms, 100ms, 101ms, 150ms, 250ms, 1000ms, 0ms, 3ms};

class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_end(size) {}

    bool empty() const { return m_begin >= m_end; }
    std::uint8_t control() { return m_data[--m_end]; }
    QByteArrayView bytes(std::size_t n)
    {
        n = std::min(n, m_end - m_begin);
        const QByteArrayView out(reinterpret_cast<const char *>(m_data + m_begin), qsizetype(n));
        m_begin += n;
        return out;
    }
    std::size_t left() const { return m_end - m_begin; }

private:
    const std::uint8_t *m_data;
    std::size_t m_begin = 0;
    std::size_t m_end;
};

// A set where no field is 0, so a conversion that touches a field is visible.
ParameterSet marked()
{
    ParameterSet p;
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        p.setField(i, 100 + i);
    return p;
}

struct Reading {
    Protocol::ReplyFault fault = Protocol::ReplyFault::None;
    qint64 value = 0;
};

// The reply read as the protocol describes it: blanks (space, tab, CR, LF) around an
// optional sign, digits and an optional point with digits; rounded to the nearest integer,
// a half to the even one; P, H and L 32-bit, the rest 16-bit, M not negative.
Reading plainReading(QByteArrayView reply, const Protocol::ParameterCommand &command)
{
    using Fault = Protocol::ReplyFault;
    if (reply.size() >= Protocol::maxReplyLength && reply.back() != cr && reply.back() != lf)
        return {Fault::CutOff};
    const QString text = QString::fromLatin1(reply);
    static const QRegularExpression blank(QStringLiteral("\\A[ \\t\\r\\n]*\\z"));
    static const QRegularExpression number(
        QStringLiteral("\\A[ \\t\\r\\n]*([+-]?)([0-9]*)(?:\\.([0-9]*))?[ \\t\\r\\n]*\\z"));
    if (blank.match(text).hasMatch())
        return {Fault::Empty};
    const QRegularExpressionMatch parts = number.match(text);
    QString whole = parts.captured(2);
    QString fraction = parts.captured(3);
    if (!parts.hasMatch() || whole.size() + fraction.size() == 0)
        return {Fault::NotNumber};

    while (whole.startsWith(u'0'))
        whole.remove(0, 1);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole.size() > 19) // 10^19 is beyond 64 bits, however it is rounded
        return {Fault::TooLarge};
    quint64 magnitude = whole.isEmpty() ? 0 : whole.toULongLong();
    const int half = fraction.compare(QLatin1String("5")); // as text: "49" < "5" < "51"
    if (half > 0 || (half == 0 && magnitude % 2 == 1))
        ++magnitude;
    const bool negative = parts.captured(1) == QLatin1String("-");
    constexpr quint64 twoTo63 = quint64(1) << 63;
    if (negative ? magnitude > twoTo63 : magnitude >= twoTo63)
        return {Fault::TooLarge};
    const qint64 value = negative ? qint64(0 - magnitude) : qint64(magnitude);

    if (QByteArrayView("PHL").contains(command.readLetter)) {
        if (value < std::numeric_limits<qint32>::min() ||
            value > std::numeric_limits<qint32>::max())
            return {Fault::OutOfRange32};
    } else if (value < std::numeric_limits<qint16>::min() ||
               value > std::numeric_limits<qint16>::max()) {
        return {Fault::OutOfRange16};
    }
    if (command.isMode() && value < 0)
        return {Fault::NotModeDigits};
    return {Fault::None, value};
}

// MODE's first and last decimal digit: 123 -> 1, 3; 7 -> 7, 7.
std::pair<qint64, qint64> modeDigits(qint64 v)
{
    const qint64 last = v % 10;
    while (v >= 10)
        v /= 10;
    return {v, last};
}

// The value stored, sent back as the program writes it (MODE's two digits side by side,
// as the instrument answers them), reads as the same value.
void checkRoundTrip(const ParameterSet &values, const Protocol::ParameterCommand &command)
{
    const QByteArray rebuilt =
        command.isMode() ? QByteArray::number(values.field(command.field)) +
                               QByteArray::number(values.field(command.field + 1)) + cr
                         : Protocol::writeRequest(command, values).sliced(1); // the letter off
    ParameterSet again = marked();
    FUZZ_CHECK(Protocol::applyReply(again, command.readLetter, rebuilt).ok());
    FUZZ_CHECK(again == values);
}

// A message may quote the reply: in quotes, printable, short.
void checkQuoted(const QString &quoted)
{
    if (quoted.isEmpty())
        return;
    FUZZ_CHECK(quoted.size() >= 2 && quoted.front() == u'"' && quoted.back() == u'"');
    FUZZ_CHECK(quoted.size() <= 2 + 24 + 3);
    for (const QChar c : quoted)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() < 0x7F);
}

void checkConversion(QByteArrayView reply, char letter)
{
    const ParameterSet before = marked();
    ParameterSet values = before;
    const Protocol::ApplyResult result = Protocol::applyReply(values, letter, reply);
    checkQuoted(result.quoted);
    const Protocol::ParameterCommand *command = Protocol::findCommand(letter);
    if (!command) {
        FUZZ_CHECK(result.fault == Protocol::ReplyFault::UnknownLetter);
        FUZZ_CHECK(values == before);
        return;
    }
    const Reading expected = plainReading(reply, *command);
    FUZZ_CHECK(result.fault == expected.fault);
    if (!result) {
        FUZZ_CHECK(result.letter == command->readLetter);
        FUZZ_CHECK(values == before);
        return;
    }
    ParameterSet stored = before;
    if (command->isMode()) {
        const auto [first, last] = modeDigits(expected.value);
        stored.setField(command->field, first);
        stored.setField(command->field + 1, last);
    } else {
        stored.setField(command->field, expected.value);
    }
    FUZZ_CHECK(values == stored);
    checkRoundTrip(values, *command);
}

class Harness {
public:
    // firstLetter: where in the letter rotation the first reply starts.
    explicit Harness(std::size_t firstLetter) : m_replies(firstLetter) {}

    void feed(QByteArrayView chunk, std::chrono::milliseconds now)
    {
        for (char c : chunk) {
            if (!(c == lf && m_lastWasCr))
                m_expected += c;
            m_lastWasCr = c == cr;
        }
        m_assembler.feed(chunk, now);
        checkState(now);
    }

    void reset()
    {
        m_assembler.reset();
        m_expected.clear();
        m_taken.clear();
        m_lastWasCr = false;
        FUZZ_CHECK(m_assembler.pendingSize() == 0);
        FUZZ_CHECK(!m_assembler.isFlooded());
    }

    // What the port cycle does when its timer fires: take every reply that is complete.
    void takeComplete(std::chrono::milliseconds now)
    {
        while (m_assembler.isComplete(now)) {
            const QByteArray reply = m_assembler.takeReply();
            FUZZ_CHECK(!reply.isEmpty());
            checkReply(reply);
            checkState(now);
        }
    }

    // A caller that takes without asking first gets nothing from fewer than 2 characters.
    void takeEarly(std::chrono::milliseconds now)
    {
        const qsizetype pending = m_assembler.pendingSize();
        const QByteArray reply = m_assembler.takeReply();
        if (reply.isEmpty()) {
            FUZZ_CHECK(m_assembler.pendingSize() == pending);
        } else {
            checkReply(reply);
        }
        checkState(now);
    }

private:
    void checkReply(const QByteArray &reply)
    {
        FUZZ_CHECK(reply.size() <= Protocol::maxReplyLength);
        const qsizetype crAt = reply.indexOf(cr);
        if (crAt >= 0) {
            FUZZ_CHECK(crAt == reply.size() - 1); // a reply ends at its first CR
        } else if (m_assembler.isFlooded()) {
            // Once a flood is cut, the capped reply is the only one without its CR.
            FUZZ_CHECK(reply.size() == Protocol::maxReplyLength);
        } else {
            FUZZ_CHECK(reply.size() >= 2);
        }
        m_taken += reply;

        // One letter a reply, in turn: a flood of replies stays fast to check, and the
        // fuzzer still meets every letter with every kind of reply.
        checkConversion(reply, letters[m_replies++ % letters.size()]);
    }

    static constexpr std::array<char, 18> letters{'P',
                                                  'H',
                                                  'L',
                                                  'A',
                                                  'M',
                                                  'G',
                                                  'E',
                                                  'Z',
                                                  'D',
                                                  'B',
                                                  'C',
                                                  'J',
                                                  'N',
                                                  'O',
                                                  'm',
                                                  'p',
                                                  Protocol::pollLetter,
                                                  '\0'};

    void checkState(std::chrono::milliseconds now)
    {
        const qsizetype pending = m_assembler.pendingSize();
        FUZZ_CHECK(pending >= 0 && pending <= ReplyAssembler::maxPendingLength);

        // Nothing lost, nothing repeated, nothing reordered; a flood only cuts the tail.
        const QByteArray seen = m_taken + peekPending();
        if (m_assembler.isFlooded())
            FUZZ_CHECK(m_expected.startsWith(seen));
        else
            FUZZ_CHECK(seen == m_expected);

        // The caller's timer is set to quietDeadline(); it must agree with isComplete().
        const auto deadline = m_assembler.quietDeadline();
        FUZZ_CHECK(m_assembler.isComplete(now) == (deadline && now >= *deadline));
        FUZZ_CHECK(m_assembler.isComplete(now + Protocol::quietPeriod) == deadline.has_value());
    }

    // The waiting bytes, read through a copy so the assembler under test is not disturbed.
    QByteArray peekPending() const
    {
        ReplyAssembler copy = m_assembler;
        QByteArray all;
        for (QByteArray reply = copy.takeReply(); !reply.isEmpty(); reply = copy.takeReply())
            all += reply;
        if (copy.pendingSize() > 0) {
            // Only a single character without a CR stays behind; a second one frees it.
            FUZZ_CHECK(copy.pendingSize() == 1);
            copy.feed("x", std::chrono::milliseconds{0});
            const QByteArray reply = copy.takeReply();
            FUZZ_CHECK(reply.size() == 2 && reply.back() == 'x');
            all += reply.front();
        }
        return all;
    }

    ReplyAssembler m_assembler;
    QByteArray m_expected; // every byte fed since reset, less each LF right after a CR
    QByteArray m_taken;    // every reply taken since reset, joined
    bool m_lastWasCr = false;
    std::size_t m_replies;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input input(data, size);
    Harness harness(size);
    std::chrono::milliseconds now{0};
    while (!input.empty()) {
        const std::uint8_t c = input.control();
        const unsigned length = c & 0x0f;
        const unsigned gap = c >> 4;
        if (length == 0x0e && gap == 0x0f) {
            harness.reset(); // a new port cycle
            continue;
        }
        if (length == 0x0e && gap == 0x0e) {
            harness.takeEarly(now);
            continue;
        }
        now += gaps[gap];
        harness.takeComplete(now);
        // 15 stands for everything that is left: large floods in one chunk.
        harness.feed(input.bytes(length == 0x0f ? input.left() : length + 1), now);
        harness.takeComplete(now);
    }
    now += Protocol::quietPeriod;
    harness.takeComplete(now);
    return 0;
}
