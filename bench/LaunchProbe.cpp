// Started by launch_bench. Runs the application's launch (mode "app": applicationMain with the
// real services, the window description and the built bundle's resources), a bare QApplication
// with an empty QMainWindow (mode "bare") or with one line of text in it (mode "text": the first
// text shown loads the font database), and writes to standard output, when the window gets
// its first Show event: the CLOCK_MONOTONIC time in nanoseconds, then the nanoseconds since main
// began. Then it quits.

#include "InstallationUtility/MainWindowNib.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

long long monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

const long long startedAt = monotonicNanoseconds();

class ShowWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !m_seen) {
            m_seen = true;
            const long long now = monotonicNanoseconds();
            std::printf("%lld %lld\n", now, now - startedAt);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

}  // namespace

int main(int argc, char** argv)
{
    const bool bare = argc >= 2 && std::strcmp(argv[1], "bare") == 0;
    const bool text = argc >= 2 && std::strcmp(argv[1], "text") == 0;
    if (argc < 2 || (!bare && !text && std::strcmp(argv[1], "app") != 0)) {
        std::fprintf(stderr, "usage: launch_probe app BUNDLE | bare | text\n");
        return 2;
    }
    if (bare || text) {
        QApplication application(argc, argv);
        QMainWindow window;
        if (text)
            window.setCentralWidget(new QLabel(QStringLiteral("Adobe Acrobat Pro 15.006")));
        ShowWatcher watcher;
        window.installEventFilter(&watcher);
        window.show();
        return QApplication::exec();
    }
    if (argc < 3)
        return 2;
    const QString bundle = QString::fromLocal8Bit(argv[2]);
    return Platform::applicationMain(argc, argv, [&] {
        Platform::Services services = Platform::Services::system();
        services.mainBundle = Platform::Bundle(bundle);
        Platform::LoadedNib nib = loadMainWindowNib(services);
        nib.window->installEventFilter(new ShowWatcher(nib.window.get()));
        return nib;
    });
}
