#include "ApplicationRegistry_linux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>

using Platform::FolderScanRegistry;

namespace {

// One CFBundleDocumentTypes entry, written straight into the Info.plist.
struct DocumentType {
    QByteArray role = "Editor";
    QByteArray key = "CFBundleTypeExtensions";
    QByteArrayList values;
};

void makeBundle(const QString& path, const QList<DocumentType>& types)
{
    ASSERT_TRUE(QDir().mkpath(path + "/Contents"));
    QByteArray entries;
    for (const DocumentType& type : types) {
        entries += "<dict><key>CFBundleTypeRole</key><string>" + type.role + "</string><key>" + type.key
            + "</key><array>";
        for (const QByteArray& value : type.values)
            entries += "<string>" + value + "</string>";
        entries += "</array></dict>";
    }
    QFile info(path + "/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleDocumentTypes</key><array>"
               + entries + "</array></dict></plist>\n");
}

void makePdfEditor(const QString& path)
{
    makeBundle(path, {DocumentType{"Editor", "CFBundleTypeExtensions", {"pdf"}}});
}

class RegistryTest : public ::testing::Test {
protected:
    QString folder(const QString& name = "Applications") const { return m_root.filePath(name); }

    QStringList editorsOfPdf(const QStringList& folders)
    {
        return FolderScanRegistry(folders).editorApplicationsForDocument(m_root.filePath("Manual.pdf"));
    }

    QTemporaryDir m_root;
};

// Restores an environment variable when the test ends.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const char* name)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_value(qgetenv(name))
    {
    }
    ~ScopedEnvironment()
    {
        if (m_wasSet)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_value;
};

}  // namespace

TEST_F(RegistryTest, FindsBundlesInNestedFolders)
{
    makePdfEditor(folder() + "/Top.app");
    makePdfEditor(folder() + "/Utilities/Office/Nested.app");
    EXPECT_EQ(editorsOfPdf({folder()}),
              (QStringList{folder() + "/Top.app", folder() + "/Utilities/Office/Nested.app"}));
}

TEST_F(RegistryTest, NeverLooksInsideBundles)
{
    makeBundle(folder() + "/Outer.app", {});
    makePdfEditor(folder() + "/Outer.app/Contents/Helpers/Inner.app");
    ASSERT_TRUE(QDir().mkpath(folder() + "/NoInfo.app"));
    makePdfEditor(folder() + "/NoInfo.app/Hidden.app");
    EXPECT_TRUE(editorsOfPdf({folder()}).isEmpty());
}

TEST_F(RegistryTest, OnlyTheEditorRoleCounts)
{
    makeBundle(folder() + "/Viewer.app", {DocumentType{"Viewer", "CFBundleTypeExtensions", {"pdf"}}});
    makeBundle(folder() + "/Both.app", {DocumentType{"Viewer", "CFBundleTypeExtensions", {"pdf"}},
                                        DocumentType{"Editor", "CFBundleTypeExtensions", {"txt", "pdf"}}});
    EXPECT_EQ(editorsOfPdf({folder()}), QStringList{folder() + "/Both.app"});
}

TEST_F(RegistryTest, MatchesExtensionTypeIdentifierOrMimeType)
{
    makeBundle(folder() + "/A-Upper.app", {DocumentType{"Editor", "CFBundleTypeExtensions", {"PDF"}}});
    makeBundle(folder() + "/B-Identifier.app", {DocumentType{"Editor", "LSItemContentTypes", {"com.adobe.pdf"}}});
    makeBundle(folder() + "/C-Mime.app", {DocumentType{"Editor", "CFBundleTypeMIMETypes", {"application/pdf"}}});
    makeBundle(folder() + "/D-Data.app", {DocumentType{"Editor", "LSItemContentTypes", {"public.data"}}});
    makeBundle(folder() + "/E-Text.app", {DocumentType{"Editor", "CFBundleTypeExtensions", {"txt"}}});
    const QStringList expected = {folder() + "/A-Upper.app", folder() + "/B-Identifier.app",
                                  folder() + "/C-Mime.app"};

    EXPECT_EQ(editorsOfPdf({folder()}), expected);
    EXPECT_EQ(FolderScanRegistry({folder()}).editorApplicationsForDocument(m_root.filePath("SHOUT.Pdf")), expected);
    EXPECT_TRUE(FolderScanRegistry({folder()}).editorApplicationsForDocument(m_root.filePath("notes")).isEmpty());
}

TEST_F(RegistryTest, OrdersByFolderThenByteOrderAndDropsDuplicates)
{
    makePdfEditor(folder("First") + "/b.app");
    makePdfEditor(folder("First") + "/a.app");
    makePdfEditor(folder("First") + "/Z.app");
    makePdfEditor(folder("Second") + "/0.app");

    EXPECT_EQ(editorsOfPdf({folder("Second"), folder("First") + "/", folder("Second"), folder("Missing")}),
              (QStringList{folder("Second") + "/0.app", folder("First") + "/Z.app", folder("First") + "/a.app",
                           folder("First") + "/b.app"}));
}

TEST_F(RegistryTest, DoesNotFollowLinks)
{
    makePdfEditor(folder("Elsewhere") + "/Linked.app");
    ASSERT_TRUE(QDir().mkpath(folder()));
    ASSERT_TRUE(QFile::link(folder("Elsewhere"), folder() + "/Shortcut"));
    ASSERT_TRUE(QFile::link(folder("Elsewhere") + "/Linked.app", folder() + "/Alias.app"));
    ASSERT_TRUE(QFile::link(folder(), folder() + "/Loop"));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(editorsOfPdf({folder()}).isEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(RegistryTest, SystemRegistryTakesFoldersFromTheEnvironment)
{
    ScopedEnvironment restore("FOLDWISE_APPLICATION_DIRS");
    makePdfEditor(folder("One") + "/One.app");
    makePdfEditor(folder("Two") + "/Two.app");
    const QString document = m_root.filePath("Manual.pdf");

    qputenv("FOLDWISE_APPLICATION_DIRS", (folder("Two") + "::" + folder("One") + ":").toLocal8Bit());
    EXPECT_EQ(Platform::makeSystemApplicationRegistry()->editorApplicationsForDocument(document),
              (QStringList{folder("Two") + "/Two.app", folder("One") + "/One.app"}));

    qputenv("FOLDWISE_APPLICATION_DIRS", "");
    const std::shared_ptr<Platform::ApplicationRegistry> none = Platform::makeSystemApplicationRegistry();
    auto* empty = dynamic_cast<FolderScanRegistry*>(none.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->applicationFolders().isEmpty());

    qunsetenv("FOLDWISE_APPLICATION_DIRS");
    const std::shared_ptr<Platform::ApplicationRegistry> standard = Platform::makeSystemApplicationRegistry();
    auto* defaults = dynamic_cast<FolderScanRegistry*>(standard.get());
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->applicationFolders(), (QStringList{"/Applications", QDir::homePath() + "/Applications"}));
}
