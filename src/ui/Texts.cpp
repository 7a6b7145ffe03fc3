#include "ui/Texts.h"

namespace {

MainTexts englishMain()
{
    MainTexts t;
    t.startComm = QStringLiteral("stert comm");
    t.stopComm = QStringLiteral("stop comm");
    t.startSave = QStringLiteral("stert save");
    t.stopSave = QStringLiteral("stop save");
    t.nowLoading = QStringLiteral("now loading");
    t.nowSaving = QStringLiteral("now saveing");
    t.saveFilePrefix = QStringLiteral("Save file =");
    t.commInterval = QStringLiteral("comm interval");
    t.saveInterval = QStringLiteral("save interval");
    t.sec = QStringLiteral("sec");
    t.menuFile = QStringLiteral("File(&F)");
    t.menuSaveAs = QStringLiteral("Save_File(&A)");
    t.menuEnd = QStringLiteral("End(&E)");
    t.menuEdit = QStringLiteral("Edit(&E)");
    t.menuCommSet = QStringLiteral("Comm_Set(&C)");
    t.menuLanguage = QStringLiteral("Language(&L)");
    t.menuComm = QStringLiteral("Comm(&C)");
    t.menuSelect = QStringLiteral("Select_Comm(&S)");
    t.menuHelp = QStringLiteral("Help(&H)");
    t.menuGotoHelp = QStringLiteral("help(&h)");
    t.menuVer = QStringLiteral("version(&V)");
    t.communicationError = QStringLiteral("communication error!");
    t.settingsNotWritten = QStringLiteral("The settings file could not be written.");
    t.logNotWritten = QStringLiteral("The log file could not be written. Saving has stopped.");
    t.outputDropped =
        QStringLiteral("%1 bytes waiting to be sent did not leave in time and were discarded.");
    return t;
}

MainTexts japaneseMain()
{
    MainTexts t = englishMain();
    t.startComm = QStringLiteral("通信スタート");
    t.stopComm = QStringLiteral("通信終了");
    t.startSave = QStringLiteral("保存スタート");
    t.stopSave = QStringLiteral("保存終了");
    t.menuFile = QStringLiteral("ファイル(&F)");
    t.menuSaveAs = QStringLiteral("名前をつけて保存(&A)");
    t.menuEnd = QStringLiteral("終了(&E)");
    t.menuEdit = QStringLiteral("設定(&E)");
    t.menuCommSet = QStringLiteral("Comm(&C)");
    t.menuLanguage = QStringLiteral("言語(&L)");
    t.menuComm = QStringLiteral("通信(&C)");
    t.menuSelect = QStringLiteral("設定変更(&S)");
    t.menuHelp = QStringLiteral("ヘルプ(&H)");
    t.menuGotoHelp = QStringLiteral("ヘルプ(&H)");
    t.menuVer = QStringLiteral("バージョン情報(&V)");
    t.communicationError = QStringLiteral("通信設定があっていません!");
    t.settingsNotWritten = QStringLiteral("設定ファイルを書き込めませんでした。");
    t.logNotWritten = QStringLiteral("ログファイルに書き込めません。保存を停止しました。");
    t.outputDropped = QStringLiteral("送信待ちの %1 バイトが時間内に送信されず、破棄されました。");
    return t;
}

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

const MainTexts &mainTexts(Language language)
{
    static const MainTexts en = englishMain();
    static const MainTexts ja = japaneseMain();
    return language == Language::English ? en : ja;
}

QString failureDetail(const MainTexts &texts, const CycleResult &result)
{
    switch (result.status) {
    case CycleStatus::Ok:
    case CycleStatus::TimedOut:
        return {};
    case CycleStatus::OutputDropped:
        return texts.outputDropped.arg(result.unsent);
    default:
        return result.reason;
    }
}

const CommTexts &commTexts(Language language)
{
    static const CommTexts en = englishComm();
    static const CommTexts ja = japaneseComm();
    return language == Language::English ? en : ja;
}
