#include "tests/e2e/InstallerSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

using namespace E2E;

namespace {

// The package names in a Depends field, without versions or alternatives.
QStringList packageNames(const QByteArray& field)
{
    QStringList names;
    for (const QString& entry : QString::fromUtf8(field).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        for (const QString& alternative : entry.split(QLatin1Char('|')))
            names.append(alternative.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0));
    }
    return names;
}

}  // namespace

// The Debian package, made by CPack from the build, unpacked into a folder of its own and run
// from there: what it depends on, what it lays out, and that the program starts.
class PackageTest : public InstallerSession {};

TEST_F(PackageTest, DebianPackageRunsFromItsUnpackedTree)
{
    const QString output = temp.filePath(QStringLiteral("package"));
    const CommandResult packed =
        desktop.run(QStringLiteral(FOLDWISE_CPACK),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                     QStringLiteral(FOLDWISE_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), output},
                    90s);
    ASSERT_TRUE(packed.succeeded()) << packed.output.toStdString() << packed.errors.toStdString();
    const QStringList debs = QDir(output).entryList({QStringLiteral("*.deb")}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << debs.join(QLatin1Char(' ')).toStdString();
    const QString deb = output + QLatin1Char('/') + debs.first();

    const CommandResult depends =
        desktop.run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    ASSERT_TRUE(depends.succeeded()) << depends.errors.toStdString();
    const QStringList names = packageNames(depends.output);
    for (const char* needed : {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libexpat1", "qt6-qpa-plugins",
                               "qt6-image-formats-plugins", "libc6", "libstdc++6"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(needed)))
            << needed << " missing in: " << depends.output.trimmed().toStdString();

    const QString root = temp.filePath(QStringLiteral("root"));
    const CommandResult unpacked = desktop.run(QStringLiteral("dpkg"), {QStringLiteral("-x"), deb, root});
    ASSERT_TRUE(unpacked.succeeded()) << unpacked.errors.toStdString();

    // Debian's own checks, each failing on an error it finds.
    const QString metainfo = root + QStringLiteral("/usr/share/metainfo/com.foldwise.InstallationUtility.metainfo.xml");
    const QString desktopEntry = root + QStringLiteral("/usr/share/applications/foldwise-installer.desktop");
    const std::pair<QString, QStringList> checks[] = {
        {QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}},
        {QStringLiteral("desktop-file-validate"), {desktopEntry}},
        {QStringLiteral("lintian"), {deb}},
    };
    for (const auto& [program, arguments] : checks) {
        const CommandResult checked = desktop.run(program, arguments, 60s);
        EXPECT_TRUE(checked.succeeded()) << program.toStdString() << " (exit " << checked.exitCode << "):\n"
                                         << checked.output.toStdString() << checked.errors.toStdString();
    }
    const CommandResult version =
        desktop.run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Version")});
    QFile releases(metainfo);
    ASSERT_TRUE(releases.open(QIODevice::ReadOnly));
    EXPECT_TRUE(releases.readAll().contains("<release version=\"" + version.output.trimmed() + '"'))
        << "the metainfo lists no release " << version.output.trimmed().toStdString();

    const QString bundle = root + QStringLiteral("/usr/lib/foldwise/InstallationUtility.app/Contents");
    for (const QString& file :
         {QStringLiteral("/Info.plist"), QStringLiteral("/MacOS/InstallationUtility"),
          QStringLiteral("/Resources/Marker.pdf"), QStringLiteral("/Resources/Acrobat.png"),
          QStringLiteral("/Resources/Foldwise.acroplugin/Contents/Info.plist"),
          QStringLiteral("/Resources/Foldwise.acroplugin/Contents/Resources/Foldwise.app/Contents/Info.plist")})
        EXPECT_TRUE(QFileInfo(bundle + file).isFile()) << "the bundle lacks " << file.toStdString();
    const QFileInfo launcher(root + QStringLiteral("/usr/bin/foldwise-installer"));
    EXPECT_TRUE(launcher.isExecutable());
    EXPECT_EQ(launcher.canonicalFilePath(),
              QFileInfo(bundle + QStringLiteral("/MacOS/InstallationUtility")).canonicalFilePath())
        << "the launcher starts the unpacked program";
    EXPECT_FALSE(
        QImage(root + QStringLiteral("/usr/share/icons/hicolor/256x256/apps/foldwise-installer.png")).isNull());
    QSettings entry(root + QStringLiteral("/usr/share/applications/foldwise-installer.desktop"), QSettings::IniFormat);
    EXPECT_EQ(entry.value(QStringLiteral("Desktop Entry/Exec")).toString(), QStringLiteral("foldwise-installer"));
    EXPECT_EQ(entry.value(QStringLiteral("Desktop Entry/Icon")).toString(), QStringLiteral("foldwise-installer"));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/usr/share/man/man1/foldwise-installer.1.gz")).isFile());

    addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    const QString window = launchToMainWindow(launcher.filePath());
    ASSERT_FALSE(window.isEmpty()) << "the unpacked program shows no window";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});
    ASSERT_TRUE(desktop.key(window, QStringLiteral("ctrl+q")));
    EXPECT_EQ(waitForExit(), 0);
}
