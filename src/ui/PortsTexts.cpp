#include "ui/PortsTexts.h"

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
    t.throughLogger = QStringLiteral("%1, attached through %2");
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
    t.throughLogger = QStringLiteral("%1、%2 経由で接続");
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
