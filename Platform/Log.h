#pragma once

#include <QString>
#include <memory>

namespace Platform {

class Log {
public:
    virtual ~Log() = default;
    virtual void line(const QString& text) = 0;
};

// One line on standard error with the time, the program name and the process id.
std::shared_ptr<Log> makeSystemLog();

}  // namespace Platform
