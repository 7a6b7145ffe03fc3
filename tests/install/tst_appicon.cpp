#include "../ui/UiTestKit.h"
#include "ui/AppIcon.h"

#include <QImage>
#include <QSet>
#include <QtTest>

// The program's icon: the compiled-in picture, the packaged PNGs, the hand-drawn XPM the
// 32 px one is made from, and which Main window shows it.
class TestAppIcon : public QObject {
    Q_OBJECT
private slots:
    void pictureIs32By32WithAtMost16Colours_data();
    void pictureIs32By32WithAtMost16Colours();
    void packagedPngMatchesItsDrawing();
    void everySizeShowsTheDrawing_data();
    void everySizeShowsTheDrawing();
    void onlyTheEnglishMainWindowCarriesIt_data();
    void onlyTheEnglishMainWindowCarriesIt();
};

namespace {

const QString packaging = QStringLiteral(QSRLINK_PACKAGING_DIR);

// Premultiplied, so that every fully transparent pixel compares as 0 whatever colour the
// file gave it.
QImage argb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage argb(const QString &path)
{
    return argb(QImage(path));
}

} // namespace

void TestAppIcon::pictureIs32By32WithAtMost16Colours_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("compiled in") << QString::fromLatin1(AppIcon::resourcePath);
    QTest::newRow("installed png") << packaging + QStringLiteral("/qsrlink.png");
}

void TestAppIcon::pictureIs32By32WithAtMost16Colours()
{
    QFETCH(QString, path);
    const QImage image = argb(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    int transparent = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            colours.insert(qAlpha(c) == 0 ? 0 : c);
            transparent += qAlpha(c) == 0;
        }
    QVERIFY2(colours.size() <= 16, qPrintable(QString::number(colours.size())));
    // A picture on a transparent ground, not a filled square.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QVERIFY(transparent > 32 && transparent < 32 * 32 / 2);
}

void TestAppIcon::packagedPngMatchesItsDrawing()
{
    // packaging/make-icon must be run after every change to the drawing.
    const QImage drawing = argb(packaging + QStringLiteral("/qsrlink.xpm"));
    const QImage png = argb(packaging + QStringLiteral("/qsrlink.png"));
    QVERIFY(!drawing.isNull());
    QCOMPARE(png, drawing);
    QCOMPARE(argb(QString::fromLatin1(AppIcon::resourcePath)), drawing);
}

void TestAppIcon::everySizeShowsTheDrawing_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 48, 64, 128, 256})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

void TestAppIcon::everySizeShowsTheDrawing()
{
    // The other sizes are rendered from qsrlink.svg by packaging/make-icon; the SVG is drawn
    // after the XPM. Compared at 16 px, where the finer drawing blurs into the same picture.
    QFETCH(int, size);
    const QImage image = argb(packaging + QStringLiteral("/qsrlink-%1.png").arg(size));
    QCOMPARE(image.size(), QSize(size, size));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size - 1, size - 1)), 0);

    const auto at16 = [](const QImage &i) {
        return i.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage shown = at16(image);
    const QImage drawing = at16(argb(packaging + QStringLiteral("/qsrlink.xpm")));
    double difference = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb a = shown.pixel(x, y);
            const QRgb b = drawing.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b)) + std::abs(qAlpha(a) - qAlpha(b));
        }
    difference /= 16 * 16 * 4 * 255.0;
    QVERIFY2(difference < 0.1, qPrintable(QString::number(difference)));
}

void TestAppIcon::onlyTheEnglishMainWindowCarriesIt_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<bool>("ownIcon");
    QTest::newRow("Form5 English") << Language::English << true;
    QTest::newRow("Form1 Japanese") << Language::Japanese << false;
}

void TestAppIcon::onlyTheEnglishMainWindowCarriesIt()
{
    QFETCH(Language, language);
    QFETCH(bool, ownIcon);
    UiFixture fx;
    MainWindow window(language, fx.context);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(window.Form_Load(nullptr));
    QCOMPARE(window.testAttribute(Qt::WA_SetWindowIcon), ownIcon);
    if (ownIcon) {
        const QImage shown = argb(window.windowIcon().pixmap(32, 32).toImage());
        QCOMPARE(shown, argb(QString::fromLatin1(AppIcon::resourcePath)));
    } else {
        // The toolkit's default: nothing set on the window, nothing set for the application.
        QVERIFY(QApplication::windowIcon().isNull());
    }
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
