#include "Platform/Bundles/Bundle.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Platform::Bundle;

namespace {

class PlatformBundleTest : public ::testing::Test {
protected:
    void SetUp() override { m_path = m_folder.filePath("Tool.app"); }

    void writeFile(const QString& relativePath, const QByteArray& contents = "x")
    {
        Fixtures::writeFile(m_path + "/" + relativePath, contents);
    }

    QString resource(const QString& name) const { return m_path + "/Contents/Resources/" + name; }

    QTemporaryDir m_folder;
    QString m_path;
};

}  // namespace

TEST_F(PlatformBundleTest, BundleWithPathNeedsAFolder)
{
    writeFile("Contents/file.txt");
    ASSERT_TRUE(QFile::link(m_path, m_folder.filePath("Link.app")));

    ASSERT_TRUE(Bundle::bundleWithPath(m_path));
    EXPECT_EQ(Bundle::bundleWithPath(m_path)->resourcePath(), m_path + "/Contents/Resources");
    EXPECT_TRUE(Bundle::bundleWithPath(m_folder.filePath("Link.app")));
    EXPECT_FALSE(Bundle::bundleWithPath(m_path + "/Contents/file.txt"));
    EXPECT_FALSE(Bundle::bundleWithPath(m_folder.filePath("Missing.app")));
}

TEST_F(PlatformBundleTest, InformationDictionaryEntries)
{
    writeFile("Contents/Info.plist",
              "<plist><dict><key>CFBundleIdentifier</key><string>org.example.tool</string>"
              "<key>CFBundleVersion</key><integer>15</integer></dict></plist>");
    const Bundle bundle(m_path);
    EXPECT_EQ(bundle.bundleIdentifier(), QStringLiteral("org.example.tool"));
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion"), QVariant(qlonglong(15)));
    EXPECT_FALSE(bundle.stringForInfoDictionaryKey("CFBundleVersion"));
    EXPECT_FALSE(bundle.stringForInfoDictionaryKey("Absent"));

    writeFile("Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><array/></dict></plist>");
    EXPECT_FALSE(Bundle(m_path).bundleIdentifier());
    writeFile("Contents/Info.plist", "damaged");
    EXPECT_TRUE(Bundle(m_path).infoDictionary().isEmpty());
}

TEST_F(PlatformBundleTest, ResourceLookups)
{
    for (const char* name : {"License.rtf", "README", "en.lproj/Strings.txt", "Payload.app/x", "Icon.jpg", "Icon.png",
                             "Badge.svg", "Photo.tif"})
        writeFile(QStringLiteral("Contents/Resources/") + name);
    const Bundle bundle(m_path);

    EXPECT_EQ(bundle.pathForResource("License", "rtf"), resource("License.rtf"));
    EXPECT_EQ(bundle.pathForResource("README", QString()), resource("README"));
    EXPECT_EQ(bundle.pathForResource("en.lproj/Strings", "txt"), resource("en.lproj/Strings.txt"));
    EXPECT_EQ(bundle.pathForResource("Payload", "app"), resource("Payload.app"));
    EXPECT_FALSE(bundle.pathForResource("License", "pdf"));

    EXPECT_EQ(bundle.pathForImageResource("Icon"), resource("Icon.png"));
    EXPECT_EQ(bundle.pathForImageResource("Icon.jpg"), resource("Icon.jpg"));
    EXPECT_EQ(bundle.pathForImageResource("Badge"), resource("Badge.svg"));
    EXPECT_EQ(bundle.pathForImageResource("Photo"), resource("Photo.tif"));
    EXPECT_FALSE(bundle.pathForImageResource("Missing"));
}

TEST(PlatformMainBundleTest, IsTwoFoldersAboveTheExecutable)
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    EXPECT_EQ(Bundle::mainBundle().bundlePath(), QDir::cleanPath(QFileInfo(executable).path() + "/../.."));
}

TEST_F(PlatformBundleTest, ResourcesReachedThroughLinksOutOfTheBundleAreRefused)
{
    Fixtures::writeFile(m_folder.filePath("Elsewhere/Contents/Resources/README"), "x");
    ASSERT_TRUE(QDir().mkpath(m_folder.filePath("Contents.app")));
    ASSERT_TRUE(QFile::link(m_folder.filePath("Elsewhere/Contents"), m_folder.filePath("Contents.app/Contents")));
    ASSERT_TRUE(QDir().mkpath(m_folder.filePath("Resources.app/Contents")));
    ASSERT_TRUE(QFile::link(m_folder.filePath("Elsewhere/Contents/Resources"),
                            m_folder.filePath("Resources.app/Contents/Resources")));
    // The bundle's own path may go through a link.
    ASSERT_TRUE(QFile::link(m_folder.filePath("Elsewhere"), m_folder.filePath("Linked.app")));

    EXPECT_FALSE(Bundle(m_folder.filePath("Contents.app")).pathForResource("README", QString()));
    EXPECT_FALSE(Bundle(m_folder.filePath("Resources.app")).pathForResource("README", QString()));
    EXPECT_EQ(Bundle(m_folder.filePath("Linked.app")).pathForResource("README", QString()),
              m_folder.filePath("Linked.app/Contents/Resources/README"));
}
