#pragma once

#include "InstallationUtility/ALAppDelegate.h"
#include "InstallationUtility/MainWindowNib.h"
#include "Platform/AttributedString.h"
#include "Platform/Format.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

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
    ALAppDelegate& makeDelegate()
    {
        delegate = std::make_unique<ALAppDelegate>(fakes.services(mainBundle));
        return *delegate;
    }

    // The real window description wired to a delegate over the fakes.
    ALAppDelegate& loadWindow()
    {
        nib = loadMainWindowNib(fakes.services(mainBundle));
        return *static_cast<ALAppDelegate*>(nib.delegate.get());
    }

    // The same, with a real administrator shell in place of the scripted one.
    ALAppDelegate& loadWindow(std::shared_ptr<Platform::AdministratorShell> shell)
    {
        Platform::Services services = fakes.services(mainBundle);
        services.administratorShell = std::move(shell);
        nib = loadMainWindowNib(services);
        return *static_cast<ALAppDelegate*>(nib.delegate.get());
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
};
