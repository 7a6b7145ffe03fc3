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
    t.optionsNotSaved = QStringLiteral("The options could not be saved.");
    t.outputDropped =
        QStringLiteral("%1 bytes waiting to be sent did not leave in time and were discarded.");
    t.replyFaults = {QString(),
                     QStringLiteral("A reply arrived that no request asked for."),
                     QStringLiteral("No parameter is read with \"%1\"."),
                     QStringLiteral("The reply to %1 is too long (cut off)."),
                     QStringLiteral("The reply to %1 is empty."),
                     QStringLiteral("The reply to %1 is not a number: %2"),
                     QStringLiteral("The reply to %1 is too large: %2"),
                     QStringLiteral("The reply to %1 is out of range (32-bit): %2"),
                     QStringLiteral("The reply to %1 is out of range (-32768 to 32767): %2"),
                     QStringLiteral("The reply to %1 does not give two MODE digits: %2"),
                     QStringLiteral("The reply to %1 does not fit its field: %2")};
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
    t.optionsNotSaved = QStringLiteral("オプションを保存できませんでした。");
    t.outputDropped = QStringLiteral("送信待ちの %1 バイトが時間内に送信されず、破棄されました。");
    t.replyFaults = {QString(),
                     QStringLiteral("要求していない応答を受信しました。"),
                     QStringLiteral("「%1」で読み出すパラメータはありません。"),
                     QStringLiteral("%1 の応答が長すぎます（途中で切れています）。"),
                     QStringLiteral("%1 の応答が空です。"),
                     QStringLiteral("%1 の応答が数値ではありません: %2"),
                     QStringLiteral("%1 の応答が大きすぎます: %2"),
                     QStringLiteral("%1 の応答が範囲外です（32ビット）: %2"),
                     QStringLiteral("%1 の応答が範囲外です（-32768～32767）: %2"),
                     QStringLiteral("%1 の応答から測定モードの2桁が得られません: %2"),
                     QStringLiteral("%1 の応答が項目に収まりません: %2")};
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
    case CycleStatus::OpenFailed:
        break;
    default:
        return result.reason;
    }
    using Cause = PortProblem::Cause;
    const PortProblem &p = result.problem;
    switch (p.cause) {
    case Cause::Missing:
        return texts.portMissing.arg(p.device);
    case Cause::DanglingLink:
        return texts.portDangling.arg(p.device, p.target);
    case Cause::NotSerial:
        return texts.portNotSerial.arg(p.device);
    case Cause::Vanished:
        return texts.portVanished.arg(p.target.isEmpty() ? p.device : p.target);
    case Cause::PermissionDenied:
        if (p.group.isEmpty())
            return texts.portForbidden.arg(p.device);
        return p.loginPending ? texts.portLogin.arg(p.device, p.group)
                              : texts.portGroup.arg(p.device, p.group, p.user);
    case Cause::LockDirectory:
        return texts.portLockDirectory.arg(p.device, p.lockDirectory);
    case Cause::HeldByProgram:
        if (p.program.isEmpty())
            return texts.portHeldProcess.arg(p.device, QString::number(p.pid));
        return texts.portHeld.arg(p.device, p.program, QString::number(p.pid));
    case Cause::Unknown:
        break;
    }
    return result.reason;
}

QString replyFaultText(const MainTexts &texts, const Protocol::ApplyResult &result)
{
    const auto i = size_t(result.fault);
    if (i >= texts.replyFaults.size())
        return {};
    QString text = texts.replyFaults[i];
    if (text.contains(QLatin1String("%1")))
        text = text.arg(QLatin1Char(result.letter));
    return text.contains(QLatin1String("%2")) ? text.arg(result.quoted) : text;
}

const CommTexts &commTexts(Language language)
{
    static const CommTexts en = englishComm();
    static const CommTexts ja = japaneseComm();
    return language == Language::English ? en : ja;
}

namespace {

PortsTexts englishPorts()
{
    PortsTexts t;
    t.caption = QStringLiteral("Ports");
    t.portList = QStringLiteral("Port numbers(&N)");
    t.deviceList = QStringLiteral("Serial devices on this computer(&D)");
    t.portColumn = QStringLiteral("Port");
    t.routeColumn = QStringLiteral("Leads to");
    t.deviceColumn = QStringLiteral("Device");
    t.descriptionColumn = QStringLiteral("Description");
    t.manufacturerColumn = QStringLiteral("Manufacturer");
    t.usbColumn = QStringLiteral("USB ID");
    t.serialColumn = QStringLiteral("Serial number");
    t.stableColumn = QStringLiteral("Stable name");
    t.byDefault = QStringLiteral("%1 (default)");
    t.notPresent = QStringLiteral("not present");
    t.linkNotPresent = QStringLiteral("%1 (not present)");
    t.simulator = QStringLiteral("simulated instrument (qsr540-sim)");
    t.folderLink = QStringLiteral("link in the data folder");
    t.noDevices = QStringLiteral("No serial devices found.");
    t.systemNames = QStringLiteral("Port numbers are the system's own names here: pick COM1 to "
                                   "COM7 under Edit > Comm_Set.");
    t.assign = QStringLiteral("Assign(&A)");
    t.remove = QStringLiteral("Remove(&R)");
    t.test = QStringLiteral("Test(&T)");
    t.refresh = QStringLiteral("Refresh(&F)");
    t.close = QStringLiteral("Close(&C)");
    t.chooseBoth = QStringLiteral("Choose a port number and a device first.");
    t.choosePort = QStringLiteral("Choose a port number first.");
    t.assigned = QStringLiteral("%1 now leads to %2.");
    t.removed = QStringLiteral("%1 is no longer assigned; it leads to %2.");
    t.notAssigned = QStringLiteral("The assignment could not be changed.");
    t.busy = QStringLiteral("The line is in use by another exchange; try again when it has "
                            "ended.");
    t.testing = QStringLiteral("Testing %1 at %2 baud...");
    t.answered = QStringLiteral("%1 answered: %2");
    t.noAnswer = QStringLiteral("%1 did not answer within %2 s.");
    return t;
}

PortsTexts japanesePorts()
{
    PortsTexts t = englishPorts();
    t.caption = QStringLiteral("ポート");
    t.portList = QStringLiteral("ポート番号(&N)");
    t.deviceList = QStringLiteral("このコンピュータのシリアル機器(&D)");
    t.portColumn = QStringLiteral("ポート");
    t.routeColumn = QStringLiteral("接続先");
    t.deviceColumn = QStringLiteral("デバイス");
    t.descriptionColumn = QStringLiteral("説明");
    t.manufacturerColumn = QStringLiteral("製造元");
    t.serialColumn = QStringLiteral("シリアル番号");
    t.stableColumn = QStringLiteral("固定名");
    t.byDefault = QStringLiteral("%1 (既定)");
    t.notPresent = QStringLiteral("なし");
    t.linkNotPresent = QStringLiteral("%1 (見つかりません)");
    t.simulator = QStringLiteral("シミュレータ (qsr540-sim)");
    t.folderLink = QStringLiteral("データフォルダのリンク");
    t.noDevices = QStringLiteral("シリアル機器が見つかりません。");
    t.systemNames = QStringLiteral("ポート番号はこのシステムの名前です。設定 > Comm で COM1～COM7 "
                                   "を選んでください。");
    t.assign = QStringLiteral("割り当て(&A)");
    t.remove = QStringLiteral("解除(&R)");
    t.test = QStringLiteral("テスト(&T)");
    t.refresh = QStringLiteral("再読み込み(&F)");
    t.close = QStringLiteral("閉じる(&C)");
    t.chooseBoth = QStringLiteral("ポート番号と機器を選んでください。");
    t.choosePort = QStringLiteral("ポート番号を選んでください。");
    t.assigned = QStringLiteral("%1 の接続先を %2 にしました。");
    t.removed = QStringLiteral("%1 の割り当てを解除しました。接続先: %2");
    t.notAssigned = QStringLiteral("割り当てを変更できませんでした。");
    t.busy = QStringLiteral("回線は別の通信で使用中です。終わってからもう一度試してください。");
    t.testing = QStringLiteral("%1 を %2 bps でテスト中...");
    t.answered = QStringLiteral("%1 の応答: %2");
    t.noAnswer = QStringLiteral("%1 から %2 秒以内に応答がありません。");
    return t;
}

} // namespace

const PortsTexts &portsTexts(Language language)
{
    static const PortsTexts en = englishPorts();
    static const PortsTexts ja = japanesePorts();
    return language == Language::English ? en : ja;
}

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
