#pragma once

#include <QString>

namespace Platform {

class Log {
public:
    virtual ~Log() = default;
    virtual void line(const QString& text) = 0;
};

// One line on standard error with the time, the program name and the process id.
class StandardErrorLog : public Log {
public:
    // `systemProgramName` names the program while there is no application object to ask; how
    // to learn it differs per system.
    explicit StandardErrorLog(QString systemProgramName);
    void line(const QString& text) override;

private:
    QString m_systemProgramName;
};

// One line in the system log (syslog(3): journald on Linux, the unified log on macOS), for an
// audit trail of what changed; `failure` marks it as an error.
void systemLogLine(const QString& text, bool failure);

}  // namespace Platform
