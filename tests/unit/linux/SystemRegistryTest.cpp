#include "Platform/App/Services.h"
#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/Files/RunAsUser.h"
#include "Platform/Files/SearchPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

// On Linux the system registry is the folder scan, over the folders the environment names.
class SystemRegistryTest : public ::testing::Test {
protected:
    QString folder(const QString& name = "Applications") const { return m_root.filePath(name); }

    QTemporaryDir m_root;
};

TEST_F(SystemRegistryTest, SystemRegistryTakesFoldersFromTheEnvironment)
{
    const std::optional<QByteArray> saved = qEnvironmentVariableIsSet("FOLDWISE_APPLICATION_DIRS")
        ? std::optional(qgetenv("FOLDWISE_APPLICATION_DIRS"))
        : std::nullopt;
    auto foldersOfSystemRegistry = [] {
        const std::shared_ptr<Platform::ApplicationRegistry> registry =
            Platform::Services::system().applicationRegistry;
        return dynamic_cast<Platform::FolderScanRegistry&>(*registry).applicationFolders();
    };

    qputenv("FOLDWISE_APPLICATION_DIRS", (folder("Two") + "::" + folder("One") + ":").toLocal8Bit());
    EXPECT_EQ(foldersOfSystemRegistry(), (QStringList{folder("Two"), folder("One")}));
    qputenv("FOLDWISE_APPLICATION_DIRS", "");
    EXPECT_TRUE(foldersOfSystemRegistry().isEmpty());
    qunsetenv("FOLDWISE_APPLICATION_DIRS");
    EXPECT_EQ(foldersOfSystemRegistry(), (QStringList{"/Applications", QDir::homePath() + "/Applications"}));

    if (saved)
        qputenv("FOLDWISE_APPLICATION_DIRS", *saved);
}

TEST_F(SystemRegistryTest, FoldersNamedByBytesThatAreNotUtf8AreNeverUsed)
{
    // Read as text, such a name becomes a look-alike that names some other folder.
    const char* variables[] = {"FOLDWISE_APPLICATION_DIRS", "HOME", "XDG_DATA_HOME"};
    std::vector<std::optional<QByteArray>> saved;
    for (const char* variable : variables)
        saved.push_back(qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable)) : std::nullopt);
    auto foldersOfSystemRegistry = [] {
        const std::shared_ptr<Platform::ApplicationRegistry> registry =
            Platform::Services::system().applicationRegistry;
        return dynamic_cast<Platform::FolderScanRegistry&>(*registry).applicationFolders();
    };

    qputenv("FOLDWISE_APPLICATION_DIRS",
            QFile::encodeName(folder("Good")) + ":" + QFile::encodeName(folder()) + "/\xff");
    EXPECT_EQ(foldersOfSystemRegistry(), QStringList{folder("Good")});
    qunsetenv("FOLDWISE_APPLICATION_DIRS");
    qputenv("HOME", QFile::encodeName(folder()) + "/\xc3\x28");
    EXPECT_EQ(foldersOfSystemRegistry(), QStringList{"/Applications"});
    EXPECT_TRUE(Platform::applicationSupportDirectories().isEmpty());
    qputenv("HOME", QFile::encodeName(folder()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder()) + "/\xff");
    EXPECT_TRUE(Platform::applicationSupportDirectories().isEmpty());
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder("Data")));
    EXPECT_EQ(Platform::applicationSupportDirectories(), QStringList{folder("Data")});

    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i])
            qputenv(variables[i], *saved[i]);
        else
            qunsetenv(variables[i]);
    }
}

TEST_F(SystemRegistryTest, RootsFoldersComeFromItsOwnHomeNeverFromTheCallersEnvironment)
{
    // As after `sudo -E`: a user's HOME and XDG_DATA_HOME must not choose where root acts.
    const char* variables[] = {"FOLDWISE_APPLICATION_DIRS", "HOME", "XDG_DATA_HOME"};
    std::vector<std::optional<QByteArray>> saved;
    for (const char* variable : variables)
        saved.push_back(qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable)) : std::nullopt);
    qunsetenv("FOLDWISE_APPLICATION_DIRS");
    qputenv("HOME", QFile::encodeName(folder("home")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder("data")));

    const std::optional<Platform::UserAccount> root = Platform::userAccountOf(0);
    ASSERT_TRUE(root);
    const std::optional<Platform::Services> services = Platform::Services::systemForRoot();
    ASSERT_TRUE(services);
    EXPECT_EQ(dynamic_cast<Platform::FolderScanRegistry&>(*services->applicationRegistry).applicationFolders(),
              (QStringList{"/Applications", root->home + "/Applications"}));
    EXPECT_EQ(services->applicationSupportDirectories(),
              QStringList{Platform::applicationSupportDirectoryInHome(root->home)});

    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i])
            qputenv(variables[i], *saved[i]);
        else
            qunsetenv(variables[i]);
    }
}
