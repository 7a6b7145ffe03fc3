#include "ui/EditorTexts.h"

namespace {

EditorTexts englishEditor()
{
    EditorTexts t;
    t.caption = QStringLiteral("SELECT COMM");
    t.standard = QStringLiteral("Standard");
    t.details = QStringLiteral("Details");
    t.ok = QStringLiteral("Ok");
    t.load = QStringLiteral("Load");
    t.transmission = QStringLiteral("Transmission");
    t.nowLoading = QStringLiteral("now loading");
    t.nowTransmission = QStringLiteral("Now Transmission");
    t.limitLabels = {QStringLiteral("REF PRESET"), QStringLiteral("HIGH LIMIT"),
                     QStringLiteral("LOW LIMIT")};
    t.modeLabel = QStringLiteral("MODE");
    t.listLabels = {QStringLiteral("AVE"),
                    QStringLiteral("GAIN"),
                    QStringLiteral("Recorder output"),
                    QStringLiteral("Zero suppress"),
                    QStringLiteral("D.P."),
                    QStringLiteral("Display renewal"),
                    QStringLiteral("No object"),
                    QStringLiteral("Edg number moniter"),
                    QStringLiteral("Speed"),
                    QStringLiteral("Self test")};
    t.listItems = {
        QStringList{"0(1)", "1(2)", "2(4)", "3(8)", "4(16)", "5(32)", "6(64)", "7(128)", "8(256)",
                    "9(512)", "10(1024)", "11(2048)"},
        QStringList{"0(1um/V)", "1(10um/V)", "2(100um/V)", "3(1mm/V)", "4(10mm/V)", "5(100mm/V)",
                    "7(1m/V)"},
        QStringList{QStringLiteral("0(Absolute）"), QStringLiteral("1(Deviation）")},
        QStringList{QStringLiteral("0(ON）"), QStringLiteral("1（OFF）")},
        QStringList{"0(0.99999)", "1(9.9999)", "2(99.999)", "3(999.99)", "4(9999.9)"},
        QStringList{QStringLiteral("0(0.25sec）"), QStringLiteral("1（AVE）")},
        QStringList{QStringLiteral("0(error）"), QStringLiteral("1（no error ）")},
        QStringList{"0(Normal)", "1(Cancel)"},
        QStringList{"0(2000scan)", "1(400scan)"},
        QStringList{"0(OFF)", "1(ON)"},
    };
    t.menuFile = QStringLiteral("File(&F)");
    t.menuOpen = QStringLiteral("Open(&O)");
    t.menuSaveAsDialog = QStringLiteral("Save_As...(&A)");
    t.menuSave = QStringLiteral("Save(&S)");
    t.menuPrint = QStringLiteral("Print(&P)");
    t.menuClose = QStringLiteral("Close(&C)");
    t.menuEdit = QStringLiteral("Edit(&E)");
    t.menuCommSet = QStringLiteral("Comm_Set(&C)");
    t.menuDetails = QStringLiteral("Details/Standard(&D)");
    t.openFilter = QStringLiteral("テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*");
    t.saveFilter = QStringLiteral("*.txt");
    t.fileNotRead = QStringLiteral("The parameter file could not be read. Nothing was changed.");
    t.fileNotWritten = QStringLiteral("The parameter file could not be written.");
    t.printFailed = QStringLiteral("The window could not be printed.");
    t.printFaults = {QStringLiteral("There is nothing to print."),
                     QStringLiteral("The printer %1 cannot be used."),
                     QStringLiteral("The page could not be sent to the printer."),
                     QStringLiteral("No default printer is set up on this computer.")};
    return t;
}

EditorTexts japaneseEditor()
{
    EditorTexts t = englishEditor();
    t.standard = QStringLiteral("全表示");
    t.details = QStringLiteral("隠す");
    t.load = QStringLiteral("受信");
    t.transmission = QStringLiteral("送信");
    t.nowLoading = QStringLiteral("受信中");
    t.nowTransmission = QStringLiteral("送信中");
    t.limitLabels = {QStringLiteral("中心値"), QStringLiteral("上限値"), QStringLiteral("下限値")};
    t.modeLabel = QStringLiteral("測定モード");
    t.listLabels = {QStringLiteral("平均回数"),
                    QStringLiteral("レコーダ出力ゲイン"),
                    QStringLiteral("レコーダ絶対、偏差"),
                    QStringLiteral("ゼロサプレス"),
                    QStringLiteral("小数点位置"),
                    QStringLiteral("表示タイミング"),
                    QStringLiteral("測定物の無い時のエラー"),
                    QStringLiteral("エッジ数の監視"),
                    QStringLiteral("高速、低速の切り替え"),
                    QStringLiteral("自己診断モード")};
    t.listItems[2] = QStringList{QStringLiteral("0(絶対出力）"), QStringLiteral("1（偏差出力）")};
    t.listItems[3] = QStringList{QStringLiteral("0(する）"), QStringLiteral("1（しない）")};
    t.listItems[5] = QStringList{QStringLiteral("0(0.25秒）"), QStringLiteral("1（平均回数）")};
    t.listItems[6] =
        QStringList{QStringLiteral("0(エラーする）"), QStringLiteral("1（エラーしない）")};
    t.listItems[7] = QStringList{QStringLiteral("0通常測定"), QStringLiteral("1キャンセル")};
    t.listItems[8] = QStringList{QStringLiteral("0高速"), QStringLiteral("1低速")};
    t.listItems[9] = QStringList{QStringLiteral("0自己診断オフ"), QStringLiteral("1自己診断オン")};
    t.menuFile = QStringLiteral("ファイル(&F)");
    t.menuOpen = QStringLiteral("開く(&O)");
    t.menuSaveAsDialog = QStringLiteral("名前をつけて保存(&A)");
    t.menuSave = QStringLiteral("上書き保存(&S)");
    t.menuPrint = QStringLiteral("印刷(&P)");
    t.menuClose = QStringLiteral("閉じる(&C)");
    t.menuEdit = QStringLiteral("設定(&E)");
    t.menuCommSet = QStringLiteral("Comm(&C)");
    t.menuDetails = QStringLiteral("全表示/隠す(&D)");
    t.fileNotRead =
        QStringLiteral("パラメータファイルを読み込めませんでした。何も変更していません。");
    t.fileNotWritten = QStringLiteral("パラメータファイルを書き込めませんでした。");
    t.printFailed = QStringLiteral("印刷できませんでした。");
    t.printFaults = {QStringLiteral("印刷するものがありません。"),
                     QStringLiteral("プリンタ %1 を使用できません。"),
                     QStringLiteral("ページをプリンタに送れませんでした。"),
                     QStringLiteral("このコンピュータには通常使うプリンタが設定されていません。")};
    return t;
}

} // namespace

const EditorTexts &editorTexts(Language language)
{
    static const EditorTexts en = englishEditor();
    static const EditorTexts ja = japaneseEditor();
    return language == Language::English ? en : ja;
}
