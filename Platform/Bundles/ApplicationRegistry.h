#pragma once

#include <QString>
#include <QStringList>

namespace Platform {

// Which applications are registered as editors of a document.
class ApplicationRegistry {
public:
    virtual ~ApplicationRegistry() = default;
    // The bundle paths of the applications that claim the document's type in the Editor role.
    virtual QStringList editorApplicationsForDocument(const QString& documentPath) = 0;
};

}  // namespace Platform
