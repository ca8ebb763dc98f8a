#pragma once

#include "Platform/Bundles/ApplicationRegistry.h"

#include <QStringList>

namespace Platform {

struct DocumentKind;

// Finds editors by walking application folders for bundles and reading the document types
// their Info.plist claims. Links are never followed, so the walk stays inside the folders.
class FolderScanRegistry : public ApplicationRegistry {
public:
    explicit FolderScanRegistry(QStringList applicationFolders);
    QStringList editorApplicationsForDocument(const QString& documentPath) override;

    QList<UnreadableApplication> unreadableApplications() const override { return m_unreadable; }

    QStringList applicationFolders() const { return m_folders; }

private:
    void collectEditors(const QString& folder, int depth, const DocumentKind& kind, QStringList& found);

    QStringList m_folders;
    QList<UnreadableApplication> m_unreadable;
};

}  // namespace Platform
