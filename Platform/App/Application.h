#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

namespace Platform {

// The callbacks an application receives from its run.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // The window description is loaded and every outlet is set.
    virtual void awakeFromNib() {}
    // The event loop runs.
    virtual void applicationDidFinishLaunching() {}
    virtual bool applicationShouldTerminateAfterLastWindowClosed() { return false; }
    // The last thing before the process ends.
    virtual void applicationWillTerminate() {}
};

// The application's main window; tells when it has been closed, and when the desktop's font or
// palette changed while it was open.
class Window : public QMainWindow {
    Q_OBJECT
public:
    using QMainWindow::QMainWindow;

signals:
    void closed();
    // The window's font is another one; its children already have theirs.
    void fontDidChange();
    // The desktop's palette is another one; the window's children already have theirs.
    void paletteDidChange();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
};

// What loading the main window description gives: the window and the delegate it created.
// The window goes first, as members go in the reverse of their order: its table and button
// refer to the delegate until they are gone.
struct LoadedNib {
    std::unique_ptr<ApplicationDelegate> delegate;
    std::unique_ptr<Window> window;
};

using NibLoader = std::function<LoadedNib()>;

// Creates the application (or uses the one that exists), loads the main window description,
// delivers the delegate callbacks and runs the event loop until the application terminates.
int applicationMain(int argc, char** argv, const NibLoader& loadMainNib);

}  // namespace Platform
