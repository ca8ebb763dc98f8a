#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace E2E {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Asks again every tenth of a second until the condition holds or the time is up.
bool eventually(const std::function<bool()>& condition, Milliseconds timeout = 5s);

// A process the test started; ended when the guard goes, whatever the test's outcome: asked to
// stop first, so Xvfb can remove its lock and socket, then killed.
class ChildProcess {
public:
    ChildProcess(const QString& program, const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                 const QString& logFile = QString());
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_started; }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    QProcess& process() { return m_process; }
    // Waits for the process to end by itself.
    bool waitForExit(Milliseconds timeout);
    // The first line the process writes on its standard output, trimmed; empty when no whole
    // line came in time and the process still runs.
    QByteArray firstLineOfOutput(Milliseconds timeout);
    void stop();

private:
    QProcess m_process;
    bool m_started = false;
};

// What a short command run to its end gave back.
struct CommandResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
    bool succeeded() const { return finished && exitCode == 0; }
};

// Runs a short command to its end, or until the time is up.
CommandResult runCommand(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                         Milliseconds timeout = 10s);

// A virtual display of our own, and the person at it: finds windows, looks at them, clicks and
// types through xdotool and imagemagick's import. No window manager runs.
class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Empty when Xvfb did not start; the reason is in error().
    QString display() const { return m_display; }
    QString error() const { return m_error; }

    CommandResult run(const QString& program, const QStringList& arguments, Milliseconds timeout = 10s) const;

    // The first visible window whose whole name is name, waiting for it to appear.
    std::optional<QString> waitForWindow(const QString& name, Milliseconds timeout = 15s) const;
    // Whether a visible window of that name is there now.
    bool hasWindow(const QString& name) const;
    // The window's frame in screen coordinates.
    std::optional<QRect> geometry(const QString& window) const;
    QImage screenshot(const QString& window) const;
    // Presses and lets go the first mouse button at a point given in the window's coordinates.
    bool click(const QString& window, const QPoint& point) const;
    // Presses the first mouse button at one point and lets it go at another.
    bool drag(const QString& window, const QPoint& from, const QPoint& to) const;
    // Gives the window the keyboard, then types the keys (xdotool's names, as "ctrl+q").
    bool key(const QString& window, const QString& keys) const;

private:
    QString m_display;
    QString m_error;
    QString m_logPath;
    std::unique_ptr<ChildProcess> m_server;
};

// A private session bus with the accessibility bus on it, as on a desktop where a screen reader
// may run. Programs given its address and QT_LINUX_ACCESSIBILITY_ALWAYS_ON show their tree there.
class AccessibilityBus {
public:
    AccessibilityBus(const Desktop& desktop, const QString& runtimeDirectory);
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    // The session bus's address; empty when it did not start, the reason in error().
    QString address() const { return m_address; }
    QString error() const { return m_error; }
    // What a program needs to reach the buses.
    QProcessEnvironment environment() const { return m_environment; }

private:
    QString m_address;
    QString m_error;
    QProcessEnvironment m_environment;
    std::unique_ptr<ChildProcess> m_sessionBus;
    std::unique_ptr<ChildProcess> m_launcher;
};

}  // namespace E2E
