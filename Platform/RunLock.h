#pragma once

#include "Platform/UniqueFd.h"

#include <QString>
#include <chrono>
#include <optional>

namespace Platform {

// One installer run at a time: an flock(2) on a lock file, held until this object goes (or the
// process ends, however it ends, so a killed run never leaves the machine locked).
class RunLock {
public:
    // Takes the lock at path, waiting up to `wait` for another run to let go. None when it is
    // still held then (`busy` set) or the file cannot be used (`why` says what stood in the way).
    static std::optional<RunLock> take(const QString& path, std::chrono::milliseconds wait, bool* busy, QString* why);

    // Where the lock lives: root's in the system's lock folder, a plain user's in their own
    // runtime folder (where nobody else can hold it on them).
    static QString defaultPath();

private:
    explicit RunLock(UniqueFd fd) : m_fd(std::move(fd)) {}
    UniqueFd m_fd;
};

}  // namespace Platform
