// The yardstick of the application's start: an empty main window of the same size in a program
// that does nothing else. Prints the milliseconds from TESSARY_BENCH_STARTED (seconds since the
// epoch, taken just before the program was started) to the end of the window's first paint.

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget &window, double started)
        : m_window(window)
        , m_started(started)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest || (watched != &m_window && watched != m_window.windowHandle()))
            return false;
        watched->event(event);
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("%.1f\n", ((double(now.tv_sec) + double(now.tv_nsec) / 1e9) - m_started) * 1e3);
        std::fflush(stdout);
        std::_Exit(0);
    }

private:
    QWidget &m_window;
    double m_started;
};

} // namespace

int main(int argc, char **argv)
{
    const double started = std::atof(std::getenv("TESSARY_BENCH_STARTED") ? std::getenv("TESSARY_BENCH_STARTED") : "0");
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(1240, 820);
    FirstPaint paint(window, started);
    application.installEventFilter(&paint);
    window.show();
    return QApplication::exec();
}
