#include "tests/e2e/Desktop.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QThread>

namespace E2E {

bool eventually(const std::function<bool()>& condition, Milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout.count())
            return false;
        QThread::msleep(100);
    }
    return true;
}

// ---- ChildProcess ---------------------------------------------------------------------------

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                           const QString& logFile)
{
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setProcessEnvironment(environment);
    m_process.setStandardInputFile(QProcess::nullDevice());
    if (!logFile.isEmpty()) {
        m_process.setStandardOutputFile(logFile, QIODevice::Append);
        m_process.setStandardErrorFile(logFile, QIODevice::Append);
    }
    m_process.start();
    m_started = m_process.waitForStarted(10000);
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::waitForExit(Milliseconds timeout)
{
    if (!running())
        return true;
    return m_process.waitForFinished(static_cast<int>(timeout.count()));
}

QByteArray ChildProcess::firstLineOfOutput(Milliseconds timeout)
{
    QByteArray output;
    const bool lineOrEnd = eventually(
        [&] {
            m_process.waitForReadyRead(100);
            output += m_process.readAllStandardOutput();
            return output.contains('\n') || !running();
        },
        timeout);
    return lineOrEnd ? output.split('\n').first().trimmed() : QByteArray();
}

void ChildProcess::stop()
{
    if (!running())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

// ---- Desktop --------------------------------------------------------------------------------

Desktop::Desktop()
{
    // Xvfb picks a free display number itself and writes it to the descriptor we name, once
    // it accepts connections.
    m_server = std::make_unique<ChildProcess>(
        QStringLiteral("Xvfb"),
        QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QProcess& server = m_server->process();
    if (!m_server->started()) {
        m_error = QStringLiteral("Xvfb could not be started: ") + server.errorString();
        return;
    }
    const QByteArray number = m_server->firstLineOfOutput(20s);
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not announce its display: ")
            + QString::fromLocal8Bit(server.readAllStandardError());
        m_server->stop();
        return;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
}

Desktop::~Desktop() = default;

CommandResult runCommand(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                         Milliseconds timeout)
{
    ChildProcess child(program, arguments, environment);
    CommandResult result;
    if (!child.started()) {
        result.errors = child.process().errorString().toLocal8Bit();
        return result;
    }
    result.finished = child.waitForExit(timeout);
    result.output = child.process().readAllStandardOutput();
    result.errors = child.process().readAllStandardError();
    if (result.finished)
        result.exitCode = child.process().exitStatus() == QProcess::NormalExit ? child.process().exitCode() : -1;
    return result;
}

CommandResult Desktop::run(const QString& program, const QStringList& arguments, Milliseconds timeout) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    return runCommand(program, arguments, environment, timeout);
}

std::optional<QString> Desktop::waitForWindow(const QString& name, Milliseconds timeout) const
{
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$');
    const CommandResult found = run(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--sync"),
                                     QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern},
                                    timeout);
    const QList<QByteArray> ids = found.output.trimmed().split('\n');
    if (!found.succeeded() || ids.first().isEmpty())
        return std::nullopt;
    return QString::fromLatin1(ids.first());
}

bool Desktop::hasWindow(const QString& name) const
{
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$');
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
        .succeeded();
}

std::optional<QRect> Desktop::geometry(const QString& window) const
{
    const CommandResult shell =
        run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    if (!shell.succeeded())
        return std::nullopt;
    QHash<QString, int> values;
    for (const QByteArray& line : shell.output.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromLatin1(line.left(equals)), line.mid(equals + 1).toInt());
    }
    for (const char* key : {"X", "Y", "WIDTH", "HEIGHT"}) {
        if (!values.contains(QString::fromLatin1(key)))
            return std::nullopt;
    }
    return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                 values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
}

QImage Desktop::screenshot(const QString& window) const
{
    const CommandResult shot =
        run(QStringLiteral("import"), {QStringLiteral("-window"), window, QStringLiteral("png:-")});
    if (!shot.succeeded())
        return {};
    return QImage::fromData(shot.output, "PNG").convertToFormat(QImage::Format_RGB32);
}

bool Desktop::click(const QString& window, const QPoint& point) const
{
    // Without a window manager the pointer moves in screen coordinates: add the window's place.
    const std::optional<QRect> frame = geometry(window);
    if (!frame)
        return false;
    const QPoint screenPoint = frame->topLeft() + point;
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QString::number(screenPoint.x()), QString::number(screenPoint.y()),
                QStringLiteral("click"), QStringLiteral("1")})
        .succeeded();
}

bool Desktop::drag(const QString& window, const QPoint& from, const QPoint& to) const
{
    const std::optional<QRect> frame = geometry(window);
    if (!frame)
        return false;
    const QPoint start = frame->topLeft() + from;
    const QPoint end = frame->topLeft() + to;
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y()),
                QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("sleep"), QStringLiteral("0.2"),
                QStringLiteral("mousemove"), QString::number(end.x()), QString::number(end.y()),
                QStringLiteral("sleep"), QStringLiteral("0.2"), QStringLiteral("mouseup"), QStringLiteral("1")})
        .succeeded();
}

bool Desktop::key(const QString& window, const QString& keys) const
{
    if (!run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}, 5s)
             .succeeded())
        return false;
    // The key may close the window before it is let go; that is no failure of ours.
    return run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}).finished;
}

// ---- AccessibilityBus -----------------------------------------------------------------------

AccessibilityBus::AccessibilityBus(const Desktop& desktop, const QString& runtimeDirectory)
{
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("DISPLAY"), desktop.display());
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory);
    m_environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    m_sessionBus = std::make_unique<ChildProcess>(
        QStringLiteral("dbus-daemon"),
        QStringList{QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
        m_environment);
    QProcess& bus = m_sessionBus->process();
    if (!m_sessionBus->started()) {
        m_error = QStringLiteral("dbus-daemon could not be started: ") + bus.errorString();
        return;
    }
    const QByteArray address = m_sessionBus->firstLineOfOutput(10s);
    if (address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon did not announce its address: ")
            + QString::fromLocal8Bit(bus.readAllStandardError());
        return;
    }
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));

    m_launcher = std::make_unique<ChildProcess>(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                                                QStringList{QStringLiteral("--launch-immediately")}, m_environment);
    if (!m_launcher->started()) {
        m_error = QStringLiteral("at-spi-bus-launcher could not be started: ") + m_launcher->process().errorString();
        return;
    }
    // A program asks the session bus for the accessibility bus once, as it starts: it must be
    // there by then.
    const bool ready = eventually(
        [&] {
            return runCommand(QStringLiteral("dbus-send"),
                              {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                               QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                               QStringLiteral("org.a11y.Bus.GetAddress")},
                              m_environment)
                .succeeded();
        },
        10s);
    if (!ready) {
        m_error = QStringLiteral("the accessibility bus did not come up");
        return;
    }
    m_address = QString::fromLatin1(address);
}

AccessibilityBus::~AccessibilityBus() = default;

}  // namespace E2E
