#pragma once

#include "InstallationUtility/ALAppDelegate.h"
#include "InstallationUtility/MainWindowNib.h"
#include "Platform/App/Format.h"
#include "Platform/Table/AttributedString.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Root's commands as the administrator's prompt shows them, with every hidden sibling's random
// suffix written XXXXXX: a staged copy into the destination's folder, and a removal that moves
// the item aside first.
inline QStringList withSiblingsMasked(QStringList commands)
{
    static const QRegularExpression suffix(QStringLiteral("\\.foldwise-[A-Za-z0-9]{6}'"));
    for (QString& command : commands)
        command.replace(suffix, QStringLiteral(".foldwise-XXXXXX'"));
    return commands;
}

inline QString rootCopyCommandText(const QString& realSource, const QString& realDestination)
{
    const QString staged = QStringLiteral("'%1/.%2.foldwise-XXXXXX'")
                               .arg(QFileInfo(realDestination).path(), QFileInfo(realDestination).fileName());
    return QStringLiteral("'mkdir' %1 && { 'cp' -R '%2/.' %1 && 'chmod' -R go-w %1 && 'mv' -n -T %1 '%3' && [ ! -e %1 ] "
                          "|| { 'rm' -R -f %1; exit 1; }; }")
        .arg(staged, realSource, realDestination);
}

inline QString rootRemovalCommandText(const QString& realPath)
{
    const QString aside =
        QStringLiteral("'%1/.%2.foldwise-XXXXXX'").arg(QFileInfo(realPath).path(), QFileInfo(realPath).fileName());
    return QStringLiteral("'mv' -n -T '%1' %2 && [ ! -e '%1' ] && 'rm' -R %2").arg(realPath, aside);
}

// A delegate over fakes, with our own bundle, an applications folder and an Application Support
// folder in a fresh temporary folder.
class DelegateTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    FakeServices fakes;
    QString mainBundle;
    QString apps;
    QString support;
    std::unique_ptr<ALAppDelegate> delegate;

    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        mainBundle = Fixtures::makeMainBundle(temp.filePath(QStringLiteral("Installer.app")));
        apps = temp.filePath(QStringLiteral("Applications"));
        support = temp.filePath(QStringLiteral("Application Support"));
        fakes.supportFolders = {support};
    }

    Platform::LoadedNib nib;

    // The delegate alone, without a window.
    ALAppDelegate& makeDelegate() { return delegateOver(fakes.services(mainBundle)); }
    // The same with one real service (a registry, a workspace or an administrator shell) in
    // place of its fake.
    template <class RealService>
    ALAppDelegate& makeDelegate(std::shared_ptr<RealService> real)
    {
        return delegateOver(fakes.services(mainBundle, std::move(real)));
    }

    // The delegate alone, its folder rule giving every Acrobat these plug-in folders: today's
    // rules give one, and this stands in for a rule with several.
    ALAppDelegate& makeDelegateWithPluginFolders(const QStringList& folders)
    {
        struct ListedFolders : ALAppDelegate {
            using ALAppDelegate::ALAppDelegate;
            QStringList folders;
            QStringList pluginsFoldersForAcrobatPath(const QString&, unsigned) const override { return folders; }
        };
        auto listed = std::make_unique<ListedFolders>(fakes.services(mainBundle));
        listed->folders = folders;
        delegate = std::move(listed);
        return *delegate;
    }

    // The real window description wired to a delegate over the fakes.
    ALAppDelegate& loadWindow() { return windowOver(fakes.services(mainBundle)); }
    // The same with one real service in place of its fake.
    template <class RealService>
    ALAppDelegate& loadWindow(std::shared_ptr<RealService> real)
    {
        return windowOver(fakes.services(mainBundle, std::move(real)));
    }

    // An Acrobat bundle under the applications folder, registered with the fake registry.
    QString addAcrobat(const QString& relativePath, const std::optional<QString>& version,
                       const std::optional<QString>& name = QStringLiteral("Adobe Acrobat Pro"),
                       const QString& identifier = QStringLiteral("com.adobe.Acrobat.Pro"))
    {
        const QString path = apps + QLatin1Char('/') + relativePath;
        Fixtures::makeAcrobat(path, version, name, identifier);
        fakes.registry->applications.append(path);
        return path;
    }

private:
    ALAppDelegate& delegateOver(Platform::Services services)
    {
        delegate = std::make_unique<ALAppDelegate>(std::move(services));
        return *delegate;
    }

    ALAppDelegate& windowOver(Platform::Services services)
    {
        nib = loadMainWindowNib(std::move(services));
        return *static_cast<ALAppDelegate*>(nib.delegate.get());
    }
};
