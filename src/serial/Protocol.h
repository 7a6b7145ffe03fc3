#pragma once

#include "core/ParameterSet.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <optional>

// The QSR540's command protocol as plain values: request bytes, when a reply is complete,
// and how a reply becomes a parameter value. No port, no timers, no windows: callers pass
// the bytes they received and the times they received them.
//
// On the wire: an upper-case letter alone asks for a value; a lower-case letter, the value
// in decimal and one CR (0x0D) set it and get no answer. Nothing else is ever sent.
namespace Protocol {

// The measured value; its reply is shown and logged as read, never converted.
inline constexpr char pollLetter = 'R';

// One parameter of the instrument and the letters that read and write it.
struct ParameterCommand {
    char readLetter;   // upper case, sent alone
    char writeLetter;  // lower case, sent with the value and a CR
    int field;         // ParameterSet field index (file order)
    int fieldSpan;     // 1, or 2 for MODE (mode1 at field, mode2 at field + 1)
    bool detailedOnly; // Transmission sends it only while the editor shows its details

    constexpr bool isMode() const { return fieldSpan == 2; }
};

// Load reads all fourteen in this order; Transmission writes the first
// standardCommandCount always and the rest only in the detailed view, in the same order.
inline constexpr std::array<ParameterCommand, 14> parameterCommands{{
    {'P', 'p', 0, 1, false}, // senter
    {'H', 'h', 1, 1, false}, // upper
    {'L', 'l', 2, 1, false}, // under
    {'A', 'a', 3, 1, false}, // ave
    {'M', 'm', 4, 2, true},  // mode1, mode2
    {'G', 'g', 6, 1, true},  // gain
    {'E', 'e', 7, 1, true},  // henn
    {'Z', 'z', 8, 1, true},  // zero
    {'D', 'd', 9, 1, true},  // syou
    {'B', 'b', 10, 1, true}, // hyou
    {'C', 'c', 11, 1, true}, // erro
    {'J', 'j', 12, 1, true}, // edg
    {'N', 'n', 13, 1, true}, // soku
    {'O', 'o', 14, 1, true}, // ziko
}};
inline constexpr int standardCommandCount = 4;

// The command whose read or write letter is `letter`; nullptr for 'R' or an unknown letter.
const ParameterCommand *findCommand(char letter);

// ---- Requests -------------------------------------------------------------------------

// The single byte that asks for a value: the letter in upper case, no CR.
QByteArray readRequest(char letter);

// Letter in lower case, the value as plain decimal ("-" for negatives, no leading zeros,
// no plus, no blanks), CR. An upper-case letter is lowered, so a read letter can never
// go out followed by a value.
QByteArray writeRequest(char letter, qint32 value);

// "m", first, ".", second, CR; each digit in full decimal (12 and 0 give "m12.0\r").
QByteArray modeWriteRequest(int first, int second);

// The write request that sends command's field(s) of `values`.
QByteArray writeRequest(const ParameterCommand &command, const ParameterSet &values);

// What a Transmission writes, in order: the 4 standard requests, or all 14 when detailed.
QList<QByteArray> transmissionRequests(const ParameterSet &values, bool detailed);

// ---- Reply completion -----------------------------------------------------------------

// Without a CR, a reply of at least 2 characters is complete once the line has been
// quiet this long.
inline constexpr std::chrono::milliseconds quietPeriod{100};

// Longest reply kept, its CR included.
inline constexpr qsizetype maxReplyLength = 256;

// Collects the bytes of one port cycle and cuts them into replies. Times are whatever
// monotonic clock the caller uses (milliseconds); only differences matter.
//
// A reply is complete when:
//  - a CR has arrived: the reply is everything up to and including the first CR, at once
//    (no wait for a possible LF, so a Load of fourteen values is not slowed down);
//  - or, without a CR, at least 2 characters have arrived and then nothing for
//    quietPeriod; a single character never completes, the caller's wait bound ends it;
//  - or more than maxReplyLength characters have arrived with no CR among the first
//    maxReplyLength: the reply is those first characters, and every further byte is
//    discarded until reset(), so an instrument that never stops sending cannot grow
//    memory (the caller's wait bound then ends the cycle).
//
// All waiting bytes together are held to maxPendingLength: replies that keep coming,
// each with its CR, are a flood as well. The complete replies already held stay
// available; the unfinished one is dropped rather than cut, and further bytes are
// discarded until reset(). A reply is therefore never glued from a cut piece, except the
// one capped at maxReplyLength (isFlooded() tells it).
//
// An LF directly after a reply's CR belongs to that reply: it is consumed with it, whether
// it arrived together with the CR or after the reply was taken, and never starts the next
// reply. It is not part of the returned text, so a reply reads the same however the line
// chunked it and always ends with its CR (the log drops exactly one final character).
//
// Bytes after a completed reply are kept: they begin the next reply of the same cycle.
class ReplyAssembler {
public:
    // Adds received bytes; `now` is when they arrived. Empty input changes nothing.
    void feed(QByteArrayView bytes, std::chrono::milliseconds now);

    bool isComplete(std::chrono::milliseconds now) const;

    // When the reply completes if no further byte arrives: the quiet deadline while
    // 2 or more characters wait without a CR; once a CR or the cap has completed it, the
    // arrival of the newest byte (already past: look now); nothing while fewer than
    // 2 characters wait (only a byte can complete the reply then).
    std::optional<std::chrono::milliseconds> quietDeadline() const;

    // The completed reply, removed from the buffer; later bytes stay for the next reply.
    // With no CR and no flood, the caller has seen the line quiet (isComplete): all
    // waiting characters are the reply, provided there are at least 2. Returns empty and
    // changes nothing when fewer than 2 characters wait and no CR has arrived.
    QByteArray takeReply();

    // True once a flood was cut (one reply at maxReplyLength, or all waiting bytes at
    // maxPendingLength) and input is being discarded; stays true until reset().
    bool isFlooded() const { return m_flooded; }

    // Characters received and not yet taken; never more than maxPendingLength.
    qsizetype pendingSize() const { return m_buffer.size(); }

    // Forgets everything: start of a new port cycle.
    void reset();

    static constexpr qsizetype maxPendingLength = 4 * maxReplyLength;

private:
    qsizetype firstCr() const; // CR that ends the first reply, within its cap; or -1
    void limitPending();

    QByteArray m_buffer;
    std::chrono::milliseconds m_lastArrival{0}; // of the newest byte in m_buffer
    bool m_lfBelongsToPrevious = false;         // the last reply taken ended the buffer with CR
    bool m_flooded = false; // discarding; a CR-less first reply in m_buffer is a capped one
};

// ---- Wait bound -----------------------------------------------------------------------

// Time `bytes` characters take on the line at `baud` (10 bits a character: start, 8 data,
// stop), rounded up to whole milliseconds. A speed that is not positive is taken as 300,
// the slowest the instrument offers.
std::chrono::milliseconds lineTime(qint64 bytes, qint32 baud);

// Longest wall-clock wait for one reply: replyTimeoutBase plus the time of
// the line time of replyTimeoutCharacters characters at `baud`.
// rounded up to whole milliseconds. A speed that is not positive is taken as 300, the
// slowest the instrument offers. The one place this bound is set.
inline constexpr std::chrono::milliseconds replyTimeoutBase{2000};
inline constexpr int replyTimeoutCharacters = 20;
std::chrono::milliseconds replyTimeout(qint32 baud);

// ---- Reply conversion -----------------------------------------------------------------

// Why a reply was refused; the windows word it in their language.
enum class ReplyFault {
    None,
    Unasked,       // no request of the cycle asked for it
    UnknownLetter, // no parameter is read with the letter
    CutOff,        // maxReplyLength characters or more without an end
    Empty,
    NotNumber,
    TooLarge,      // a number beyond 64 bits
    OutOfRange32,  // P, H, L beyond 32 bits
    OutOfRange16,  // a list letter beyond 16 bits
    NotModeDigits, // M negative
    DoesNotFit,    // the field refused the value
};

struct ApplyResult {
    ReplyFault fault = ReplyFault::None;
    char letter = 0; // the read letter the reply answered
    QString quoted;  // the reply as a message may quote it: short, printable, in quotes

    bool ok() const { return fault == ReplyFault::None; }
    explicit operator bool() const { return ok(); }
};

// Converts the reply to `letter` (read or write letter of a parameter) and stores it in
// `values`; on failure nothing is stored.
//
// CR, LF, blanks and tabs around the reply are dropped first. The text must then be a
// decimal number; a fraction is rounded to the nearest integer, an exact half to the even
// one ("12.5" -> 12), as storing a numeric text into an integer field always did.
// P, H, L take a 32-bit value, the ten list letters a 16-bit value. M takes a 16-bit value
// v that is not negative: the first decimal digit of v is mode1, the last mode2
// (12 -> 1, 2; 123 -> 1, 3; 7 -> 7, 7). A reply of maxReplyLength characters or more
// that does not end with CR or LF was cut off and is refused. Whether a value is in a
// control's list is the editor's concern, not the protocol's.
ApplyResult applyReply(ParameterSet &values, char letter, QByteArrayView reply);

} // namespace Protocol
