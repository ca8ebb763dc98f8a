#include "tests/e2e/ScreenReader.h"

#include "tests/support/Fixtures.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace E2E {

namespace {

// Loaded by Orca from its settings folder as it starts: its debug output at the level that
// records each utterance, which goes to standard error, line by line, without a debug file.
const QByteArray kCustomizations = "import orca.debug\norca.debug.debugLevel = orca.debug.LEVEL_INFO\n";
// What Orca says once its listeners are on the accessibility bus.
const QString kListening = QStringLiteral("Screen reader on.");

}  // namespace

ScreenReader::ScreenReader(const AccessibilityBus& bus, const QString& folder)
    : m_logPath(folder + QStringLiteral("/orca.log"))
{
    const QString settings = folder + QStringLiteral("/settings");
    try {
        Fixtures::writeFile(settings + QStringLiteral("/orca-customizations.py"), kCustomizations);
    } catch (const std::runtime_error& error) {
        m_error = QString::fromStdString(error.what());
        return;
    }
    // Nothing of the machine's own home or desktop settings is read or written.
    QProcessEnvironment environment = bus.environment();
    environment.insert(QStringLiteral("HOME"), folder);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), folder + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder + QStringLiteral("/data"));
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    environment.insert(QStringLiteral("PYTHONUNBUFFERED"), QStringLiteral("1"));
    m_windowManager = std::make_unique<ChildProcess>(QStringLiteral("openbox"), QStringList(), environment,
                                                     folder + QStringLiteral("/openbox.log"));
    if (!m_windowManager->started()) {
        m_error = QStringLiteral("openbox could not be started: ") + m_windowManager->process().errorString();
        return;
    }
    m_orca = std::make_unique<ChildProcess>(
        QStringLiteral("orca"), QStringList{QStringLiteral("--user-prefs"), settings}, environment, m_logPath);
    if (!m_orca->started()) {
        m_error = QStringLiteral("orca could not be started: ") + m_orca->process().errorString();
        return;
    }
    const bool listening = eventually([&] { return spoken().contains(kListening) || !m_orca->running(); }, 60s);
    if (!listening || !m_orca->running())
        m_error = QStringLiteral("Orca did not start listening; what it wrote ends with:\n")
            + QString::fromStdString(logTail());
}

ScreenReader::~ScreenReader() = default;

QStringList ScreenReader::spoken() const
{
    // 12:00:00.000000 - SPEECH OUTPUT: 'Install push button.'{'established': False}
    static const QRegularExpression utterance(QStringLiteral(R"(SPEECH OUTPUT: '(.*)' ?\{[^{]*\}$)"));
    QFile log(m_logPath);
    QStringList lines;
    if (!log.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QRegularExpressionMatch match = utterance.match(QString::fromUtf8(line));
        if (match.hasMatch())
            lines.append(match.captured(1).trimmed());
    }
    return lines;
}

bool ScreenReader::waitFor(const QString& text, qsizetype from, Milliseconds timeout) const
{
    return eventually(
        [&] {
            const QStringList lines = spoken().mid(from);
            return std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.contains(text); });
        },
        timeout);
}

std::string ScreenReader::logTail() const
{
    QFile log(m_logPath);
    if (!log.open(QIODevice::ReadOnly))
        return "(no log)";
    const QList<QByteArray> lines = log.readAll().split('\n');
    return lines.mid(std::max<qsizetype>(0, lines.size() - 40)).join('\n').toStdString();
}

}  // namespace E2E
