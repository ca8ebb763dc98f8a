#include "tests/support/DelegateHarness.h"

#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/Files/FileTimes.h"
#include "Platform/Table/AttributedString.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>

#include <fcntl.h>
#include <sys/stat.h>

using Platform::AttributedString;

namespace {

QString captionOf(const QVariantMap& record)
{
    return record.value(ALKey::ButtonCaption).value<AttributedString>().string;
}

}  // namespace

class DiscoveryTest : public DelegateTest {};

TEST_F(DiscoveryTest, ListsAcrobatsInRegistryOrderWithTheirSupportFolderPluginPaths)
{
    addAcrobat(QStringLiteral("Acrobat 2017/Acrobat.app"), QStringLiteral("17.012"));
    addAcrobat(QStringLiteral("Acrobat 2015/Acrobat.app"), QStringLiteral("15.006"));
    Fixtures::makePluginCopy(support + QStringLiteral("/Adobe/Acrobat/2015/Plug-Ins/Foldwise.acroplugin"),
                             QStringLiteral("2.4"));
    ALAppDelegate& d = makeDelegate();
    d.searchForAcrobat();

    ASSERT_EQ(d.acrobatInstances().size(), 2);
    const QVariantMap first = d.acrobatInstances().at(0);
    const QVariantMap second = d.acrobatInstances().at(1);
    EXPECT_EQ(first.value(ALKey::Title).toString(), QStringLiteral("Adobe Acrobat Pro 17.012"));
    EXPECT_EQ(first.value(ALKey::Path).toString(), apps + QStringLiteral("/Acrobat 2017/Acrobat.app"));
    EXPECT_EQ(first.value(ALKey::Version).toString(), QStringLiteral("17.012"));
    EXPECT_FALSE(first.contains(ALKey::FW));
    EXPECT_EQ(captionOf(first), QStringLiteral("Install"));

    const QVariantList copies = second.value(ALKey::FW).toList();
    ASSERT_EQ(copies.size(), 1);
    const QVariantMap copy = copies.first().toMap();
    EXPECT_EQ(copy.value(ALKey::Path).toString(),
              support + QStringLiteral("/Adobe/Acrobat/2015/Plug-Ins/Foldwise.acroplugin"));
    EXPECT_EQ(copy.value(ALKey::Title).toString(), QStringLiteral("Foldwise 2.4"));
    EXPECT_EQ(copy.value(ALKey::Version).toString(), QStringLiteral("2.4"));
    EXPECT_EQ(captionOf(second), QStringLiteral("Uninstall (2.4)"));

    const auto caption = second.value(ALKey::ButtonCaption).value<AttributedString>();
    EXPECT_EQ(caption.foregroundColor, QColor(Qt::white));
    EXPECT_EQ(caption.alignment, Qt::AlignHCenter);
    EXPECT_EQ(fakes.registry->askedFor, QStringList{mainBundle + QStringLiteral("/Contents/Resources/Marker.pdf")});
}

TEST_F(DiscoveryTest, AnInfoPlistRewrittenBetweenDiscoveriesIsReadAnew)
{
    const QString info = Fixtures::makeAcrobat(apps + QStringLiteral("/Acrobat.app"), QStringLiteral("17.0"))
        + QStringLiteral("/Contents/Info.plist");
    const QByteArray encoded = QFile::encodeName(info);
    struct stat before;
    ASSERT_EQ(::stat(encoded.constData(), &before), 0);
    makeDelegate(std::make_shared<Platform::FolderScanRegistry>(QStringList{apps}));
    auto version = [this] {
        return delegate->acrobatInstances().size() == 1
            ? delegate->acrobatInstances().first().value(ALKey::Version).toString()
            : QStringLiteral("none");
    };
    delegate->searchForAcrobat();
    EXPECT_EQ(version(), QStringLiteral("17.0"));

    // In place, the same size, the modification time put back: only reading it again shows it.
    Fixtures::writeFile(info, Fixtures::readFile(info).replace("17.0", "18.0"));
    const timespec times[2] = {Platform::accessTime(before), Platform::modificationTime(before)};
    ASSERT_EQ(::utimensat(AT_FDCWD, encoded.constData(), times, 0), 0);
    delegate->searchForAcrobat();
    EXPECT_EQ(version(), QStringLiteral("18.0"));
}

TEST_F(DiscoveryTest, AcceptsOnlyTheExactBundleIdentifier)
{
    addAcrobat(QStringLiteral("Upper.app"), QStringLiteral("15"), QStringLiteral("A"),
               QStringLiteral("com.adobe.acrobat.pro"));
    addAcrobat(QStringLiteral("Reader.app"), QStringLiteral("15"), QStringLiteral("R"),
               QStringLiteral("com.adobe.Reader"));
    fakes.registry->applications.append(apps + QStringLiteral("/Missing.app"));
    const QString plain = apps + QStringLiteral("/NoInfo.app");
    QDir().mkpath(plain);
    fakes.registry->applications.append(plain);
    addAcrobat(QStringLiteral("Pro.app"), QStringLiteral("15"));

    ALAppDelegate& d = makeDelegate();
    d.searchForAcrobat();
    ASSERT_EQ(d.acrobatInstances().size(), 1);
    EXPECT_EQ(d.acrobatInstances().first().value(ALKey::Path).toString(), apps + QStringLiteral("/Pro.app"));
}

TEST_F(DiscoveryTest, MissingNameOrVersionIsWrittenNullAndFallsBackToTheBundleFolder)
{
    const QString path = addAcrobat(QStringLiteral("Odd.app"), std::nullopt, std::nullopt);
    Fixtures::makePluginCopy(path + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"), QStringLiteral("2.5"));
    ALAppDelegate& d = makeDelegate();
    d.searchForAcrobat();

    ASSERT_EQ(d.acrobatInstances().size(), 1);
    const QVariantMap record = d.acrobatInstances().first();
    EXPECT_EQ(record.value(ALKey::Title).toString(), QStringLiteral("(null) (null)"));
    EXPECT_FALSE(record.contains(ALKey::Version));
    EXPECT_FALSE(record.contains(ALKey::Icon));
    EXPECT_EQ(captionOf(record), QStringLiteral("Uninstall (2.5)"));
}

TEST_F(DiscoveryTest, UnreadableOrPlainFileCopiesStillCountAsInstalled)
{
    const QString eleven = addAcrobat(QStringLiteral("Acrobat 11/Acrobat.app"), QStringLiteral("11.0.23"));
    const QString ten = addAcrobat(QStringLiteral("Acrobat 10/Acrobat.app"), QStringLiteral("10.1"));
    const QString garbled = eleven + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin");
    Fixtures::writeFile(garbled + QStringLiteral("/Contents/Resources/Foldwise.app/Contents/Info.plist"),
                        "<plist><dict><key>broken");
    Fixtures::writeFile(ten + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"), "not a bundle");

    ALAppDelegate& d = makeDelegate();
    d.searchForAcrobat();
    ASSERT_EQ(d.acrobatInstances().size(), 2);
    for (const QVariantMap& record : d.acrobatInstances()) {
        const QVariantList copies = record.value(ALKey::FW).toList();
        ASSERT_EQ(copies.size(), 1) << record.value(ALKey::Path).toString().toStdString();
        EXPECT_EQ(copies.first().toMap().value(ALKey::Title).toString(), QStringLiteral("(null) (null)"));
        EXPECT_FALSE(copies.first().toMap().contains(ALKey::Version));
        EXPECT_EQ(captionOf(record), QStringLiteral("Uninstall ((null))"));
    }
}

TEST_F(DiscoveryTest, TwoInstallationsSharingAFolderBothReportTheCopy)
{
    addAcrobat(QStringLiteral("Adobe Acrobat DC/Acrobat.app"), QStringLiteral("15.006"));
    addAcrobat(QStringLiteral("Adobe Acrobat DC 2/Acrobat.app"), QStringLiteral("19.0"));
    Fixtures::makePluginCopy(support + QStringLiteral("/Adobe/Acrobat/DC/Plug-Ins/Foldwise.acroplugin"),
                             QStringLiteral("2.5"));
    ALAppDelegate& d = makeDelegate();
    d.searchForAcrobat();
    ASSERT_EQ(d.acrobatInstances().size(), 2);
    EXPECT_EQ(captionOf(d.acrobatInstances().at(0)), QStringLiteral("Uninstall (2.5)"));
    EXPECT_EQ(captionOf(d.acrobatInstances().at(1)), QStringLiteral("Uninstall (2.5)"));
    EXPECT_EQ(d.startingSnapshot()->size(), 2);
}

TEST_F(DiscoveryTest, SeveralCopiesAreListedInFolderOrderAndTheCaptionShowsTheLast)
{
    addAcrobat(QStringLiteral("Acrobat.app"), QStringLiteral("17.0"));
    const QStringList folders{temp.filePath(QStringLiteral("one")), temp.filePath(QStringLiteral("none")),
                              temp.filePath(QStringLiteral("two"))};
    ALAppDelegate& d = makeDelegateWithPluginFolders(folders);
    Fixtures::makePluginCopy(folders[0] + QStringLiteral("/Foldwise.acroplugin"), QStringLiteral("2.5"));
    Fixtures::makePluginCopy(folders[2] + QStringLiteral("/Foldwise.acroplugin"), QStringLiteral("2.4"));
    d.searchForAcrobat();

    ASSERT_EQ(d.acrobatInstances().size(), 1);
    const QVariantList copies = d.acrobatInstances().first().value(ALKey::FW).toList();
    ASSERT_EQ(copies.size(), 2);
    EXPECT_EQ(copies[0].toMap().value(ALKey::Path).toString(), folders[0] + QStringLiteral("/Foldwise.acroplugin"));
    EXPECT_EQ(copies[1].toMap().value(ALKey::Path).toString(), folders[2] + QStringLiteral("/Foldwise.acroplugin"));
    EXPECT_EQ(captionOf(d.acrobatInstances().first()), QStringLiteral("Uninstall (2.4)")) << "the last, not the newest";
}

TEST_F(DiscoveryTest, IconIsLoadedFromTheBundlesIconFileAtRowSize)
{
    const auto encoded = [](QSize size, const char* format) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format)) << format;
        return buffer.data();
    };
    const struct {
        const char* name;
        QByteArray content;
        QSize loaded;  // invalid: no icon
    } cases[] = {
        {"AppIcon.png", encoded({8, 8}, "png"), {8, 8}},
        // Decoded, then held at the size a row shows, not at 64 MB.
        {"AppIcon.png", encoded({4096, 4096}, "png"), {128, 128}},
        {"AppIcon.png", encoded({4097, 4096}, "png"), {}},
        {"AppIcon.icns", encoded({256, 256}, "icns"), {128, 128}},
        // Only PNG and ICNS, whatever the name says.
        {"AppIcon.png", encoded({8, 8}, "bmp"), {}},
        {"AppIcon.icns", encoded({8, 8}, "xpm"), {}},
    };
    const QString path = addAcrobat(QStringLiteral("Icon.app"), QStringLiteral("15"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + std::to_string(c.content.size()));
        QVariantMap info = Fixtures::acrobatInfo(QStringLiteral("Adobe Acrobat Pro"), QStringLiteral("15"));
        info.insert(QStringLiteral("CFBundleIconFile"), QLatin1String(c.name));
        Fixtures::makeBundle(path, info);
        Fixtures::writeFile(path + QStringLiteral("/Contents/Resources/") + QLatin1String(c.name), c.content);

        ALAppDelegate& d = makeDelegate();
        d.searchForAcrobat();
        ASSERT_EQ(d.acrobatInstances().size(), 1);
        const QVariantMap& record = d.acrobatInstances().first();
        EXPECT_EQ(record.contains(ALKey::Icon), c.loaded.isValid());
        if (c.loaded.isValid()) {
            EXPECT_EQ(record.value(ALKey::Icon).value<QImage>().size(), c.loaded);
        }
        d.setDecodesIcons(false);
        d.searchForAcrobat();
        EXPECT_FALSE(d.acrobatInstances().first().contains(ALKey::Icon)) << "the command line's discovery";
    }
}

TEST_F(DiscoveryTest, SnapshotIsTakenOnceAndTheListObjectStays)
{
    const QString path = addAcrobat(QStringLiteral("Acrobat 11/Acrobat.app"), QStringLiteral("11.0"));
    ALAppDelegate& d = makeDelegate();
    const QList<QVariantMap>* list = &d.acrobatInstances();
    QSignalSpy didChange(&d, &ALAppDelegate::acrobatInstancesDidChange);
    EXPECT_FALSE(d.startingSnapshot().has_value());

    d.searchForAcrobat();
    ASSERT_TRUE(d.startingSnapshot().has_value());
    EXPECT_TRUE(d.startingSnapshot()->isEmpty());

    Fixtures::makePluginCopy(path + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"), QStringLiteral("2.5"));
    d.searchForAcrobat();
    EXPECT_TRUE(d.startingSnapshot()->isEmpty()) << "a later discovery must not retake the snapshot";
    EXPECT_EQ(&d.acrobatInstances(), list);
    EXPECT_TRUE(list->first().contains(ALKey::FW));
    EXPECT_EQ(d.installationSnapshot(*list), QSet<QString>{path});
    EXPECT_EQ(didChange.count(), 2);
}

TEST_F(DiscoveryTest, NoMarkerMeansNoRegistryQueryAndAnEmptyList)
{
    mainBundle =
        Fixtures::makeMainBundle(temp.filePath(QStringLiteral("Bare.app")), QStringLiteral("2.5"), true, false);
    addAcrobat(QStringLiteral("Pro.app"), QStringLiteral("15"));
    ALAppDelegate& d = makeDelegate();
    d.searchForAcrobat();
    EXPECT_TRUE(d.acrobatInstances().isEmpty());
    EXPECT_TRUE(fakes.registry->askedFor.isEmpty());
    EXPECT_TRUE(d.startingSnapshot().has_value());
}

TEST_F(DiscoveryTest, WindowHeightFollowsTheRecordsAndKeepsItsBottomEdge)
{
    ALAppDelegate& d = loadWindow();
    QWidget& window = *d.window();
    window.setGeometry(100, 300, 500, 200);
    const struct {
        int records;
        int height;
        bool keepsBottom;  // else the top would rise above the screen: moved down instead
    } cases[] = {{0, 140, true}, {1, 230, true}, {2, 320, true}, {3, 410, true}, {5, 590, false}};
    for (const auto& c : cases) {
        fakes.registry->applications.clear();
        for (int i = 0; i < c.records; ++i)
            addAcrobat(QStringLiteral("A%1.app").arg(i), QStringLiteral("15"));
        d.searchForAcrobat();
        EXPECT_EQ(window.geometry().height(), c.height) << c.records << " records";
        if (c.keepsBottom)
            EXPECT_EQ(window.geometry().bottom(), 300 + 200 - 1) << c.records << " records";
        else
            EXPECT_GE(window.frameGeometry().top(), window.screen()->availableGeometry().top()) << c.records;
        EXPECT_EQ(window.geometry().x(), 100);
        EXPECT_EQ(window.geometry().width(), 500);
    }
}
