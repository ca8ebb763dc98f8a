#include "InstallationUtility/ALCommandLineArguments.h"

#include <gtest/gtest.h>

namespace {

using Command = ALCommandLineRequest::Command;

QStringList split(const char* line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

}  // namespace

TEST(CommandLineArgumentsTest, OnlyTheToolkitsOwnOptionsOpenTheWindow)
{
    EXPECT_FALSE(isCommandLineRequest({}));
    EXPECT_FALSE(isCommandLineRequest(split("-platform offscreen")));
    EXPECT_FALSE(isCommandLineRequest(split("--platform offscreen -reverse --style=fusion")));
    for (const char* line : {"--list", "--lsit", "-h", "-V", "help", "list", "/Applications/Acrobat.app",
                             "-platform offscreen --list", "--style fusion -x"})
        EXPECT_TRUE(isCommandLineRequest(split(line))) << line;
}

TEST(CommandLineArgumentsTest, WellFormedRequests)
{
    const struct {
        const char* line;
        bool root;
        Command command;
        bool json, all, noPrompt;
        QStringList paths, users;
    } rows[] = {
        {"--list", false, Command::list, false, false, false, {}, {}},
        {"--json --list", false, Command::list, true, false, false, {}, {}},
        {"--install --all", false, Command::install, false, true, false, {}, {}},
        {"--uninstall --all --json", false, Command::uninstall, true, true, false, {}, {}},
        {"--uninstall /A.app B.app --no-prompt",
         false,
         Command::uninstall,
         false,
         false,
         true,
         {QStringLiteral("/A.app"), QStringLiteral("B.app")},
         {}},
        {"--install --all --user ann --user bob",
         true,
         Command::install,
         false,
         true,
         false,
         {},
         {QStringLiteral("ann"), QStringLiteral("bob")}},
        {"--list --user=ann --user bob -platform offscreen",
         true,
         Command::list,
         false,
         false,
         false,
         {},
         {QStringLiteral("ann"), QStringLiteral("bob")}},
        {"--help", false, Command::help, false, false, false, {}, {}},
        {"-h", false, Command::help, false, false, false, {}, {}},
        {"--version", false, Command::version, false, false, false, {}, {}},
        {"-V", false, Command::version, false, false, false, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const auto parsed = parseCommandLine(split(row.line), row.root);
        const auto* request = std::get_if<ALCommandLineRequest>(&parsed);
        ASSERT_TRUE(request) << std::get<ALUsageError>(parsed).reason.toStdString();
        EXPECT_EQ(request->command, row.command);
        EXPECT_EQ(request->json, row.json);
        EXPECT_EQ(request->all, row.all);
        EXPECT_EQ(request->noPrompt, row.noPrompt);
        EXPECT_EQ(request->applicationPaths, row.paths);
        EXPECT_EQ(request->users, row.users);
    }
}

TEST(CommandLineArgumentsTest, EveryUsageErrorSaysWhyInOneLine)
{
    const struct {
        QStringList arguments;
        bool root;
        const char* reason;  // a part of the reason
    } rows[] = {
        {split("--frobnicate"), false, "unknown option --frobnicate"},
        {split("--list -x"), false, "unknown option -x"},
        {split("--json"), false, "no command"},
        {split("--list --install --all"), false, "one command at a time"},
        {split("--install"), false, "either --all or the paths"},
        {split("--install --all /A.app"), false, "either --all or the paths"},
        {split("--list --all"), false, "go only with --install or --uninstall"},
        {split("--list /A.app"), false, "go only with --install or --uninstall"},
        {split("--help --no-prompt"), false, "go only with --install or --uninstall"},
        {split("--list --dry-run"), false, "go only with --install or --uninstall"},
        {split("--version --user ann"), true, "go only with --list, --install or --uninstall"},
        {split("--install --all --user ann --all-users"), true, "not both"},
        {split("--install --all --user ann --user=ann"), true, "each user once"},
        {split("--list --all-users"), false, "only root"},
        {split("--install --all --user="), true, "--user needs the name"},
        {split("help"), false, "no command"},
        {split("--version --json"), false, "--json goes only with --list, --install or --uninstall"},
        {split("--install --all --user ann"), false, "only root"},
        {split("--list --user ann"), false, "only root"},
        {split("--install --all --user"), true, "--user needs the name"},
        {split("--install --all --user --no-prompt"), true, "--user needs the name"},
        {{QStringLiteral("--uninstall"), QString()}, false, "empty path"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const auto parsed = parseCommandLine(row.arguments, row.root);
        const auto* error = std::get_if<ALUsageError>(&parsed);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->reason.contains(QLatin1String(row.reason))) << error->reason.toStdString();
        EXPECT_FALSE(error->reason.contains(QLatin1Char('\n')));
    }
}

TEST(CommandLineArgumentsTest, ARunEndsWithTheMostPressingStatusItsInstallationsMet)
{
    // Least to most pressing; any other status ranks with a failure.
    const int order[] = {ALExitStatus::done,    ALExitStatus::neverRun, ALExitStatus::acrobatRunning,
                         ALExitStatus::needsAdministrator, ALExitStatus::failed, ALExitStatus::interrupted};
    for (size_t lower = 0; lower < std::size(order); ++lower) {
        for (size_t higher = lower; higher < std::size(order); ++higher) {
            SCOPED_TRACE(::testing::Message() << order[lower] << " and " << order[higher]);
            EXPECT_EQ(worse(order[lower], order[higher]), order[higher]);
            EXPECT_EQ(worse(order[higher], order[lower]), order[higher]);
        }
    }
    EXPECT_EQ(worse(ALExitStatus::busy, ALExitStatus::needsAdministrator), ALExitStatus::busy);
    EXPECT_EQ(worse(ALExitStatus::interrupted, ALExitStatus::busy), ALExitStatus::interrupted);
}
