#include "tests/support/DelegateHarness.h"

#include <QDir>

class FeedbackPageTest : public DelegateTest {
protected:
    QString a, b;

    void SetUp() override
    {
        DelegateTest::SetUp();
        a = addAcrobat(QStringLiteral("A/Acrobat.app"), QStringLiteral("11.0"));
        b = addAcrobat(QStringLiteral("B/Acrobat.app"), QStringLiteral("10.0"));
    }
    void install(const QString& acrobat)
    {
        Fixtures::makePluginCopy(acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"),
                                 QStringLiteral("2.5"));
    }
    void uninstall(const QString& acrobat)
    {
        QDir(acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin")).removeRecursively();
    }
    // Runs launch discovery, the changes, the last discovery and the end of the run.
    std::vector<QUrl> run(const std::function<void()>& changes)
    {
        ALAppDelegate& d = makeDelegate();
        d.searchForAcrobat();
        changes();
        d.searchForAcrobat();
        d.applicationWillTerminate();
        return fakes.workspace->opened;
    }
};

TEST_F(FeedbackPageTest, OpensOnceWhenCopiesWereOnlyRemoved)
{
    install(a);
    const auto opened = run([&] { uninstall(a); });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.front().scheme(), QStringLiteral("https"));
    EXPECT_EQ(opened.front().path(), QStringLiteral("/foldwise/uninstall/"));
}

TEST_F(FeedbackPageTest, StaysClosedUnlessSomethingWasRemovedAndNothingAdded)
{
    install(a);
    EXPECT_TRUE(run([] {}).empty()) << "nothing changed";
    EXPECT_TRUE(run([&] {
                    uninstall(a);
                    install(a);
                }).empty())
        << "removed and put back";
    EXPECT_TRUE(run([&] {
                    uninstall(a);
                    install(b);
                }).empty())
        << "moved to another installation";
    uninstall(b);
    EXPECT_TRUE(run([&] { install(b); }).empty()) << "installed only";
}

TEST_F(FeedbackPageTest, AnInstallationThatVanishedCountsAsRemoved)
{
    install(a);
    const auto opened = run([&] { fakes.registry->applications.removeAll(a); });
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(FeedbackPageTest, NothingOpensWithoutAStartingSnapshot)
{
    ALAppDelegate& d = makeDelegate();
    d.applicationWillTerminate();
    fakes.registry->applications.clear();
    d.searchForAcrobat();
    d.applicationWillTerminate();
    EXPECT_TRUE(fakes.workspace->opened.empty());
}
