#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace Platform {

// Lets one discovery read each Info.plist once although several parts of it ask for the same
// file. Files are kept only while a Scope is open on the calling thread, and only as long as
// the file is the same one (device, inode, size, modification and change times), and within the
// bounds that PropertyList states; when the outermost Scope closes everything is forgotten, so
// the next discovery reads every file anew.
class PropertyListCache {
public:
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // As PropertyList::dictionaryWithContentsOfFile, from the open Scope's files when it can.
    static std::optional<QVariantMap> dictionaryWithContentsOfFile(const QString& path);
};

}  // namespace Platform
