#include "Platform/App/Log.h"

#include <syslog.h>

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>
#include <utility>

namespace Platform {

StandardErrorLog::StandardErrorLog(QString systemProgramName) : m_systemProgramName(std::move(systemProgramName))
{
}

void StandardErrorLog::line(const QString& text)
{
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString program = QCoreApplication::instance() ? QCoreApplication::applicationName() : m_systemProgramName;
    const QString entry = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
        + QLatin1Char(' ') + program + QLatin1Char('[') + QString::number(QCoreApplication::applicationPid())
        + QStringLiteral("] ") + flat + QLatin1Char('\n');
    // One write per line, so lines from several threads do not interleave.
    const QByteArray bytes = entry.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void systemLogLine(const QString& text, bool failure)
{
    static const bool opened = [] {
        ::openlog("foldwise-installer", LOG_PID, LOG_USER);
        return true;
    }();
    (void)opened;
    ::syslog(failure ? LOG_ERR : LOG_NOTICE, "%s", text.toUtf8().constData());
}

}  // namespace Platform
