#include "tests/e2e/InstallerSession.h"
#include "tests/e2e/ScreenReader.h"

#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>

using namespace E2E;

namespace {

using Fixtures::kCopyInfo;

const QString kProbe = QStringLiteral(FOLDWISE_E2E_SOURCE_DIR "/accessibility_probe.py");

// One object of the tree a screen reader reads.
struct Accessible {
    QString role;
    QString name;
    QString description;
    QStringList actions;
};

QList<Accessible> withRole(const QList<Accessible>& tree, const QString& role)
{
    QList<Accessible> found;
    for (const Accessible& accessible : tree)
        if (accessible.role == role)
            found.append(accessible);
    return found;
}

QStringList namesOf(const QList<Accessible>& accessibles)
{
    QStringList names;
    for (const Accessible& accessible : accessibles)
        names.append(accessible.name);
    return names;
}

}  // namespace

// The installer as a screen reader's user meets it: a session bus with the accessibility bus,
// and the program told to show its tree there.
class AccessibilitySession : public InstallerSession {
protected:
    std::unique_ptr<AccessibilityBus> bus;

    void SetUp() override
    {
        InstallerSession::SetUp();
        if (HasFatalFailure())
            return;
        bus = std::make_unique<AccessibilityBus>(desktop, home + QStringLiteral("/.runtime"));
        ASSERT_FALSE(bus->address().isEmpty()) << bus->error().toStdString();
        launchEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus->address());
        launchEnvironment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    }

    // Debian's interpreter: the probe needs its pyatspi.
    CommandResult probe(const QStringList& arguments)
    {
        return runCommand(QStringLiteral("/usr/bin/python3"), QStringList{kProbe} + arguments, bus->environment(), 20s);
    }

    QList<Accessible> tree()
    {
        const CommandResult read = probe({QStringLiteral("tree"), QString::number(installer->pid())});
        QList<Accessible> objects;
        if (!read.succeeded())
            return objects;
        for (const QByteArray& line : read.output.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.isEmpty())
                continue;
            objects.append({object.value(QStringLiteral("role")).toString(),
                            object.value(QStringLiteral("name")).toString(),
                            object.value(QStringLiteral("description")).toString(),
                            object.value(QStringLiteral("actions")).toVariant().toStringList()});
        }
        return objects;
    }

    // Reads the tree until its push buttons carry the captions, or the time is up.
    QList<Accessible> waitForButtons(const QStringList& captions)
    {
        QList<Accessible> objects;
        eventually([&] { return namesOf(withRole(objects = tree(), QStringLiteral("push button"))) == captions; }, 20s);
        return objects;
    }

    bool press(const QString& role, const QString& name)
    {
        return probe({QStringLiteral("press"), QString::number(installer->pid()), role, name}).succeeded();
    }
};

TEST_F(AccessibilitySession, RowsAreReadOutAndTheirButtonsWorkByScreenReaderAndByKeyboard)
{
    const QString old = addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    const QString oldPlugins = old + QStringLiteral("/Contents/Plug-ins");
    ASSERT_TRUE(QDir().mkpath(oldPlugins));
    const QString recent = addAcrobat(QStringLiteral("Acrobat 2017"), QStringLiteral("17.012.20098"));
    const QString recentCopy = support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins/Foldwise.acroplugin");
    Fixtures::makePluginCopy(recentCopy, QStringLiteral("2.4"));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());

    QList<Accessible> objects = waitForButtons({QStringLiteral("Install"), QStringLiteral("Uninstall (2.4)")});
    const QList<Accessible> buttons = withRole(objects, QStringLiteral("push button"));
    ASSERT_EQ(namesOf(buttons), QStringList({QStringLiteral("Install"), QStringLiteral("Uninstall (2.4)")}))
        << "the tree never showed the rows' buttons";
    for (const Accessible& button : buttons)
        EXPECT_EQ(button.actions, QStringList{QStringLiteral("Press")}) << button.name.toStdString();
    EXPECT_EQ(namesOf(withRole(objects, QStringLiteral("table"))),
              QStringList{QStringLiteral("Acrobat installations")});
    const QList<Accessible> cells = withRole(objects, QStringLiteral("table cell"));
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[0].name, QStringLiteral("Adobe Acrobat Pro 11.0.23"));
    // The plug-in's state in words, then the path.
    EXPECT_EQ(cells[0].description, QStringLiteral("Foldwise not installed, ") + old);
    EXPECT_EQ(cells[1].name, QStringLiteral("Adobe Acrobat Pro 17.012.20098"));
    EXPECT_EQ(cells[1].description, QStringLiteral("Foldwise 2.4 installed, ") + recent);

    // Press, as a screen reader does it: the first row's copy is made and its caption read anew.
    ASSERT_TRUE(press(QStringLiteral("push button"), QStringLiteral("Install")));
    EXPECT_TRUE(eventually([&] { return QFile::exists(oldPlugins + kCopyInfo); })) << "Install copied nothing";
    const QStringList bothInstalled{QStringLiteral("Uninstall (2.5)"), QStringLiteral("Uninstall (2.4)")};
    EXPECT_EQ(namesOf(withRole(waitForButtons(bothInstalled), QStringLiteral("push button"))), bothInstalled);

    // The keyboard alone: into the table, down to the other row, press its button.
    for (const char* key : {"Tab", "Down", "space"})
        ASSERT_TRUE(desktop.key(window, QString::fromLatin1(key))) << key;
    EXPECT_TRUE(eventually([&] { return !QFileInfo::exists(recentCopy); })) << "Space did not uninstall";
    EXPECT_TRUE(QFile::exists(oldPlugins + kCopyInfo)) << "the other row's copy is left alone";
    const QStringList expected{QStringLiteral("grey"), QStringLiteral("blue")};
    EXPECT_EQ(waitForBars(window, expected), expected);
    const QStringList captions{QStringLiteral("Uninstall (2.5)"), QStringLiteral("Install")};
    EXPECT_EQ(namesOf(withRole(waitForButtons(captions), QStringLiteral("push button"))), captions);

    // Every focus and selection the keys announced named a cell that exists.
    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("Cannot create accessible child interface"));
}

// The same with Orca listening: what a screen reader's user hears after each key.
class ScreenReaderSession : public AccessibilitySession {
protected:
    std::unique_ptr<ScreenReader> orca;

    void SetUp() override
    {
        AccessibilitySession::SetUp();
        if (HasFatalFailure())
            return;
        orca = std::make_unique<ScreenReader>(*bus, temp.filePath(QStringLiteral("orca")));
        ASSERT_TRUE(orca->error().isEmpty()) << orca->error().toStdString();
    }

    void TearDown() override
    {
        if (HasFailure() && orca)
            std::cerr << "What Orca wrote last:\n" << orca->logTail() << std::endl;
        AccessibilitySession::TearDown();
    }

    // Types the key into the window and waits until Orca has said each text.
    ::testing::AssertionResult hears(const QString& window, const QString& key, const QStringList& texts)
    {
        const qsizetype from = orca->spoken().size();
        if (!desktop.key(window, key))
            return ::testing::AssertionFailure() << "cannot type " << key.toStdString();
        for (const QString& text : texts) {
            if (!orca->waitFor(text, from))
                return ::testing::AssertionFailure()
                    << "after " << key.toStdString() << ", Orca never said \"" << text.toStdString()
                    << "\" but: " << orca->spoken().mid(from).join(QStringLiteral(" | ")).toStdString();
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(ScreenReaderSession, OrcaSpeaksWhatEachKeyDoesAndSpaceActsOnlyOnTheChosenRow)
{
    const QString old = addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    const QString plugins = old + QStringLiteral("/Contents/Plug-ins");
    ASSERT_TRUE(QDir().mkpath(plugins));
    // Version 15 without its plug-in folder: Install ends in an alert.
    addAcrobat(QStringLiteral("Adobe Acrobat DC"), QStringLiteral("15.006.30060"));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(orca->waitFor(QStringLiteral("Acrobat installations"), 0)) << "the table is not announced at launch";
    EXPECT_TRUE(orca->waitFor(QStringLiteral("Foldwise version 2.5"), 0)) << "the window's version is not heard";

    // No row is chosen at launch: Space presses nothing. Tab chooses the first row and reads it,
    // with the plug-in's state in words.
    ASSERT_TRUE(desktop.key(window, QStringLiteral("space")));
    EXPECT_TRUE(hears(window, QStringLiteral("Tab"),
                      {QStringLiteral("Adobe Acrobat Pro 11.0.23 Install push button"),
                       QStringLiteral("Foldwise not installed, ") + old}));
    EXPECT_TRUE(QDir(plugins).isEmpty()) << "Space at launch acted on a row nobody chose";

    // The press: the row again with its new caption and state.
    EXPECT_TRUE(hears(window, QStringLiteral("space"),
                      {QStringLiteral("Adobe Acrobat Pro 11.0.23 Uninstall (2.5) push button"),
                       QStringLiteral("Foldwise 2.5 installed, ") + old}));
    EXPECT_TRUE(QFile::exists(plugins + kCopyInfo)) << "Space did not install";
    // Tab and Shift+Tab say the chosen row again.
    EXPECT_TRUE(hears(window, QStringLiteral("Tab"),
                      {QStringLiteral("Adobe Acrobat Pro 11.0.23 Uninstall (2.5) push button")}));
    EXPECT_TRUE(hears(window, QStringLiteral("shift+Tab"),
                      {QStringLiteral("Adobe Acrobat Pro 11.0.23 Uninstall (2.5) push button")}));

    // The alert is read, and once it is closed the row again.
    EXPECT_TRUE(
        hears(window, QStringLiteral("Down"), {QStringLiteral("Adobe Acrobat Pro 15.006.30060 Install push button")}));
    EXPECT_TRUE(hears(window, QStringLiteral("space"), {QStringLiteral("OK push button")}));
    const std::optional<QString> alert = desktop.waitForWindow(QStringLiteral("Error"), 10s);
    ASSERT_TRUE(alert) << "no alert for the missing plug-in folder";
    EXPECT_TRUE(hears(*alert, QStringLiteral("Return"),
                      {QStringLiteral("Adobe Acrobat Pro 15.006.30060 Install push button")}));
    std::cout << "What Orca said:\n" << orca->spoken().join(QStringLiteral("\n")).toStdString() << std::endl;
}
