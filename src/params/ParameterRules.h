#pragma once

#include "core/ParameterSet.h"
#include "serial/Exchange.h"
#include "serial/Protocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// The Parameter editor's rules, apart from its widgets: what the three limit boxes keep and
// commit, how a MODE scroll bar reads as a digit, which values the controls can show, and
// the exchanges of Load and Transmission. The editor copies its controls into
// EditorControls and back; everything else happens here.
namespace ParameterRules {

// Characters a limit box (REF PRESET, HIGH LIMIT, LOW LIMIT) takes from the keyboard.
inline constexpr int textMaxLength = 5;

// The text a limit box keeps after any change: the text when it is a number, else empty.
QString validatedText(const QString &text);

// The length limit a limit box needs so that `text` is not cut: textMaxLength, or the
// text's own length when the program put a longer value there (a Load or a file can
// carry any 32-bit value; the keyboard limit must not shorten it).
int maxLengthFor(const QString &text);

// The value a limit box commits: the number rounded to the nearest integer, an exact half
// to the even one; an empty box commits 0. Empty when the text is not a number or does not
// fit 32 bits: the field then keeps its value.
std::optional<qint32> committedValue(const QString &text);

// MODE digits: a scroll bar of range 0..255 whose value 255 (thumb at the bottom) reads 0.
inline constexpr int modeScrollMaximum = 255;
int modeDigit(int scrollValue);
// The scroll value that shows `digit`; empty outside 0..255.
std::optional<int> modeScrollValue(qint32 digit);

// The list fields in field order, with the lists that show them:
// ave Combo1, gain Combo3, henn Combo4, zero Combo5, syou Combo6, hyou Combo7, erro Combo8,
// edg Combo9, soku Combo11, ziko Combo12.
inline constexpr int listCount = 10;
inline constexpr std::array<int, listCount> listFields{3, 6, 7, 8, 9, 10, 11, 12, 13, 14};
// Lists after the first (AVE) belong to the detail rows.
inline constexpr int firstDetailList = 1;

// What the editor's controls hold, as plain values. A list index of -1 is a list with
// nothing selected.
struct EditorControls {
    std::array<QString, 3> texts{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};
    std::array<int, 2> modeScroll{modeScrollMaximum, modeScrollMaximum};
    std::array<int, listCount> listIndex{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

    friend bool operator==(const EditorControls &, const EditorControls &) = default;
};

// The item count of each list, in listFields order.
using ListSizes = std::array<int, listCount>;

// ShowParameters: the controls as they show `set`. A value a control cannot take (a list
// position beyond its list, a MODE digit outside 0..255) leaves that control as in
// `current`; every other control is still set.
EditorControls shownControls(const ParameterSet &set, const EditorControls &current,
                             const ListSizes &sizes);

// CollectParameters: an empty limit box becomes "0" (in `controls`), then every field
// takes its control's value. A list with nothing selected, or a box whose value cannot be
// committed, leaves its field as it was rather than storing a value no list shows.
void collectParameters(EditorControls &controls, ParameterSet &set);

// ---- Exchanges with the instrument ---------------------------------------------------

// Load: the fourteen read requests in command-table order, each awaiting its reply.
QList<Exchange> loadExchanges();

// Stores the reply to Load exchange `index` into `set` at once; a fault (and nothing
// stored) when the reply is not a number or does not fit its field.
Protocol::ApplyResult storeLoadReply(ParameterSet &set, int index, const QByteArray &reply);

// Transmission: the four standard writes, or all fourteen in the detailed view; none
// awaits a reply.
QList<Exchange> transmissionExchanges(const ParameterSet &set, bool detailed);

} // namespace ParameterRules
