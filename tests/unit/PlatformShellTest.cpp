#include "AdministratorShell_linux.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Platform::PkexecAdministratorShell;

namespace {

// Stands in for pkexec with a shell script of the given body.
class PlatformPkexecShellTest : public ::testing::Test {
protected:
    PkexecAdministratorShell::Result run(const QByteArray& standInBody, const QString& commandText)
    {
        const QString path = m_folder.filePath("pkexec");
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + standInBody + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return PkexecAdministratorShell(path).run(commandText);
    }

    QTemporaryDir m_folder;
};

}  // namespace

TEST(PlatformShellQuotingTest, ShellGivesBackTheExactText)
{
    for (const QString& text : {QString(), QStringLiteral("it's ''"), QStringLiteral("\"double\" \\back\\slash"),
                                QStringLiteral("$HOME `id` $(id) ${x}"), QStringLiteral("one\ntwo\n"),
                                QStringLiteral("; rm -rf / # *?[a] ~ & | < >"), QString::fromUtf8("naïve")}) {
        QProcess shell;
        shell.start("/bin/sh", {"-c", "printf %s " + Platform::shellSingleQuoted(text)});
        shell.waitForFinished(-1);
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), text) << text.toStdString();
    }
}

TEST_F(PlatformPkexecShellTest, SuccessGivesStandardOutputLessOneNewline)
{
    // The stand-in also checks that the command text arrives as the one argument after sh -c.
    const auto result = run("[ \"$1 $2 $#\" = '/bin/sh -c 3' ] && exec \"$@\"",
                            "x='a b'; printf '%s\\n\\n' \"$x\"; echo ignored >&2");
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.output, "a b\n");
    EXPECT_FALSE(result.errorNumber);
    EXPECT_FALSE(result.errorMessage);
}

TEST_F(PlatformPkexecShellTest, DismissedPromptIsUserCancelled)
{
    const auto result = run("exit 126", "true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.errorNumber, Platform::kUserCancelledErrorNumber);
    EXPECT_FALSE(result.errorMessage);
}

TEST_F(PlatformPkexecShellTest, FailureCarriesStandardErrorTrimmed)
{
    auto result = run("exec \"$@\"", "echo partial; printf '  cp: denied\\n\\n' >&2; exit 1");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.errorMessage, QStringLiteral("cp: denied"));
    EXPECT_FALSE(result.errorNumber);

    result = run("printf ' \\n' >&2; exit 3", "true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.errorMessage);

    result = run("echo killed >&2; kill -KILL $$", "true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.errorMessage, QStringLiteral("killed"));
}

TEST_F(PlatformPkexecShellTest, MissingProgramIsReported)
{
    const auto result = PkexecAdministratorShell(m_folder.filePath("no-such-pkexec")).run("true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.errorNumber);
    EXPECT_FALSE(result.errorMessage.value_or(QString()).isEmpty());
}
