#include "DelegateHarness.h"

#include <QDir>
#include <QFileInfo>

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
    EXPECT_TRUE(QFileInfo::exists(destination + QStringLiteral("/Contents/Resources/Foldwise.app/Contents/Info.plist")));
    EXPECT_TRUE(fakes.shell->commands.isEmpty());
}

TEST_F(FileOperationsTest, FallbackOutcomesDecideResultAndDescription)
{
    const struct {
        const char* name;
        Shell::Result answer;
        bool result;
        std::optional<QString> description;
    } rows[] = {
        {"password given", Shell::success(), true, std::nullopt},
        {"prompt cancelled", Shell::cancelled(), false,
         QStringLiteral("The administrator password is required to do this.")},
        {"failed with message", Shell::failure(QStringLiteral("cp: cannot create")), false,
         QStringLiteral("cp: cannot create")},
        {"failed silently", Shell::failure(std::nullopt), false, std::nullopt},
    };
    fakes.fileManager->failingCopies.insert(destination);
    fakes.fileManager->failingRemovals.insert(destination);
    ALAppDelegate& d = makeDelegate();
    for (const auto& row : rows) {
        fakes.shell->results = {row.answer, row.answer};
        std::optional<QString> copyDescription = stale;
        EXPECT_EQ(d.rootCopyFile(source, destination, &copyDescription), row.result) << row.name;
        EXPECT_EQ(copyDescription, row.description) << row.name;
        std::optional<QString> eraseDescription = stale;
        EXPECT_EQ(d.rootEraseFile(destination, &eraseDescription), row.result) << row.name;
        EXPECT_EQ(eraseDescription, row.description) << row.name;
    }
}

TEST_F(FileOperationsTest, CommandTextsQuoteEveryPath)
{
    fakes.fileManager->failingCopies.insert(destination);
    ALAppDelegate& d = makeDelegate();
    d.rootCopyFile(source, destination, nullptr);
    d.rootEraseFile(temp.filePath(QStringLiteral("no such item")), nullptr);
    ASSERT_EQ(fakes.shell->commands.size(), 2);
    EXPECT_EQ(fakes.shell->commands.at(0), QStringLiteral("'cp' -R '%1' '%2'").arg(source, destination));
    EXPECT_EQ(fakes.shell->commands.at(1),
              QStringLiteral("'rm' -R '%1'").arg(temp.filePath(QStringLiteral("no such item"))))
        << "a removal that fails because nothing is there still runs the fallback";
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
    EXPECT_TRUE(d.runProcessAsAdministrator(QStringLiteral("echo"), {QStringLiteral("a"), QStringLiteral("b")},
                                            &output, &description));
    EXPECT_EQ(output, QStringLiteral("done"));
    EXPECT_EQ(description, stale);
    EXPECT_EQ(fakes.shell->commands.first(), QStringLiteral("'echo' a b"));

    EXPECT_FALSE(d.runProcessAsAdministrator(QStringLiteral("echo"), {}, &output, &description));
    EXPECT_EQ(output, QStringLiteral("done")) << "a failure leaves the output alone";
    EXPECT_EQ(description, QStringLiteral("bad"));
}
