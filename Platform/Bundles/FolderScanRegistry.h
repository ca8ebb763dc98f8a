#pragma once

#include "Platform/Bundles/ApplicationRegistry.h"

#include <QStringList>

namespace Platform {

// Finds editors by walking application folders for bundles and reading the document types
// their Info.plist claims. Links are never followed, so the walk stays inside the folders.
class FolderScanRegistry : public ApplicationRegistry {
public:
    explicit FolderScanRegistry(QStringList applicationFolders);
    QStringList editorApplicationsForDocument(const QString& documentPath) override;

    QStringList applicationFolders() const { return m_folders; }

private:
    QStringList m_folders;
};

}  // namespace Platform
