#include "ui/TrendTexts.h"

namespace {

TrendTexts english()
{
    TrendTexts t;
    t.caption = QStringLiteral("Trend - QSRLINK");
    t.menuFile = QStringLiteral("File(&F)");
    t.menuOpen = QStringLiteral("Open log...(&O)");
    t.menuLive = QStringLiteral("Live data(&L)");
    t.menuSavePng = QStringLiteral("Save chart as PNG...(&P)");
    t.menuCopy = QStringLiteral("Copy statistics(&C)");
    t.menuClose = QStringLiteral("Close(&X)");
    t.live = QStringLiteral("Live data: the values polled since the program started");
    t.file = QStringLiteral("Log file: %1");
    t.reading = QStringLiteral("Reading %1 ...");
    t.fileSummary = QStringLiteral("%1 records.");
    t.fileDamaged =
        QStringLiteral("%1 lines are not records and were skipped (the first: line %2).");
    t.fileLeftOut = QStringLiteral("%1 records at the end were left out: the file is too long.");
    t.notRead = QStringLiteral("The log file cannot be read.");
    t.span = QStringLiteral("Span(&S)");
    t.follow = QStringLiteral("Follow newest(&N)");
    t.spans = {QStringLiteral("10 min"), QStringLiteral("1 h"), QStringLiteral("8 h"),
               QStringLiteral("24 h"), QStringLiteral("All")};
    t.highLimit = QStringLiteral("High limit(&H)");
    t.lowLimit = QStringLiteral("Low limit(&L)");
    t.apply = QStringLiteral("Apply(&A)");
    t.notALimit = QStringLiteral("\"%1\" is not a number. Type a number such as 12.5, or leave "
                                 "the field empty for no limit.");
    t.limitsCrossed = QStringLiteral("The low limit is above the high limit.");
    t.limitsNotSaved = QStringLiteral("The limits could not be saved. They hold until the "
                                      "program ends.");
    t.shownSpan = QStringLiteral("Shown span");
    t.sinceReset = QStringLiteral("Since reset");
    t.wholeFile = QStringLiteral("Whole file");
    t.reset = QStringLiteral("Reset(&R)");
    t.rows = {QStringLiteral("Count"),          QStringLiteral("Minimum"),
              QStringLiteral("Maximum"),        QStringLiteral("Mean"),
              QStringLiteral("Std. deviation"), QStringLiteral("Latest"),
              QStringLiteral("Not numbers"),    QStringLiteral("Outside limits"),
              QStringLiteral("Time outside")};
    t.chartNotSaved = QStringLiteral("The chart could not be saved.");
    t.chartName = QStringLiteral("Chart of the measured value against time");
    return t;
}

TrendTexts japanese()
{
    TrendTexts t;
    t.caption = QStringLiteral("トレンド - QSRLINK");
    t.menuFile = QStringLiteral("ファイル(&F)");
    t.menuOpen = QStringLiteral("ログを開く...(&O)");
    t.menuLive = QStringLiteral("ライブデータ(&L)");
    t.menuSavePng = QStringLiteral("グラフをPNGで保存...(&P)");
    t.menuCopy = QStringLiteral("統計をコピー(&C)");
    t.menuClose = QStringLiteral("閉じる(&X)");
    t.live = QStringLiteral("ライブデータ: プログラム起動後にポーリングした値");
    t.file = QStringLiteral("ログファイル: %1");
    t.reading = QStringLiteral("%1 を読み込み中...");
    t.fileSummary = QStringLiteral("%1 件の記録。");
    t.fileDamaged = QStringLiteral("記録として読めない %1 行を飛ばしました（最初は %2 行目）。");
    t.fileLeftOut = QStringLiteral("ファイルが長すぎるため、末尾の %1 件を読み込みませんでした。");
    t.notRead = QStringLiteral("ログファイルを読み込めません。");
    t.span = QStringLiteral("表示範囲(&S)");
    t.follow = QStringLiteral("最新に追従(&N)");
    t.spans = {QStringLiteral("10分"), QStringLiteral("1時間"), QStringLiteral("8時間"),
               QStringLiteral("24時間"), QStringLiteral("すべて")};
    t.highLimit = QStringLiteral("上限(&H)");
    t.lowLimit = QStringLiteral("下限(&L)");
    t.apply = QStringLiteral("適用(&A)");
    t.notALimit = QStringLiteral("「%1」は数値ではありません。12.5 のような数値を入力するか、"
                                 "制限しない場合は空欄にしてください。");
    t.limitsCrossed = QStringLiteral("下限が上限より大きくなっています。");
    t.limitsNotSaved =
        QStringLiteral("上限・下限を保存できませんでした。プログラムの終了まで有効です。");
    t.shownSpan = QStringLiteral("表示範囲");
    t.sinceReset = QStringLiteral("リセット以降");
    t.wholeFile = QStringLiteral("ファイル全体");
    t.reset = QStringLiteral("リセット(&R)");
    t.rows = {QStringLiteral("件数"),           QStringLiteral("最小"),
              QStringLiteral("最大"),           QStringLiteral("平均"),
              QStringLiteral("標準偏差"),       QStringLiteral("最新"),
              QStringLiteral("数値でない応答"), QStringLiteral("範囲外の件数"),
              QStringLiteral("範囲外の時間")};
    t.chartNotSaved = QStringLiteral("グラフを保存できませんでした。");
    t.chartName = QStringLiteral("測定値の時間変化のグラフ");
    return t;
}

} // namespace

const TrendTexts &trendTexts(Language language)
{
    static const TrendTexts en = english();
    static const TrendTexts ja = japanese();
    return language == Language::English ? en : ja;
}
