// The yardstick for the window's start-up: an empty main window of the same size, in a program
// that does nothing else.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(1240, 820);
    window.show();
    return QApplication::exec();
}
