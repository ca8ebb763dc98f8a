#pragma once

#include <QString>
#include <QUrl>

namespace Platform {

class Workspace {
public:
    virtual ~Workspace() = default;
    // Whether a running process that we may look at executes the file at `executablePath`,
    // however either path reaches it (links, a home folder that is itself a link). Compared by
    // file identity, not by text; a process whose executable has been deleted or replaced since
    // it started still counts when it was started from that path.
    virtual bool isExecutableRunning(const QString& executablePath) = 0;
    // Hands the address to the user's browser; Qt does this alike on every system.
    virtual bool openURL(const QUrl& url);
};

}  // namespace Platform
