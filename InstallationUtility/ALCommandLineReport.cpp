#include "InstallationUtility/ALCommandLineReport.h"

#include "Platform/App/Format.h"

#include <QJsonDocument>
#include <QVariantList>

namespace {

QJsonValue jsonText(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

std::optional<QString> textOf(const QVariantMap& record, const QString& key)
{
    return Platform::textOf(record.value(key));
}

}  // namespace

QString ALCommandLineReport::stateName(ALCopyState state)
{
    switch (state) {
    case ALCopyState::intact:
        return QStringLiteral("intact");
    case ALCopyState::older:
        return QStringLiteral("older");
    case ALCopyState::newer:
        return QStringLiteral("newer");
    case ALCopyState::damaged:
        return QStringLiteral("damaged");
    }
    return QStringLiteral("damaged");
}

QString ALCommandLineReport::stateOf(const ALAppDelegate& delegate, const QVariantMap& instance)
{
    // The copy the row's button names, the last one found.
    const QVariantList copies = instance.value(ALKey::FW).toList();
    return copies.isEmpty() ? QStringLiteral("notInstalled") : stateName(delegate.copyState(copies.last().toMap()));
}

void ALCommandLineReport::addInstallation(ALAppDelegate& delegate, const QVariantMap& instance,
                                          const std::optional<QString>& user)
{
    const QString path = instance.value(ALKey::Path).toString();
    const unsigned major = Platform::majorVersion(textOf(instance, ALKey::Version));
    QJsonArray copies;
    for (const QVariant& copy : instance.value(ALKey::FW).toList())
        copies.append(QJsonObject{{QStringLiteral("path"), copy.toMap().value(ALKey::Path).toString()},
                                  {QStringLiteral("version"), jsonText(textOf(copy.toMap(), ALKey::Version))},
                                  {QStringLiteral("state"), stateName(delegate.copyState(copy.toMap()))}});
    const QVariantList found = instance.value(ALKey::FW).toList();
    m_installations.append(QJsonObject{
        {QStringLiteral("title"), instance.value(ALKey::Title).toString()},
        {QStringLiteral("path"), path},
        {QStringLiteral("user"), userOf(user)},
        {QStringLiteral("version"),
         jsonText(found.isEmpty() ? std::nullopt : textOf(found.last().toMap(), ALKey::Version))},
        {QStringLiteral("state"), stateOf(delegate, instance)},
        {QStringLiteral("majorVersion"), qint64(major)},
        {QStringLiteral("pluginFolders"),
         QJsonArray::fromStringList(delegate.pluginsFoldersForAcrobatPath(path, major))},
        {QStringLiteral("copies"), copies},
        {QStringLiteral("running"), delegate.applicationIsRunning(path)},
    });
}

void ALCommandLineReport::addUnreadable(const QString& path, const std::optional<QString>& user, const QString& reason)
{
    m_unreadable.append(QJsonObject{
        {QStringLiteral("path"), path}, {QStringLiteral("user"), userOf(user)}, {QStringLiteral("reason"), reason}});
}

void ALCommandLineReport::addOutcome(const Outcome& outcome)
{
    m_installations.append(QJsonObject{
        {QStringLiteral("path"), outcome.path},
        {QStringLiteral("user"), userOf(outcome.user)},
        {QStringLiteral("versionBefore"), jsonText(outcome.versionBefore)},
        {QStringLiteral("versionAfter"), jsonText(outcome.versionAfter)},
        {QStringLiteral("outcome"), outcome.outcome},
        {QStringLiteral("reason"), jsonText(outcome.reason)},
    });
}

QByteArray ALCommandLineReport::document(const QString& command, int status, std::optional<bool> dryRun) const
{
    QJsonObject root{
        {QStringLiteral("schema"), kSchema},          {QStringLiteral("command"), command},
        {QStringLiteral("user"), m_caller},           {QStringLiteral("carriedVersion"), jsonText(m_carriedVersion)},
        {QStringLiteral("status"), status},           {QStringLiteral("installations"), m_installations},
        {QStringLiteral("unreadable"), m_unreadable},
    };
    if (dryRun)
        root.insert(QStringLiteral("dryRun"), *dryRun);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
