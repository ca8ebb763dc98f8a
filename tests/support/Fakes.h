#pragma once

#include "Platform/App/Services.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <memory>
#include <type_traits>
#include <vector>

// Stand-ins for the system services, each recording what it was asked.

// The real file system, with failures injected per path.
class InjectingFileManager : public Platform::LocalFileManager {
public:
    QSet<QString> failingCopies;  // destinations whose plain copy or replacement fails, before anything is made
    QSet<QString> failingRemovals;  // paths whose plain removal fails, before anything is moved
    // The error number each injected failure gives, by path; lack of rights (EACCES) when absent.
    // Each stands for a refusal of the folder that holds the item.
    QHash<QString, int> failureCodes;
    // Paths whose injected failure happens inside the tree being copied or removed (a file the user
    // may not read), not in the folder that holds the item.
    QSet<QString> failingInsideTheTree;
    // Hidden siblings that each injected failure says it could not sweep away.
    QStringList unswept;
    // Paths whose existence cannot be told, with the error number the look-up gives.
    QHash<QString, int> failingLookups;
    QStringList copies;  // every copy asked for, "source -> destination"
    QStringList replacements;  // the same for replacements
    QStringList removals;

    std::optional<bool> existenceAtPath(const QString& path, Platform::FileError* error = nullptr) override;
    bool copyItem(const QString& source, const QString& destination, Platform::FileError* error = nullptr) override;
    bool replaceItem(const QString& source, const QString& destination, Platform::FileError* error = nullptr) override;
    bool removeItem(const QString& path, Platform::FileError* error = nullptr) override;

private:
    bool injectedFailure(const QString& path, Platform::FileError* error) const;
};

// Answers each command with the next scripted result; with none left, the command fails
// without a message.
class ScriptedAdministratorShell : public Platform::AdministratorShell {
public:
    std::deque<Result> results;
    QStringList commands;

    Result run(const QString& commandText) override;

    static Result success(const QString& output = QString());
    static Result cancelled();
    static Result failure(const std::optional<QString>& message);
};

class RecordingAlerts : public Platform::Alerts {
public:
    struct Panel {
        QString title, message, button;
        QString informativeText;
    };
    std::vector<Panel> panels;
    QStringList messages() const;
    void runAlertPanel(const QString& title, const QString& message, const QString& button) override;
    void runAlertPanelWithInformativeText(const QString& title, const QString& message, const QString& informativeText,
                                          const QString& button) override;
};

class RecordingLog : public Platform::Log {
public:
    explicit RecordingLog(std::shared_ptr<const RecordingAlerts> alerts = nullptr) : m_alerts(std::move(alerts)) {}
    QStringList lines;
    std::vector<size_t> alertsShownBefore;  // for each line, how many alerts had been shown by then
    void line(const QString& text) override
    {
        lines.append(text);
        if (m_alerts)
            alertsShownBefore.push_back(m_alerts->panels.size());
    }

private:
    std::shared_ptr<const RecordingAlerts> m_alerts;
};

class FakeWorkspace : public Platform::Workspace {
public:
    QStringList running;  // executables of running processes, each standing for its own file
    std::vector<QUrl> opened;
    bool isExecutableRunning(const QString& executablePath) override { return running.contains(executablePath); }
    bool openURL(const QUrl& url) override
    {
        opened.push_back(url);
        return true;
    }
};

class FakeRegistry : public Platform::ApplicationRegistry {
public:
    QStringList applications;
    QList<Platform::UnreadableApplication> unreadable;
    QList<Platform::UnreadableApplication> unreadableApplications() const override { return unreadable; }
    QStringList askedFor;
    QStringList editorApplicationsForDocument(const QString& documentPath) override
    {
        askedFor.append(documentPath);
        return applications;
    }
};

// A full set of fakes, with the given main bundle and Application Support folder.
struct FakeServices {
    std::shared_ptr<InjectingFileManager> fileManager = std::make_shared<InjectingFileManager>();
    std::shared_ptr<FakeRegistry> registry = std::make_shared<FakeRegistry>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<ScriptedAdministratorShell> shell = std::make_shared<ScriptedAdministratorShell>();
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>(alerts);
    QStringList supportFolders;
    Platform::RootOnlyRule rootOnlyRule;
    QString runLockPath;  // none: no lock taken

    Platform::Services services(const QString& mainBundlePath) const;
    // The same with one real service (a registry, a workspace or an administrator shell) in place
    // of its fake.
    template <class RealService>
    Platform::Services services(const QString& mainBundlePath, std::shared_ptr<RealService> real) const
    {
        Platform::Services withReal = services(mainBundlePath);
        if constexpr (std::is_base_of_v<Platform::ApplicationRegistry, RealService>)
            withReal.applicationRegistry = std::move(real);
        else if constexpr (std::is_base_of_v<Platform::Workspace, RealService>)
            withReal.workspace = std::move(real);
        else
            withReal.administratorShell = std::move(real);
        return withReal;
    }
};
