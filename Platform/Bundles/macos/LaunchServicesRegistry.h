#pragma once

#include "Platform/Bundles/ApplicationRegistry.h"

namespace Platform {

// Asks Launch Services which applications are registered as editors of the document.
class LaunchServicesRegistry : public ApplicationRegistry {
public:
    QStringList editorApplicationsForDocument(const QString& documentPath) override;
};

}  // namespace Platform
