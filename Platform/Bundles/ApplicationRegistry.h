#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Platform {

// An application bundle met on the way whose Info.plist could not be read, so that nobody can
// tell whether it is an editor of the document, and why.
struct UnreadableApplication {
    QString path;
    QString reason;
};

// Which applications are registered as editors of a document.
class ApplicationRegistry {
public:
    virtual ~ApplicationRegistry() = default;
    // The bundle paths of the applications that claim the document's type in the Editor role.
    virtual QStringList editorApplicationsForDocument(const QString& documentPath) = 0;
    // The bundles that the last look-up met but could not read; a registry that reads no
    // bundle itself meets none.
    virtual QList<UnreadableApplication> unreadableApplications() const { return {}; }
};

}  // namespace Platform
