#include "Platform/Log.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace Platform {

namespace {

QString programName()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationName();
#if defined(__APPLE__)
    return QString::fromLocal8Bit(::getprogname());
#else
    return QString::fromLocal8Bit(program_invocation_short_name);
#endif
}

class StandardErrorLog : public Log {
public:
    void line(const QString& text) override
    {
        QString flat = text;
        flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QString entry = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
            + QLatin1Char(' ') + programName() + QLatin1Char('[') + QString::number(QCoreApplication::applicationPid())
            + QStringLiteral("] ") + flat + QLatin1Char('\n');
        // One write per line, so lines from several threads do not interleave.
        const QByteArray bytes = entry.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }
};

}  // namespace

std::shared_ptr<Log> makeSystemLog()
{
    return std::make_shared<StandardErrorLog>();
}

}  // namespace Platform
