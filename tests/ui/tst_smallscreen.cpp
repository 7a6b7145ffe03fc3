// Runs on a 1280 x 1024 screen at scale factor 2 (tests/ui/CMakeLists.txt): 640 x 512 to lay
// windows out in, where the Main window's fixed place and the Parameter editor's Details
// layout reach past the bottom edge.
#include "UiTestKit.h"

#include "ui/ParameterEditor.h"
#include "ui/TrendWindow.h"
#include "ui/Twips.h"

#include <QAction>
#include <QScreen>

class TestSmallScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowsAreMovedInsideTheScreen()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(area, QRect(0, 0, 640, 512));
        QCOMPARE(qRound(QGuiApplication::primaryScreen()->devicePixelRatio()), 2);

        UiFixture fx;
        MainWindow main(Language::English, fx.context);
        main.setAttribute(Qt::WA_DeleteOnClose, false);
        main.show();
        const QRect frame = main.frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(QDebug::toString(frame)));
        QCOMPARE(frame.bottom(), area.bottom()); // up only as far as needed
        QCOMPARE(main.centralWidget()->mapToGlobal(QPoint()).x(), Twips::toPixels(3510));
        QCOMPARE(main.centralWidget()->size(), Twips::size(4695, 2835));

        ParameterEditor editor(Language::English, fx.context, main.editorPort(), main.mainPort(),
                               &main);
        editor.show();
        QVERIFY(area.contains(editor.frameGeometry()));
        const int standardHeight = editor.height();
        click(&editor, "Command1");
        QVERIFY(editor.isDetailed());
        QVERIFY(editor.height() > standardHeight + Twips::toPixels(3000));
        QVERIFY2(area.contains(editor.frameGeometry()),
                 qPrintable(QDebug::toString(editor.frameGeometry())));
        editor.close();

        // The Trend window, 1000 pixels wide on a desktop, is made to fit.
        main.findChild<QAction *>(QStringLiteral("TREND"))->trigger();
        QWidget *trend = main.trendWindow();
        QVERIFY2(area.contains(trend->frameGeometry()),
                 qPrintable(QDebug::toString(trend->frameGeometry())));
    }
};

QTEST_MAIN(TestSmallScreen)
#include "tst_smallscreen.moc"
