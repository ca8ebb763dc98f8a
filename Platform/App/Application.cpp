#include "Platform/App/Application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>
#include <QTimer>

namespace Platform {

void Window::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void Window::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        emit fontDidChange();
}

bool Window::event(QEvent* event)
{
    // The application's palette change never reaches changeEvent(); by the time the base class
    // has handled it, the window and its children have resolved the new palette.
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        emit paletteDidChange();
    return handled;
}

namespace {

// The platform's keys for a standard action, plus the one people expect everywhere: some
// keyboard schemes have no binding for Quit at all.
QList<QKeySequence> keysFor(QKeySequence::StandardKey standard, const QKeySequence& usual)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    if (!keys.contains(usual))
        keys.append(usual);
    return keys;
}

void installStandardShortcuts(Window* window)
{
    auto* quit = new QShortcut(window);
    quit->setKeys(keysFor(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    quit->setContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QShortcut::activated, window, [] { QCoreApplication::quit(); });
    auto* close = new QShortcut(window);
    close->setKeys(keysFor(QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)));
    QObject::connect(close, &QShortcut::activated, window, [window] { window->close(); });
}

}  // namespace

int applicationMain(int argc, char** argv, const NibLoader& loadMainNib)
{
    std::unique_ptr<QApplication> ownApplication;
    if (!QCoreApplication::instance())
        ownApplication = std::make_unique<QApplication>(argc, argv);
    // We decide ourselves when the last window closing ends the run: a closing alert panel
    // must not end it behind the delegate's back.
    QApplication::setQuitOnLastWindowClosed(false);

    LoadedNib nib = loadMainNib();
    ApplicationDelegate* delegate = nib.delegate.get();
    installStandardShortcuts(nib.window.get());
    QObject::connect(nib.window.get(), &Window::closed, nib.window.get(), [delegate] {
        if (delegate->applicationShouldTerminateAfterLastWindowClosed())
            QCoreApplication::quit();
    });
    delegate->awakeFromNib();
    QTimer::singleShot(0, nib.window.get(), [delegate] { delegate->applicationDidFinishLaunching(); });

    const int status = QCoreApplication::exec();
    delegate->applicationWillTerminate();
    return status;
}

}  // namespace Platform
