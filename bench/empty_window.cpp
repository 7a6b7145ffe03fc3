// The floor for start-up time: an empty Qt Widgets window and nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle(QStringLiteral("bench empty window"));
    w.resize(313, 210);
    w.show();
    return app.exec();
}
