#include "tests/support/DelegateHarness.h"

#include "Platform/Table/Cell.h"
#include "Platform/Table/TableView.h"
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTest>
#include <QTimer>

// Runs the real launch sequence with fakes, as main does, and watches what the user would see.
class LaunchTest : public DelegateTest {
protected:
    QPointer<QWidget> window;
    bool timedOut = false;

    int launch(const std::function<void()>& whileRunning = {})
    {
        timedOut = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            timedOut = true;
            QCoreApplication::quit();
        });
        watchdog.start(10000);
        char name[] = "InstallationUtility";
        char* argv[] = {name, nullptr};
        return Platform::applicationMain(1, argv, [&] {
            Platform::LoadedNib loaded = loadMainWindowNib(fakes.services(mainBundle));
            window = loaded.window.get();
            if (whileRunning)
                QTimer::singleShot(50, loaded.window.get(), whileRunning);
            return loaded;
        });
    }
};

// Records whether the window was visible while the panel was up.
class PanelWatcher : public RecordingAlerts {
public:
    QPointer<QWidget>* window = nullptr;
    std::vector<bool> windowVisible;
    void runAlertPanel(const QString& title, const QString& message, const QString& button) override
    {
        windowVisible.push_back(*window && (*window)->isVisible());
        RecordingAlerts::runAlertPanel(title, message, button);
    }
};

TEST_F(LaunchTest, NoAcrobatShowsThePanelOnceAndTheRunEnds)
{
    auto watcher = std::make_shared<PanelWatcher>();
    watcher->window = &window;
    fakes.alerts = watcher;
    EXPECT_EQ(launch(), 0);
    EXPECT_FALSE(timedOut) << "the run must end by itself after the panel";
    ASSERT_EQ(watcher->panels.size(), 1u);
    EXPECT_EQ(watcher->panels[0].title, QStringLiteral("Error"));
    EXPECT_EQ(watcher->panels[0].message,
              QStringLiteral(
                  "Acrobat is not found, can't install Foldwise here. Consider using standalone version instead."));
    EXPECT_EQ(watcher->panels[0].button, QStringLiteral("OK"));
    EXPECT_FALSE(watcher->windowVisible[0]) << "the window is never shown";
    EXPECT_TRUE(fakes.workspace->opened.empty());
}

TEST_F(LaunchTest, OneAcrobatShowsTheWindowAndClosingItEndsTheRun)
{
    const QString acrobat = addAcrobat(QStringLiteral("A/Acrobat.app"), QStringLiteral("11.0"));
    Fixtures::makePluginCopy(acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"), QStringLiteral("2.5"));
    bool shown = false;
    launch([&] {
        shown = window->isVisible();
        // Removed behind our back, then the last discovery sees it gone.
        QDir(acrobat + QStringLiteral("/Contents/Plug-ins")).removeRecursively();
        window->close();
    });
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(fakes.alerts->panels.empty());
    EXPECT_TRUE(fakes.workspace->opened.empty()) << "no discovery runs at the end, so nothing was seen removed";
}

TEST_F(LaunchTest, QuitAndCloseShortcutsEndTheRunThroughTermination)
{
    int run = 0;
    for (const char* key : {"Ctrl+Q", "Ctrl+W"}) {
        const QString acrobat = addAcrobat(QStringLiteral("B%1/Acrobat.app").arg(++run), QStringLiteral("11.0"));
        Fixtures::makePluginCopy(acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"),
                                 QStringLiteral("2.5"));
        fakes.registry->applications = {acrobat};
        fakes.workspace->opened.clear();
        launch([&] {
            // Uninstall through the row's action, then leave by the keyboard.
            auto* table = window->findChild<Platform::TableView*>();
            table->selectRow(0);
            table->preparedButtonAtColumn(1, 0)->sendAction(table);
            // Shortcuts reach the active window only.
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.data()));
            QTest::keySequence(window.data(), QKeySequence(QString::fromLatin1(key)));
        });
        EXPECT_FALSE(timedOut) << "shortcut " << key;
        EXPECT_EQ(fakes.workspace->opened.size(), 1u) << "termination compares the snapshots, shortcut " << key;
    }
}

TEST_F(LaunchTest, DelegateThatOutlivesItsWindowLetsGoOfIt)
{
    addAcrobat(QStringLiteral("A/Acrobat.app"), QStringLiteral("11.0"));
    ALAppDelegate& d = loadWindow();
    nib.window.reset();
    EXPECT_EQ(d.window(), nullptr);
    EXPECT_EQ(d.versionLabel(), nullptr);
    EXPECT_EQ(d.table(), nullptr);
    // Nothing reaches for the widgets that are gone.
    d.awakeFromNib();
    d.searchForAcrobat();
    d.smartInstallation(nullptr);
    EXPECT_EQ(d.acrobatInstances().size(), 1);
    EXPECT_TRUE(fakes.alerts->panels.empty()) << "without a table no row is chosen";
}

TEST_F(LaunchTest, WindowDescriptionCarriesTheVersionAndEachPressSaysItsOutcome)
{
    const QString acrobat = addAcrobat(QStringLiteral("A/Acrobat.app"), QStringLiteral("11.0"));
    ASSERT_TRUE(QDir().mkpath(acrobat + QStringLiteral("/Contents/Plug-ins")));
    ALAppDelegate& d = loadWindow();
    d.awakeFromNib();
    d.searchForAcrobat();
    EXPECT_EQ(d.window()->accessibleDescription(), QStringLiteral("Foldwise version 2.5"));

    QStringList said;
    QObject::connect(d.table(), &Platform::TableView::announced, [&](const QString& text) { said.append(text); });
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(d.table());
    const struct {
        const char* name;
        QString outcome;
        QString rowDescription;
    } presses[] = {
        {"install", QStringLiteral("Foldwise 2.5 installed in Adobe Acrobat Pro 11.0"),
         QStringLiteral("Foldwise 2.5 installed, ") + acrobat},
        {"uninstall", QStringLiteral("Foldwise 2.5 removed from Adobe Acrobat Pro 11.0"),
         QStringLiteral("Foldwise not installed, ") + acrobat},
    };
    for (const auto& press : presses) {
        said.clear();
        EXPECT_EQ(d.installOrUninstall(0), ALActionOutcome::done) << press.name;
        EXPECT_TRUE(said.isEmpty()) << "said after the row is read again, not before";
        QTest::qWait(0);
        EXPECT_EQ(said, QStringList{press.outcome}) << press.name;
        EXPECT_EQ(table->child(0)->text(QAccessible::Description), press.rowDescription) << press.name;
    }
    // A press that changes nothing says nothing of its own: its alert speaks.
    said.clear();
    fakes.workspace->running.append(acrobat + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
    EXPECT_EQ(d.installOrUninstall(0), ALActionOutcome::acrobatRunning);
    QTest::qWait(0);
    EXPECT_TRUE(said.isEmpty());
}
