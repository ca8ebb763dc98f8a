#include "Platform/Bundles/FolderScanRegistry.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using Platform::FolderScanRegistry;

namespace {

// A bundle whose Info.plist has one document type: the role, then a key and its strings.
void makeBundle(const QString& path, const QByteArray& role = "Editor",
                const QByteArray& key = "CFBundleTypeExtensions", const QByteArray& value = "pdf")
{
    ASSERT_TRUE(QDir().mkpath(path + "/Contents"));
    QFile info(path + "/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("<plist><dict><key>CFBundleDocumentTypes</key><array><dict><key>CFBundleTypeRole</key><string>" + role
               + "</string><key>" + key + "</key><array><string>" + value + "</string></array></dict></array>"
               + "</dict></plist>");
}

class PlatformRegistryTest : public ::testing::Test {
protected:
    QString folder(const QString& name = "Applications") const { return m_root.filePath(name); }

    QStringList editors(const QStringList& folders, const QString& document = "Manual.pdf")
    {
        return FolderScanRegistry(folders).editorApplicationsForDocument(m_root.filePath(document));
    }

    QTemporaryDir m_root;
};

// The cases that need root to give bundles to a plain user; CTest labels them root.
class PlatformRegistryAsRoot : public PlatformRegistryTest {};

}  // namespace

TEST_F(PlatformRegistryTest, FindsBundlesInNestedFoldersButNeverInsideBundles)
{
    makeBundle(folder() + "/Top.app");
    makeBundle(folder() + "/Utilities/Office/Nested.app");
    makeBundle(folder() + "/Outer.app", "Editor", "CFBundleTypeExtensions", "txt");
    makeBundle(folder() + "/Outer.app/Contents/Helpers/Inner.app");
    ASSERT_TRUE(QDir().mkpath(folder() + "/NoInfo.app"));
    makeBundle(folder() + "/NoInfo.app/Hidden.app");
    EXPECT_EQ(editors({folder()}), (QStringList{folder() + "/Top.app", folder() + "/Utilities/Office/Nested.app"}));
}

TEST_F(PlatformRegistryTest, MatchesEditorsByExtensionTypeIdentifierOrMimeType)
{
    makeBundle(folder() + "/A.app", "Editor", "CFBundleTypeExtensions", "PDF");
    makeBundle(folder() + "/B.app", "Editor", "LSItemContentTypes", "com.adobe.pdf");
    makeBundle(folder() + "/C.app", "Editor", "CFBundleTypeMIMETypes", "application/pdf");
    makeBundle(folder() + "/D.app", "Editor", "LSItemContentTypes", "public.data");
    makeBundle(folder() + "/E.app", "Editor", "CFBundleTypeExtensions", "txt");
    makeBundle(folder() + "/F.app", "Viewer", "CFBundleTypeExtensions", "pdf");
    makeBundle(folder() + "/G.app", "Editor", "CFBundleTypeMIMETypes", "image/png");
    makeBundle(folder() + "/H.app", "Editor", "CFBundleTypeMIMETypes", "text/plain");
    const QStringList expected = {folder() + "/A.app", folder() + "/B.app", folder() + "/C.app"};
    EXPECT_EQ(editors({folder()}), expected);
    EXPECT_EQ(editors({folder()}, "SHOUT.Pdf"), expected);
    EXPECT_EQ(editors({folder()}, "Picture.png"), QStringList{folder() + "/G.app"});
    EXPECT_EQ(editors({folder()}, "notes.txt"), (QStringList{folder() + "/E.app", folder() + "/H.app"}));
    EXPECT_TRUE(editors({folder()}, "notes").isEmpty());
}

TEST_F(PlatformRegistryTest, OrdersByFolderThenByteOrderAndDropsDuplicates)
{
    for (const char* name : {"/b.app", "/a.app", "/Z.app"})
        makeBundle(folder("First") + name);
    makeBundle(folder("Second") + "/0.app");
    EXPECT_EQ(editors({folder("Second"), folder("First") + "/", folder("Second"), folder("Missing")}),
              (QStringList{folder("Second") + "/0.app", folder("First") + "/Z.app", folder("First") + "/a.app",
                           folder("First") + "/b.app"}));
}

TEST_F(PlatformRegistryTest, DoesNotFollowLinks)
{
    makeBundle(folder("Elsewhere") + "/Linked.app");
    ASSERT_TRUE(QDir().mkpath(folder()));
    ASSERT_TRUE(QFile::link(folder("Elsewhere"), folder() + "/Shortcut"));
    ASSERT_TRUE(QFile::link(folder("Elsewhere") + "/Linked.app", folder() + "/Alias.app"));
    ASSERT_TRUE(QFile::link(folder(), folder() + "/Loop"));
    EXPECT_TRUE(editors({folder()}).isEmpty());
}

TEST_F(PlatformRegistryTest, TellsWhichBundlesItCouldNotReadAndWhy)
{
    makeBundle(folder() + "/Readable.app");
    ASSERT_TRUE(QDir().mkpath(folder() + "/Empty.app/Contents"));
    makeBundle(folder() + "/Broken.app");
    QFile broken(folder() + "/Broken.app/Contents/Info.plist");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("<plist><dict><key>");
    broken.close();
    ASSERT_TRUE(QDir().mkpath(folder() + "/Odd.app/Contents/Info.plist"));

    FolderScanRegistry registry({folder()});
    EXPECT_EQ(registry.editorApplicationsForDocument(m_root.filePath("Manual.pdf")),
              QStringList{folder() + "/Readable.app"});
    QStringList told;
    for (const Platform::UnreadableApplication& met : registry.unreadableApplications())
        told.append(met.path.mid(folder().size() + 1) + ": " + met.reason);
    EXPECT_EQ(told,
              (QStringList{"Broken.app: its Contents/Info.plist is no property list the installer can read "
                           "(damaged, larger than 1 MiB, or not a dictionary)",
                           "Empty.app: it has no Contents/Info.plist",
                           "Odd.app: its Contents/Info.plist is not a regular file"}));

    QDir(folder() + "/Empty.app").removeRecursively();
    QDir(folder() + "/Broken.app").removeRecursively();
    QDir(folder() + "/Odd.app").removeRecursively();
    registry.editorApplicationsForDocument(m_root.filePath("Manual.pdf"));
    EXPECT_TRUE(registry.unreadableApplications().isEmpty()) << "each look-up tells its own";
}

TEST_F(PlatformRegistryAsRoot, RootReadsNoInfoPlistThroughWhatAUserPlacedAndSaysSo)
{
    FOLDWISE_REQUIRE_ROOT("to give bundles to a plain user");
    // An editor's Info.plist that root alone may read, and root's own link to it beside.
    makeBundle(folder("Root only") + "/Hidden.app");
    const QString hidden = folder("Root only") + "/Hidden.app/Contents";
    ASSERT_EQ(::chmod(QFile::encodeName(hidden + "/Info.plist").constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(folder() + "/Rooted.app/Contents"));
    ASSERT_TRUE(QFile::link(hidden + "/Info.plist", folder() + "/Rooted.app/Contents/Info.plist"));
    // A plain user's bundles that lead to it: by a link to the file, by a link to a folder above
    // it, and by a second name for the file itself.
    const QString users = folder("Users");
    ASSERT_TRUE(QDir().mkpath(users + "/Linked.app/Contents"));
    ASSERT_TRUE(QFile::link(hidden + "/Info.plist", users + "/Linked.app/Contents/Info.plist"));
    ASSERT_TRUE(QDir().mkpath(users + "/LinkedContents.app"));
    ASSERT_TRUE(QFile::link(hidden, users + "/LinkedContents.app/Contents"));
    ASSERT_TRUE(QDir().mkpath(users + "/HardLinked.app/Contents"));
    ASSERT_EQ(::link(QFile::encodeName(hidden + "/Info.plist").constData(),
                     QFile::encodeName(users + "/HardLinked.app/Contents/Info.plist").constData()),
              0);
    makeBundle(users + "/Own.app");
    Fixtures::chownTree(users, Fixtures::kPlainUser);
    // The second name is the same file, which stays root's.
    ASSERT_EQ(::chown(QFile::encodeName(hidden + "/Info.plist").constData(), 0, 0), 0);

    FolderScanRegistry registry({folder(), users});
    EXPECT_EQ(registry.editorApplicationsForDocument(m_root.filePath("Manual.pdf")).join("\n"),
              QStringList({folder() + "/Rooted.app", users + "/Own.app"}).join("\n"));
    QStringList told;
    for (const Platform::UnreadableApplication& met : registry.unreadableApplications())
        told.append(met.path.mid(users.size() + 1) + ": " + met.reason);
    EXPECT_EQ(told.join("\n"),
              QStringList({"HardLinked.app: its Contents/Info.plist is a hard link to a file that the owner of "
                           "its folder does not own",
                           "Linked.app: its Contents/Info.plist lies behind a link that someone other than "
                           "root can change",
                           "LinkedContents.app: its Contents/Info.plist lies behind a link that someone other "
                           "than root can change"})
                  .join("\n"));
}
