#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace Platform {

// A folder laid out as an application bundle: Contents/Info.plist and Contents/Resources.
class Bundle {
public:
    // The bundle at a path, or nothing when no folder is there.
    static std::optional<Bundle> bundleWithPath(const QString& path);
    // The running application's own bundle: two folders above Contents/MacOS.
    static Bundle mainBundle();
    // A bundle for a path without checking it exists (our own bundle, fixtures).
    explicit Bundle(QString path);

    QString bundlePath() const { return m_path; }
    QString resourcePath() const;
    std::optional<QString> bundleIdentifier() const;
    // The information dictionary; empty when Contents/Info.plist cannot be read.
    QVariantMap infoDictionary() const;
    QVariant objectForInfoDictionaryKey(const QString& key) const;
    // A string entry of the information dictionary, nothing when absent or not a string.
    std::optional<QString> stringForInfoDictionaryKey(const QString& key) const;
    // Contents/Resources/name.type (name alone when type is empty), when something is there;
    // nothing for a name that would lead out of Resources (absolute, or through "." or "..") and
    // for a link that does (it is followed only while it stays in the bundle's own Resources).
    std::optional<QString> pathForResource(const QString& name, const QString& type) const;
    // An image resource of any image extension we can read.
    std::optional<QString> pathForImageResource(const QString& name) const;

private:
    QString m_path;
    mutable std::optional<QVariantMap> m_info;
};

}  // namespace Platform
