// The least a Qt program does to show a window: what the console's start-up is compared with.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(304, 195);
    window.show();
    return app.exec();
}
