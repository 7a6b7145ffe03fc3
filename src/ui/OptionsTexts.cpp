#include "ui/OptionsTexts.h"

namespace {

OptionsTexts englishOptions()
{
    OptionsTexts t;
    t.caption = QStringLiteral("Options");
    t.keepPolling = QStringLiteral("Keep polling through communication errors(&K)");
    t.keepPollingNote =
        QStringLiteral("A failed poll shows no message, and polling and logging go on. No record "
                       "is written while the instrument does not answer.");
    t.eventFile = QStringLiteral("Record communication events in a file(&E)");
    t.eventFileNote = QStringLiteral(
        "Communication errors are written with the date and time to a file beside the log "
        "file, whose name ends in \".events.csv\". Only while polling goes on through errors.");
    t.dailyLog = QStringLiteral("A new log file each day(&D)");
    t.dailyLogNote = QStringLiteral(
        "Logging goes on in a new file when the date changes, so that each file holds one day.");
    t.keepAwake = QStringLiteral("Keep the computer awake while logging(&A)");
    t.keepAwakeNote = QStringLiteral(
        "While records are being saved, the computer does not go to sleep on its own.");
    t.keepAwakeRefused = QStringLiteral("The system refused: %1");
    t.ok = QStringLiteral("OK");
    t.cancel = QStringLiteral("Cancel");
    return t;
}

OptionsTexts japaneseOptions()
{
    OptionsTexts t;
    t.caption = QStringLiteral("オプション");
    t.keepPolling = QStringLiteral("通信エラーが起きてもポーリングを続ける(&K)");
    t.keepPollingNote =
        QStringLiteral("ポーリングに失敗してもメッセージを表示せず、ポーリングとログの記録を"
                       "続けます。計測器が応答しない間は記録を書き込みません。");
    t.eventFile = QStringLiteral("通信イベントをファイルに記録する(&E)");
    t.eventFileNote = QStringLiteral(
        "通信エラーを日時とともに、ログファイルと同じフォルダにある、名前が「.events.csv」で"
        "終わるファイルに書き込みます。エラーが起きてもポーリングを続けるときだけ使えます。");
    t.dailyLog = QStringLiteral("1日ごとに新しいログファイルにする(&D)");
    t.dailyLogNote = QStringLiteral("日付が変わると新しいファイルに切り替えて記録を続けます。"
                                    "1つのファイルには1日分の記録が入ります。");
    t.keepAwake = QStringLiteral("ログの記録中はコンピュータをスリープさせない(&A)");
    t.keepAwakeNote = QStringLiteral(
        "ログを記録している間は、コンピュータが自動的にスリープしないようにします。");
    t.keepAwakeRefused = QStringLiteral("システムが拒否しました: %1");
    t.ok = QStringLiteral("OK");
    t.cancel = QStringLiteral("キャンセル");
    return t;
}

} // namespace

const OptionsTexts &optionsTexts(Language language)
{
    static const OptionsTexts en = englishOptions();
    static const OptionsTexts ja = japaneseOptions();
    return language == Language::English ? en : ja;
}
