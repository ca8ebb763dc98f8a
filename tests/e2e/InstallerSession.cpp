#include "tests/e2e/InstallerSession.h"

#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iostream>

using namespace E2E;

namespace {

const QColor kInstallBlue = QColor::fromRgbF(0.17f, 0.64f, 0.89f);
const QColor kUninstallGrey = QColor::fromRgbF(0.64f, 0.64f, 0.64f);

bool near(QRgb pixel, const QColor& colour)
{
    return std::abs(qRed(pixel) - colour.red()) <= 2 && std::abs(qGreen(pixel) - colour.green()) <= 2
        && std::abs(qBlue(pixel) - colour.blue()) <= 2;
}

// The name of the one colour filling the area, or a description of what is there instead.
QString colourName(const QImage& image, const QRect& area)
{
    if (image.isNull())
        return QStringLiteral("no screenshot");
    if (!image.rect().contains(area))
        return QStringLiteral("outside the window");
    const QRgb first = image.pixel(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!near(image.pixel(x, y), QColor(first)))
                return QStringLiteral("mixed");
        }
    }
    if (near(first, kInstallBlue))
        return QStringLiteral("blue");
    if (near(first, kUninstallGrey))
        return QStringLiteral("grey");
    return QColor(first).name();
}

}  // namespace

void InstallerSession::SetUp()
{
    ASSERT_TRUE(temp.isValid());
    // The installer compares canonical paths with /proc's, so no link may lead into the home.
    home = QFileInfo(temp.path()).canonicalFilePath() + QStringLiteral("/home");
    applications = home + QStringLiteral("/Applications");
    support = home + QStringLiteral("/.local/share");
    ASSERT_TRUE(QDir().mkpath(applications));
    ASSERT_TRUE(QDir().mkpath(support));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/bin")));
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.runtime")));
    QFile(home + QStringLiteral("/.runtime"))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    Fixtures::writeScript(home + QStringLiteral("/bin/xdg-open"),
                          QStringLiteral("printf '%s\\n' \"$*\" >> '%1/opened.txt'").arg(home).toUtf8());
    ASSERT_FALSE(desktop.display().isEmpty()) << desktop.error().toStdString();
}

void InstallerSession::TearDown()
{
    if (installer)
        installer->stop();
    if (!HasFailure())
        return;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QFile log(logPath());
    if (log.open(QIODevice::ReadOnly))
        std::cerr << "The installer's output:\n" << log.readAll().toStdString() << std::endl;
    if (!m_lastScreenshot.isNull()) {
        const QString folder = QStringLiteral(FOLDWISE_BINARY_DIR "/Testing/e2e");
        QDir().mkpath(folder);
        const QString file = QStringLiteral("%1/%2.%3.png")
                                 .arg(folder, QString::fromLatin1(test->test_suite_name()),
                                      QString::fromLatin1(test->name()).replace(QLatin1Char('/'), QLatin1Char('_')));
        if (m_lastScreenshot.save(file))
            std::cerr << "The last screenshot: " << file.toStdString() << std::endl;
    }
}

void InstallerSession::launch(const QString& executable)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Nothing of the desktop the tests run from: no session bus, no portal, no desktop's own
    // opener, so Qt hands addresses to the first xdg-open on the PATH.
    for (const char* name :
         {"DBUS_SESSION_BUS_ADDRESS", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION",
          "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "SNAP", "WAYLAND_DISPLAY", "BROWSER", "DEFAULT_BROWSER",
          "QT_QPA_PLATFORMTHEME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_DIRS"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), desktop.display());
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/.runtime"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), support);
    environment.insert(QStringLiteral("FOLDWISE_APPLICATION_DIRS"), applications);
    environment.insert(QStringLiteral("PATH"),
                       home + QStringLiteral("/bin:")
                           + environment.value(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")));
    environment.insert(launchEnvironment);
    installer = std::make_unique<ChildProcess>(executable, QStringList(), environment, logPath());
    ASSERT_TRUE(installer->started()) << "cannot start " << executable.toStdString();
}

QSize InstallerSession::windowSize(const QString& window)
{
    return desktop.geometry(window).value_or(QRect()).size();
}

QString InstallerSession::launchToMainWindow(const QString& executable)
{
    launch(executable);
    if (!installer || !installer->started())
        return {};
    const std::optional<QString> window = desktop.waitForWindow(QStringLiteral("Foldwise Installer"));
    EXPECT_TRUE(window) << "the installer's window did not appear";
    return window.value_or(QString());
}

std::optional<int> InstallerSession::waitForExit(Milliseconds timeout)
{
    if (!installer || !installer->waitForExit(timeout))
        return std::nullopt;
    QProcess& process = installer->process();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -process.exitCode();
}

QStringList InstallerSession::opened() const
{
    return QString::fromUtf8(Fixtures::readFile(home + QStringLiteral("/opened.txt")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QRect InstallerSession::barOfRow(const QString& window, int row) const
{
    const int width = desktop.geometry(window).value_or(QRect()).width();
    // The cell is the row less 2 px at each side and 1 px at top and bottom; the bar is 8 px
    // narrower than the cell, 32 px high, 2 px above the cell's middle.
    const QRect cell(width - kButtonColumnWidth + 2, kTableTop + row * kRowHeight + 1, kButtonColumnWidth - 4,
                     kRowHeight - 2);
    return QRect(cell.x() + 4, cell.center().y() + 1 - 16 - 2, cell.width() - 8, 32);
}

QStringList InstallerSession::bars(const QString& window, int rows)
{
    m_lastScreenshot = desktop.screenshot(window);
    QStringList colours;
    for (int row = 0; row < rows; ++row) {
        // Its left end, clear of the centred caption.
        const QRect bar = barOfRow(window, row);
        colours.append(colourName(m_lastScreenshot, QRect(bar.left() + 2, bar.top() + 2, 10, bar.height() - 4)));
    }
    return colours;
}

QStringList InstallerSession::waitForBars(const QString& window, const QStringList& expected)
{
    QStringList seen;
    eventually([&] { return (seen = bars(window, static_cast<int>(expected.size()))) == expected; });
    return seen;
}

bool InstallerSession::clickBar(const QString& window, int row)
{
    return desktop.click(window, barOfRow(window, row).center());
}

QString InstallerSession::addAcrobat(const QString& folder, const QString& version)
{
    return Fixtures::makeAcrobat(applications + QLatin1Char('/') + folder + QStringLiteral("/Acrobat.app"), version);
}
