// Reply completion and conversion on arbitrary input arriving in arbitrary chunks at
// arbitrary times. The input's head is the line's bytes; its tail, read backwards, says
// how they are chunked (one control byte a step), when each chunk arrives and when the
// assembler is reset, so a plain reply is a useful seed as it stands.
//
// Checked: no crash; no reply longer than the cap; never more waiting than the pending
// limit; every byte that arrived comes out once and in order (an LF right after a CR
// belongs to that reply and is dropped) until a flood starts discarding; completion agrees
// with the deadline the caller's timer is set to; a failed conversion changes nothing and
// a successful one only the command's own fields.

#include "FuzzCheck.h"

#include "core/Numbers.h"
#include "serial/Protocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

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

// A set where no field is 0, so a conversion that touches a field is visible.
ParameterSet marked()
{
    ParameterSet p;
    for (int i = 0; i < ParameterSet::fieldCount; ++i)
        p.setField(i, 100 + i);
    return p;
}

void checkConversion(QByteArrayView reply, char letter)
{
    const ParameterSet before = marked();
    ParameterSet values = before;
    const Protocol::ApplyResult result = Protocol::applyReply(values, letter, reply);
    const Protocol::ParameterCommand *command = Protocol::findCommand(letter);
    if (!result) {
        FUZZ_CHECK(values == before);
        return;
    }
    FUZZ_CHECK(command != nullptr);
    for (int i = 0; i < ParameterSet::fieldCount; ++i) {
        const bool own = i >= command->field && i < command->field + command->fieldSpan;
        if (!own)
            FUZZ_CHECK(values.field(i) == before.field(i));
    }
    const auto number = Numbers::toInteger(QString::fromLatin1(trimmed(reply)));
    FUZZ_CHECK(number.has_value());
    if (command->isMode()) {
        FUZZ_CHECK(*number >= 0);
        FUZZ_CHECK(values.field(command->field) >= 0 && values.field(command->field) <= 9);
        FUZZ_CHECK(values.field(command->field + 1) >= 0 && values.field(command->field + 1) <= 9);
        const QByteArray digits = QByteArray::number(*number);
        FUZZ_CHECK(values.field(command->field) == digits.front() - '0');
        FUZZ_CHECK(values.field(command->field + 1) == digits.back() - '0');
    } else {
        FUZZ_CHECK(values.field(command->field) == *number);
    }
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
