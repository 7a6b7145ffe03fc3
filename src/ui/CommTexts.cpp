#include "ui/CommTexts.h"

namespace {

CommTexts englishComm()
{
    CommTexts t;
    t.caption = QStringLiteral("Comm");
    t.port = QStringLiteral("port");
    t.baudRate = QStringLiteral("baud rate");
    t.otherConditions =
        QStringLiteral("<Other conditions>\r\n8bit data\r\n1step bit\r\nnon parity");
    t.ok = QStringLiteral("Ok");
    t.cancel = QStringLiteral("Cancel");
    return t;
}

CommTexts japaneseComm()
{
    CommTexts t = englishComm();
    t.port = QStringLiteral("ポート");
    t.baudRate = QStringLiteral("ボーレート");
    return t;
}

} // namespace

const CommTexts &commTexts(Language language)
{
    static const CommTexts en = englishComm();
    static const CommTexts ja = japaneseComm();
    return language == Language::English ? en : ja;
}
