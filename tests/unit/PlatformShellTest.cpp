#include "AdministratorShell_linux.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Platform::PkexecAdministratorShell;

namespace {

QString printedByShell(const QString& commandText)
{
    QProcess shell;
    shell.start("/bin/sh", {"-c", commandText});
    shell.waitForFinished(-1);
    return QString::fromUtf8(shell.readAllStandardOutput());
}

// A stand-in for pkexec: a shell script with the given body.
class PkexecStandIn : public ::testing::Test {
protected:
    PkexecAdministratorShell shellRunning(const QByteArray& body)
    {
        const QString path = m_folder.filePath("pkexec");
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return PkexecAdministratorShell(path);
    }

    QTemporaryDir m_folder;
};

}  // namespace

TEST(ShellSingleQuotedTest, ShellGivesBackTheExactText)
{
    const QStringList texts = {
        "",
        "plain",
        "it's",
        "''",
        "\"double\" \\back\\slash",
        "$HOME `id` $(id) ${x}",
        "line one\nline two\n",
        "; rm -rf / #",
        "*?[a] ~ & | < >",
        QString::fromUtf8("naïve ünïcode"),
    };
    for (const QString& text : texts) {
        EXPECT_EQ(printedByShell("printf %s " + Platform::shellSingleQuoted(text)), text)
            << text.toStdString();
    }
}

TEST_F(PkexecStandIn, SuccessGivesStandardOutputLessOneNewline)
{
    PkexecAdministratorShell shell = shellRunning("exec \"$@\"");
    const auto result = shell.run("printf 'first\\nsecond\\n\\n'; echo ignored >&2");
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.output, "first\nsecond\n");
    EXPECT_FALSE(result.errorNumber);
    EXPECT_FALSE(result.errorMessage);
}

TEST_F(PkexecStandIn, CommandTextReachesTheShellAsOneArgument)
{
    PkexecAdministratorShell shell = shellRunning("[ \"$1\" = /bin/sh ] && [ \"$2\" = -c ] && [ $# -eq 3 ] && exec \"$@\"");
    const auto result = shell.run("x='a b'; printf '%s' \"$x\"");
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.output, "a b");
}

TEST_F(PkexecStandIn, DismissedPromptIsUserCancelled)
{
    const auto result = shellRunning("exit 126").run("true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.errorNumber, Platform::kUserCancelledErrorNumber);
    EXPECT_FALSE(result.errorMessage);
}

TEST_F(PkexecStandIn, FailureCarriesStandardErrorTrimmed)
{
    const auto result = shellRunning("exec \"$@\"").run("echo partial; printf '  cp: denied\\n\\n' >&2; exit 1");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.errorMessage, QStringLiteral("cp: denied"));
    EXPECT_FALSE(result.errorNumber);
}

TEST_F(PkexecStandIn, FailureWithoutStandardErrorHasNoMessage)
{
    const auto result = shellRunning("printf ' \\n' >&2; exit 3").run("true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.errorMessage);
    EXPECT_FALSE(result.errorNumber);
}

TEST_F(PkexecStandIn, CrashIsAFailure)
{
    const auto result = shellRunning("echo killed >&2; kill -KILL $$").run("true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.errorMessage, QStringLiteral("killed"));
}

TEST_F(PkexecStandIn, MissingProgramIsReported)
{
    const auto result = PkexecAdministratorShell(m_folder.filePath("no-such-pkexec")).run("true");
    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.errorNumber);
    ASSERT_TRUE(result.errorMessage);
    EXPECT_FALSE(result.errorMessage->isEmpty());
}
