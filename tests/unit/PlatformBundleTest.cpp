#include "Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Platform::Bundle;

namespace {

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_folder.filePath("Tool.app");
        ASSERT_TRUE(QDir().mkpath(m_path + "/Contents/Resources"));
    }

    void writeFile(const QString& relativePath, const QByteArray& contents = "x")
    {
        const QString path = m_path + "/" + relativePath;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    void writeInfo(const QByteArray& dictBody)
    {
        writeFile("Contents/Info.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + dictBody
                      + "</dict></plist>\n");
    }

    QString resource(const QString& name) const { return m_path + "/Contents/Resources/" + name; }

    QTemporaryDir m_folder;
    QString m_path;
};

}  // namespace

TEST_F(BundleTest, BundleWithPathNeedsAFolder)
{
    writeFile("Contents/file.txt");
    ASSERT_TRUE(QFile::link(m_path, m_folder.filePath("Link.app")));

    const std::optional<Bundle> bundle = Bundle::bundleWithPath(m_path);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->bundlePath(), m_path);
    EXPECT_EQ(bundle->resourcePath(), m_path + "/Contents/Resources");
    EXPECT_TRUE(Bundle::bundleWithPath(m_folder.filePath("Link.app")));
    EXPECT_FALSE(Bundle::bundleWithPath(m_path + "/Contents/file.txt"));
    EXPECT_FALSE(Bundle::bundleWithPath(m_folder.filePath("Missing.app")));
    EXPECT_FALSE(Bundle::bundleWithPath(QString()));
}

TEST_F(BundleTest, InformationDictionaryEntries)
{
    writeInfo("<key>CFBundleIdentifier</key><string>org.example.tool</string>"
              "<key>CFBundleVersion</key><integer>15</integer>");
    const Bundle bundle(m_path);

    EXPECT_EQ(bundle.bundleIdentifier(), QStringLiteral("org.example.tool"));
    EXPECT_EQ(bundle.infoDictionary().size(), 2);
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion"), QVariant(qlonglong(15)));
    EXPECT_FALSE(bundle.stringForInfoDictionaryKey("CFBundleVersion"));
    EXPECT_FALSE(bundle.stringForInfoDictionaryKey("Absent"));
    EXPECT_FALSE(bundle.objectForInfoDictionaryKey("Absent").isValid());
}

TEST_F(BundleTest, IdentifierThatIsNotAStringIsAbsent)
{
    writeInfo("<key>CFBundleIdentifier</key><array/>");
    EXPECT_FALSE(Bundle(m_path).bundleIdentifier());
}

TEST_F(BundleTest, UnreadableInformationIsEmpty)
{
    EXPECT_TRUE(Bundle(m_path).infoDictionary().isEmpty());
    EXPECT_FALSE(Bundle(m_path).bundleIdentifier());
    writeFile("Contents/Info.plist", "not a property list");
    EXPECT_TRUE(Bundle(m_path).infoDictionary().isEmpty());
}

TEST_F(BundleTest, ResourceLookups)
{
    writeFile("Contents/Resources/License.rtf");
    writeFile("Contents/Resources/README");
    writeFile("Contents/Resources/en.lproj/Strings.txt");
    ASSERT_TRUE(QDir().mkpath(resource("Payload.app")));
    const Bundle bundle(m_path);

    EXPECT_EQ(bundle.pathForResource("License", "rtf"), resource("License.rtf"));
    EXPECT_EQ(bundle.pathForResource("README", QString()), resource("README"));
    EXPECT_EQ(bundle.pathForResource("en.lproj/Strings", "txt"), resource("en.lproj/Strings.txt"));
    EXPECT_EQ(bundle.pathForResource("Payload", "app"), resource("Payload.app"));
    EXPECT_FALSE(bundle.pathForResource("License", "pdf"));
    EXPECT_FALSE(bundle.pathForResource("Missing", QString()));
}

TEST_F(BundleTest, ImageResourcesPreferEarlierExtensions)
{
    writeFile("Contents/Resources/Icon.jpg");
    writeFile("Contents/Resources/Icon.png");
    writeFile("Contents/Resources/Badge.svg");
    writeFile("Contents/Resources/Photo.tif");
    const Bundle bundle(m_path);

    EXPECT_EQ(bundle.pathForImageResource("Icon"), resource("Icon.png"));
    EXPECT_EQ(bundle.pathForImageResource("Badge"), resource("Badge.svg"));
    EXPECT_EQ(bundle.pathForImageResource("Icon.jpg"), resource("Icon.jpg"));
    EXPECT_EQ(bundle.pathForImageResource("Photo"), resource("Photo.tif"));
    EXPECT_FALSE(bundle.pathForImageResource("Missing"));
}

TEST(MainBundleTest, IsTwoFoldersAboveTheExecutable)
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    EXPECT_EQ(Bundle::mainBundle().bundlePath(), QDir::cleanPath(QFileInfo(executable).path() + "/../.."));
}
