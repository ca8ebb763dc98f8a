#pragma once

#include "InstallationUtility/ALAppDelegate.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// What one run of the command line found and did, as the one JSON document that --json prints
// on standard output: the same document whether or not that is a terminal. Its layout is told by
// "schema"; a change that could break a reader of it raises the number.
class ALCommandLineReport {
public:
    static constexpr int kSchema = 1;

    // The account that runs the command; every installation also names the user whose it is.
    explicit ALCommandLineReport(QString caller) : m_caller(std::move(caller)) {}

    void setCarriedVersion(const std::optional<QString>& version) { m_carriedVersion = version; }
    // An installation as --list shows it.
    void addInstallation(ALAppDelegate& delegate, const QVariantMap& instance, const std::optional<QString>& user);
    // A bundle that discovery met but could not read, so that nobody can tell whether it is an Acrobat.
    void addUnreadable(const QString& path, const std::optional<QString>& user, const QString& reason);
    // What an install or uninstall came to for one installation.
    struct Outcome {
        QString path;
        std::optional<QString> user;
        std::optional<QString> versionBefore;
        std::optional<QString> versionAfter;
        QString outcome;
        std::optional<QString> reason;
    };
    void addOutcome(const Outcome& outcome);

    // The document: "list", "install" or "uninstall", with the run's exit status; "dryRun" is
    // told for the commands that change things.
    QByteArray document(const QString& command, int status, std::optional<bool> dryRun) const;

    // The names of the states a copy or an installation is in.
    static QString stateName(ALCopyState state);
    static QString stateOf(const ALAppDelegate& delegate, const QVariantMap& instance);

private:
    QString userOf(const std::optional<QString>& user) const { return user.value_or(m_caller); }

    QString m_caller;
    std::optional<QString> m_carriedVersion;
    QJsonArray m_installations;
    QJsonArray m_unreadable;
};
