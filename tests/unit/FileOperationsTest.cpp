#include "tests/support/DelegateHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

using Shell = ScriptedAdministratorShell;

class FileOperationsTest : public DelegateTest {
protected:
    QString source;
    QString destination;
    const QString stale = QStringLiteral("stale");

    void SetUp() override
    {
        DelegateTest::SetUp();
        source = mainBundle + QStringLiteral("/Contents/Resources/Foldwise.acroplugin");
        QDir().mkpath(temp.filePath(QStringLiteral("Plug ins")));
        destination = temp.filePath(QStringLiteral("Plug ins/Foldwise.acroplugin"));
    }
};

TEST_F(FileOperationsTest, PlainCopyNeedsNoPasswordAndLeavesTheDescriptionAlone)
{
    ALAppDelegate& d = makeDelegate();
    std::optional<QString> description = stale;
    EXPECT_TRUE(d.rootCopyFile(source, destination, &description));
    EXPECT_EQ(description, stale);
    EXPECT_TRUE(
        QFileInfo::exists(destination + QStringLiteral("/Contents/Resources/Foldwise.app/Contents/Info.plist")));
    EXPECT_TRUE(fakes.shell->commands.isEmpty());
}

TEST_F(FileOperationsTest, FallbackOutcomesDecideResultAndDescription)
{
    const struct {
        const char* name;
        Shell::Result answer;
        bool result;
        std::optional<QString> description;
        bool namesTheCommand;  // the description ends with ": " and the command text
    } rows[] = {
        {"password given", Shell::success(), true, std::nullopt, false},
        {"prompt cancelled", Shell::cancelled(), false,
         QStringLiteral("The administrator password is required to do this."), false},
        {"failed with message", Shell::failure(QStringLiteral("cp: cannot create")), false,
         QStringLiteral("cp: cannot create"), false},
        {"failed silently", Shell::failure(std::nullopt), false,
         QStringLiteral("The administrator command failed without saying why"), true},
    };
    fakes.fileManager->failingCopies.insert(destination);
    fakes.fileManager->failingRemovals.insert(destination);
    ALAppDelegate& d = makeDelegate();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fakes.shell->results = {row.answer, row.answer};
        // What the last command's failure must be described as, to the letter.
        const auto expected = [&]() -> std::optional<QString> {
            if (!row.description || !row.namesTheCommand)
                return row.description;
            return *row.description + QStringLiteral(": ") + fakes.shell->commands.last();
        };
        std::optional<QString> copyDescription = stale;
        EXPECT_EQ(d.rootCopyFile(source, destination, &copyDescription), row.result);
        EXPECT_EQ(copyDescription, expected());
        std::optional<QString> eraseDescription = stale;
        EXPECT_EQ(d.rootEraseFile(destination, &eraseDescription), row.result);
        EXPECT_EQ(eraseDescription, expected());
    }
}

TEST_F(FileOperationsTest, CommandTextsQuoteEveryPathByItsRealAbsoluteName)
{
    const QString real = QFileInfo(temp.path()).canonicalFilePath();
    QFile::link(temp.filePath(QStringLiteral("Plug ins")), temp.filePath(QStringLiteral("Linked plug ins")));
    const QString linked = temp.filePath(QStringLiteral("Linked plug ins/Foldwise.acroplugin"));
    fakes.fileManager->failingCopies = {destination, linked, QStringLiteral("Plug ins/Foldwise.acroplugin")};
    fakes.fileManager->failingRemovals = {linked};
    ALAppDelegate& d = makeDelegate();
    d.rootCopyFile(source, destination, nullptr);
    d.rootCopyFile(source, linked, nullptr);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(temp.path()));
    d.rootCopyFile(source, QStringLiteral("Plug ins/Foldwise.acroplugin"), nullptr);
    QDir::setCurrent(previous);
    Fixtures::makePluginCopy(destination, QStringLiteral("2.4"));
    d.rootEraseFile(linked, nullptr);
    // What an earlier run left and the user's rights could not clear, root clears first.
    fakes.fileManager->unswept = {linked.left(linked.lastIndexOf(QLatin1Char('/'))) + "/.Foldwise.acroplugin.foldwise-Ab12Cd"};
    QDir(destination).removeRecursively();
    d.rootCopyFile(source, linked, nullptr);

    const QString realSource = QFileInfo(source).canonicalFilePath();
    const QString realDestination = real + QStringLiteral("/Plug ins/Foldwise.acroplugin");
    const QString copy = rootCopyCommandText(realSource, realDestination);
    EXPECT_EQ(withSiblingsMasked(fakes.shell->commands),
              (QStringList{copy, copy, copy, rootRemovalCommandText(realDestination),
                           QStringLiteral("'rm' -R -f '%1/Plug ins/.Foldwise.acroplugin.foldwise-XXXXXX'; ").arg(real)
                               + copy}));
}

TEST_F(FileOperationsTest, OnlyALackOfRightsOntoAFreeDestinationAsksForThePassword)
{
    const struct {
        const char* name;
        int code;
        bool destinationTaken;
        bool prompts;
    } rows[] = {
        {"rights lacking", EACCES, false, true},
        {"operation not permitted", EPERM, false, true},
        {"rights lacking, destination taken meanwhile", EACCES, true, false},
        {"disk full", ENOSPC, false, false},
        {"quota", EDQUOT, false, false},
        {"read-only file system", EROFS, false, false},
        {"link loop", ELOOP, false, false},
        {"destination exists", EEXIST, true, false},
        {"nothing to remove", ENOENT, false, false},
    };
    ALAppDelegate& d = makeDelegate();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(destination).removeRecursively();
        if (row.destinationTaken)
            Fixtures::makePluginCopy(destination, QStringLiteral("2.4"));
        fakes.shell->commands.clear();
        fakes.shell->results = {Shell::success(), Shell::success()};
        fakes.fileManager->failingCopies = {destination};
        fakes.fileManager->failingRemovals = {destination};
        fakes.fileManager->failureCodes = {{destination, row.code}};
        std::optional<QString> copyDescription = stale;
        const bool copied = d.rootCopyFile(source, destination, &copyDescription);
        std::optional<QString> eraseDescription = stale;
        const bool erased = d.rootEraseFile(destination, &eraseDescription);
        if (row.prompts) {
            EXPECT_TRUE(copied && erased);
            EXPECT_EQ(fakes.shell->commands.size(), 2);
            continue;
        }
        EXPECT_FALSE(copied);
        EXPECT_TRUE(fakes.shell->commands.filter(QStringLiteral("'mkdir'")).isEmpty());
        // Rights lacking onto a taken destination: what is in the way is what the user can mend.
        const int told = row.code == EACCES ? EEXIST : row.code;
        EXPECT_TRUE(copyDescription.value_or(QString()).contains(QString::fromLocal8Bit(std::strerror(told))))
            << copyDescription.value_or(QString()).toStdString();
        if (row.code != EACCES) {
            EXPECT_FALSE(erased);
            EXPECT_TRUE(fakes.shell->commands.isEmpty());
            EXPECT_TRUE(eraseDescription.value_or(QString()).contains(QString::fromLocal8Bit(std::strerror(row.code))));
        }
    }
}

TEST_F(FileOperationsTest, MissingHoldersAreTolerated)
{
    fakes.fileManager->failingCopies.insert(destination);
    fakes.shell->results = {Shell::cancelled(), Shell::success(QStringLiteral("out"))};
    ALAppDelegate& d = makeDelegate();
    EXPECT_FALSE(d.rootCopyFile(source, destination, nullptr));
    EXPECT_TRUE(d.runProcessAsAdministrator(QStringLiteral("true"), {}, nullptr, nullptr));
}

TEST_F(FileOperationsTest, RunnerHandsOutTheOutputOnlyOnSuccess)
{
    fakes.shell->results = {Shell::success(QStringLiteral("done")), Shell::failure(QStringLiteral("bad"))};
    ALAppDelegate& d = makeDelegate();
    std::optional<QString> output = QStringLiteral("before");
    std::optional<QString> description = stale;
    EXPECT_TRUE(d.runProcessAsAdministrator(QStringLiteral("echo"), {QStringLiteral("a"), QStringLiteral("b")}, &output,
                                            &description));
    EXPECT_EQ(output, QStringLiteral("done"));
    EXPECT_EQ(description, stale);
    EXPECT_EQ(fakes.shell->commands.first(), QStringLiteral("'echo' a b"));

    EXPECT_FALSE(d.runProcessAsAdministrator(QStringLiteral("echo"), {}, &output, &description));
    EXPECT_EQ(output, QStringLiteral("done")) << "a failure leaves the output alone";
    EXPECT_EQ(description, QStringLiteral("bad"));
}
