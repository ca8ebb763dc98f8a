#pragma once

#include <QString>
#include <optional>

namespace Platform {

// The error number the system gives when the user dismisses the password prompt.
inline constexpr int kUserCancelledErrorNumber = -128;

// Runs one shell command text with administrator rights, behind the system's password prompt.
class AdministratorShell {
public:
    struct Result {
        // The command's standard output when it ran and succeeded.
        std::optional<QString> output;
        std::optional<int> errorNumber;
        std::optional<QString> errorMessage;
        bool succeeded() const { return output.has_value(); }
    };
    virtual ~AdministratorShell() = default;
    virtual Result run(const QString& commandText) = 0;
};

// Wraps text in single quotes for a POSIX shell so that it stays one literal word, whatever it
// holds: an embedded single quote is written '\''.
QString shellSingleQuoted(const QString& text);

}  // namespace Platform
