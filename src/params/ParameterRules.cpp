#include "params/ParameterRules.h"

#include "core/Numbers.h"
#include "serial/Protocol.h"

#include <limits>

namespace ParameterRules {

QString validatedText(const QString &text)
{
    return Numbers::isNumber(text) ? text : QString();
}

int maxLengthFor(const QString &text)
{
    return std::max(textMaxLength, int(text.size()));
}

std::optional<qint32> committedValue(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const std::optional<qint64> v = Numbers::toInteger(text);
    if (!v || *v < std::numeric_limits<qint32>::min() || *v > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(*v);
}

int modeDigit(int scrollValue)
{
    return modeScrollMaximum - scrollValue;
}

std::optional<int> modeScrollValue(qint32 digit)
{
    if (digit < 0 || digit > modeScrollMaximum)
        return std::nullopt;
    return modeScrollMaximum - digit;
}

EditorControls shownControls(const ParameterSet &set, const EditorControls &current,
                             const ListSizes &sizes)
{
    EditorControls out = current;
    for (int i = 0; i < 3; ++i)
        out.texts[size_t(i)] = QString::number(set.field(i));
    for (int i = 0; i < 2; ++i)
        if (const auto value = modeScrollValue(set.field(4 + i)))
            out.modeScroll[size_t(i)] = *value;
    for (int i = 0; i < listCount; ++i) {
        const qint32 position = set.field(listFields[size_t(i)]);
        if (position >= 0 && position < sizes[size_t(i)])
            out.listIndex[size_t(i)] = position;
    }
    return out;
}

void collectParameters(EditorControls &controls, ParameterSet &set)
{
    for (QString &text : controls.texts)
        if (text.isEmpty())
            text = QStringLiteral("0");
    for (int i = 0; i < 3; ++i)
        if (const auto value = committedValue(controls.texts[size_t(i)]))
            set.setField(i, *value);
    const auto collectList = [&](int i) {
        if (controls.listIndex[size_t(i)] >= 0)
            set.setField(listFields[size_t(i)], controls.listIndex[size_t(i)]);
    };
    collectList(0);
    for (int i = 0; i < 2; ++i)
        set.setField(4 + i, modeDigit(controls.modeScroll[size_t(i)]));
    for (int i = firstDetailList; i < listCount; ++i)
        collectList(i);
}

QList<Exchange> loadExchanges()
{
    QList<Exchange> out;
    for (const auto &command : Protocol::parameterCommands)
        out.append({Protocol::readRequest(command.readLetter), true});
    return out;
}

Protocol::ApplyResult storeLoadReply(ParameterSet &set, int index, const QByteArray &reply)
{
    if (index < 0 || index >= int(Protocol::parameterCommands.size()))
        return {Protocol::ReplyFault::Unasked, 0, {}};
    return Protocol::applyReply(set, Protocol::parameterCommands[size_t(index)].readLetter, reply);
}

QList<Exchange> transmissionExchanges(const ParameterSet &set, bool detailed)
{
    QList<Exchange> out;
    for (const QByteArray &request : Protocol::transmissionRequests(set, detailed))
        out.append({request, false});
    return out;
}

} // namespace ParameterRules
