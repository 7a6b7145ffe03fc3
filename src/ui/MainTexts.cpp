#include "ui/MainTexts.h"

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
    t.menuPorts = QStringLiteral("Ports(&P)");
    t.menuOptions = QStringLiteral("Options(&O)");
    t.menuComm = QStringLiteral("Comm(&C)");
    t.menuSelect = QStringLiteral("Select_Comm(&S)");
    t.menuView = QStringLiteral("View(&V)");
    t.menuTrend = QStringLiteral("Trend(&T)");
    t.menuHelp = QStringLiteral("Help(&H)");
    t.menuGotoHelp = QStringLiteral("help(&h)");
    t.menuVer = QStringLiteral("version(&V)");
    t.communicationError = QStringLiteral("communication error!");
    t.settingsNotWritten = QStringLiteral("The settings file could not be written.");
    t.logNotWritten = QStringLiteral("The log file could not be written. Saving has stopped.");
    t.logHeld = QStringLiteral("The log file is written by another program. Saving has not "
                               "started.");
    t.logHeldBy = QStringLiteral("%1 is written by %2, process %3. Close it, or choose another "
                                 "log file.");
    t.noReplySince = QStringLiteral("no reply since %1");
    t.attachedTo = QStringLiteral("attached to %1");
    t.loggerEnded = QStringLiteral("%1 ended: polling here");
    t.optionsNotSaved = QStringLiteral("The options could not be saved.");
    t.outputDropped =
        QStringLiteral("%1 bytes waiting to be sent did not leave in time and were discarded.");
    t.replyUnasked = QStringLiteral("A reply arrived that no request asked for.");
    t.replyUnknownLetter = QStringLiteral("No parameter is read with \"%1\".");
    t.replyCutOff = QStringLiteral("The reply to %1 is too long (cut off).");
    t.replyEmpty = QStringLiteral("The reply to %1 is empty.");
    t.replyNotNumber = QStringLiteral("The reply to %1 is not a number: %2");
    t.replyTooLarge = QStringLiteral("The reply to %1 is too large: %2");
    t.replyOutOfRange32 = QStringLiteral("The reply to %1 is out of range (32-bit): %2");
    t.replyOutOfRange16 = QStringLiteral("The reply to %1 is out of range (-32768 to 32767): %2");
    t.replyNotModeDigits = QStringLiteral("The reply to %1 does not give two MODE digits: %2");
    t.replyDoesNotFit = QStringLiteral("The reply to %1 does not fit its field: %2");
    t.startNotWritten =
        QStringLiteral("QSRLINK cannot start: the settings file %1 cannot be written.");
    t.startNotRead = QStringLiteral("QSRLINK cannot start: the settings file %1 cannot be read.");
    t.portMissing = QStringLiteral("%1 does not exist. Check that the adapter is plugged in, or "
                                   "assign the port in Edit > Ports.");
    t.portNotSerial =
        QStringLiteral("%1 is not a serial device. Assign a serial port in Edit > Ports.");
    t.portForbidden = QStringLiteral(
        "You may not use %1. Ask an administrator to give your user read and write access to it.");
    t.portDangling = QStringLiteral("%1 leads to %2, which does not exist. Check that the adapter "
                                    "is plugged in, or assign the port again in Edit > Ports.");
    t.portVanished = QStringLiteral(
        "%1 does not exist. On this system the braille display service brltty may take USB "
        "serial adapters (such as CH340 or CP210x) as soon as they are plugged in. If no braille "
        "display is used here, ask an administrator to remove it (sudo apt remove brltty) or to "
        "disable it (sudo systemctl mask brltty-udev.service), then plug the adapter in again.");
    t.portGroup = QStringLiteral(
        "You may not use %1: it belongs to the group \"%2\" and your user is not in it. Ask an "
        "administrator to run: sudo usermod -aG %2 %3 \u2014 then log out and in again.");
    t.portLogin = QStringLiteral("You may not use %1 yet: you were added to the group \"%2\", but "
                                 "this session started before that. Log out and in again.");
    t.portLockDirectory =
        QStringLiteral("%1 cannot be reserved for this program: the lock directory %2 cannot be "
                       "used. Ask an administrator to make %2 writable for your user.");
    t.portHeld =
        QStringLiteral("%1 is in use by another program (%2, process %3). Close it and try again.");
    t.portHeldProcess =
        QStringLiteral("%1 is in use by another program (process %2). Close it and try again.");
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
    t.menuPorts = QStringLiteral("ポート(&P)");
    t.menuOptions = QStringLiteral("オプション(&O)");
    t.menuComm = QStringLiteral("通信(&C)");
    t.menuSelect = QStringLiteral("設定変更(&S)");
    t.menuView = QStringLiteral("表示(&V)");
    t.menuTrend = QStringLiteral("トレンド(&T)");
    t.menuHelp = QStringLiteral("ヘルプ(&H)");
    t.menuGotoHelp = QStringLiteral("ヘルプ(&H)");
    t.menuVer = QStringLiteral("バージョン情報(&V)");
    t.communicationError = QStringLiteral("通信設定があっていません!");
    t.settingsNotWritten = QStringLiteral("設定ファイルを書き込めませんでした。");
    t.logNotWritten = QStringLiteral("ログファイルに書き込めません。保存を停止しました。");
    t.logHeld =
        QStringLiteral("ログファイルは他のプログラムが書き込み中です。保存を開始しませんでした。");
    t.logHeldBy = QStringLiteral("%1 は %2（プロセス %3）が書き込み中です。"
                                 "そのプログラムを終了するか、別のログファイルを選んでください。");
    t.noReplySince = QStringLiteral("応答なし %1 から");
    t.attachedTo = QStringLiteral("%1 に接続中");
    t.loggerEnded = QStringLiteral("%1 終了: 直接通信");
    t.optionsNotSaved = QStringLiteral("オプションを保存できませんでした。");
    t.outputDropped = QStringLiteral("送信待ちの %1 バイトが時間内に送信されず、破棄されました。");
    t.replyUnasked = QStringLiteral("要求していない応答を受信しました。");
    t.replyUnknownLetter = QStringLiteral("「%1」で読み出すパラメータはありません。");
    t.replyCutOff = QStringLiteral("%1 の応答が長すぎます（途中で切れています）。");
    t.replyEmpty = QStringLiteral("%1 の応答が空です。");
    t.replyNotNumber = QStringLiteral("%1 の応答が数値ではありません: %2");
    t.replyTooLarge = QStringLiteral("%1 の応答が大きすぎます: %2");
    t.replyOutOfRange32 = QStringLiteral("%1 の応答が範囲外です（32ビット）: %2");
    t.replyOutOfRange16 = QStringLiteral("%1 の応答が範囲外です（-32768～32767）: %2");
    t.replyNotModeDigits = QStringLiteral("%1 の応答から測定モードの2桁が得られません: %2");
    t.replyDoesNotFit = QStringLiteral("%1 の応答が項目に収まりません: %2");
    t.startNotWritten =
        QStringLiteral("QSRLINK を起動できません: 設定ファイル %1 に書き込めません。");
    t.startNotRead = QStringLiteral("QSRLINK を起動できません: 設定ファイル %1 を読み込めません。");
    const QString reassign =
        QStringLiteral("「設定」>「ポート」でポートを割り当て直してください。");
    t.portMissing =
        QStringLiteral("%1 が存在しません。アダプタが接続されているか確認するか、") + reassign;
    t.portNotSerial = QStringLiteral("%1 はシリアルデバイスではありません。") + reassign;
    t.portForbidden = QStringLiteral(
        "%1 を使用する権限がありません。読み書きできるよう管理者に依頼してください。");
    t.portDangling = QStringLiteral("%1 の接続先 %2 が存在しません。アダプタが接続されているか"
                                    "確認するか、") +
                     reassign;
    t.portVanished = QStringLiteral(
        "%1 が存在しません。このシステムでは、点字ディスプレイ用のサービス brltty が USB "
        "シリアルアダプタ（CH340、CP210x など）を接続直後に占有することがあります。点字ディスプレイ"
        "を使用していない場合は、brltty の削除（sudo apt remove brltty）または無効化（sudo "
        "systemctl mask brltty-udev.service）を管理者に依頼し、アダプタを接続し直してください。");
    t.portGroup = QStringLiteral(
        "%1 を使用する権限がありません。%1 はグループ「%2」に属していますが、このユーザーは"
        "そのグループに入っていません。管理者に次のコマンドを実行してもらい、ログアウトして"
        "ログインし直してください: sudo usermod -aG %2 %3");
    t.portLogin = QStringLiteral("%1 はまだ使用できません。グループ「%2」に追加されていますが、"
                                 "このセッションは追加前に始まっています。ログアウトしてログイン"
                                 "し直してください。");
    t.portLockDirectory =
        QStringLiteral("ロックディレクトリ %2 を使用できないため、%1 を確保できません。%2 "
                       "に書き込めるよう管理者に依頼してください。");
    t.portHeld = QStringLiteral("%1 は他のプログラム（%2、プロセス %3）が使用中です。"
                                "そのプログラムを終了してから、もう一度お試しください。");
    t.portHeldProcess = QStringLiteral("%1 は他のプログラム（プロセス %2）が使用中です。"
                                       "そのプログラムを終了してから、もう一度お試しください。");
    return t;
}

} // namespace

const MainTexts &mainTexts(Language language)
{
    static const MainTexts en = englishMain();
    static const MainTexts ja = japaneseMain();
    return language == Language::English ? en : ja;
}
