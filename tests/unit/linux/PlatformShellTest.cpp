#include "tests/support/PkexecStandIn.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using Platform::PkexecAdministratorShell;

namespace {

// Stands in for pkexec with a shell script of the given body.
class PlatformPkexecShellTest : public ::testing::Test {
protected:
    PkexecAdministratorShell::Result run(const QByteArray& standInBody, const QString& commandText)
    {
        return pkexecStandIn(m_folder.filePath("pkexec"), standInBody)->run(commandText);
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
    // The stand-in also checks that pkexec never falls back to its own text prompt and that the
    // command text arrives as the one argument after sh -c.
    const auto result = run("[ \"$1 $2 $3 $#\" = '--disable-internal-agent /bin/sh -c 4' ] && shift && exec \"$@\"",
                            "x='a b'; printf '%s\\n\\n' \"$x\"; echo ignored >&2");
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.output, "a b\n");
    EXPECT_FALSE(result.errorNumber);
    EXPECT_FALSE(result.errorMessage);
}

TEST_F(PlatformPkexecShellTest, RootsCommandNeverInheritsAnOpenUmask)
{
    const mode_t ours = ::umask(0);
    const auto result = run("shift; exec \"$@\"", "umask");
    ::umask(ours);
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(*result.output, "0022") << "what root copies must not be writable by others";
}

TEST_F(PlatformPkexecShellTest, EveryFailureIsDescribedAndOnlyADismissedPromptCountsAsCancelled)
{
    const struct {
        const char* name;
        QByteArray standIn;
        QString command;
        bool cancelled;
        QString message;  // what the description must hold
    } rows[] = {
        {"prompt dismissed", kPkexecDismissingThePrompt, "true", true, {}},
        {"not authorised",
         "printf 'Error executing command as another user: Not authorized\\n\\nThis incident has been reported.\\n' "
         ">&2;"
         " exit 127",
         "true", false, "Not authorized"},
        {"the shell's own 126", "shift; exec \"$@\"", "/dev/null", false, "/dev/null"},
        {"126 without a word", "exit 126", "true", false, "exit status 126"},
        {"standard error trimmed", "shift; exec \"$@\"", "echo partial; printf '  cp: denied\\n\\n' >&2; exit 1", false,
         "cp: denied"},
        {"blank standard error", "printf ' \\n' >&2; exit 3", "true", false, "exit status 3"},
        {"crash with a word", "echo killed >&2; kill -KILL $$", "true", false, "killed"},
        {"silent crash", "kill -KILL $$", "true", false, "crashed"},
    };
    for (const auto& row : rows) {
        const auto result = run(row.standIn, row.command);
        EXPECT_FALSE(result.succeeded()) << row.name;
        if (row.cancelled) {
            EXPECT_EQ(result.errorNumber, Platform::kUserCancelledErrorNumber) << row.name;
            continue;
        }
        EXPECT_FALSE(result.errorNumber) << row.name;
        EXPECT_TRUE(result.errorMessage.value_or(QString()).contains(row.message))
            << row.name << ": " << result.errorMessage.value_or("(none)").toStdString();
    }
    EXPECT_EQ(run("shift; exec \"$@\"", "echo partial; printf '  cp: denied\\n\\n' >&2; exit 1").errorMessage,
              QStringLiteral("cp: denied"));

    const auto missing = PkexecAdministratorShell(m_folder.filePath("no-such-pkexec")).run("true");
    EXPECT_FALSE(missing.succeeded());
    EXPECT_FALSE(missing.errorNumber);
    EXPECT_TRUE(missing.errorMessage.value_or(QString()).contains("no-such-pkexec"));
    EXPECT_TRUE(missing.errorMessage.value_or(QString()).contains("No such file")) << "the reason is kept";
}
