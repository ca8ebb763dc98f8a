#include "tests/support/DelegateHarness.h"

#include "tests/support/PkexecStandIn.h"

#include <QDir>
#include <QFileInfo>

// Runs the administrator fallback's real command texts through /bin/sh (as the current user, with
// a stand-in for pkexec that simply runs its arguments) against folders whose names hold every
// character a shell treats specially.
class QuotingProofTest : public DelegateTest {
protected:
    QString root;

    void SetUp() override
    {
        DelegateTest::SetUp();
        root = temp.filePath(QStringLiteral("work"));
        QDir().mkpath(root);
    }
};

using Fixtures::treeOf;

TEST_F(QuotingProofTest, CopyAndRemovalActOnExactlyTheNamedItems)
{
    const QStringList awkward{
        QStringLiteral("single'quote"),
        QStringLiteral("double\"quote"),
        QStringLiteral("back\\slash"),
        QStringLiteral("dollar$HOME$(touch dollar-ran)"),
        QStringLiteral("back`touch tick-ran`quote"),
        QStringLiteral("new\nline"),
        QStringLiteral("all '; touch quote-ran; echo ' \"$(touch sub-ran)\" `touch tick2-ran` \\ \n end"),
    };
    ALAppDelegate& d = makeDelegate(pkexecStandIn(temp.filePath(QStringLiteral("pkexec")), kPkexecRunningTheCommand));
    for (const QString& name : awkward) {
        SCOPED_TRACE(name.toStdString());
        const QString source = root + QStringLiteral("/from ") + name + QStringLiteral("/Foldwise.acroplugin");
        const QString folder = root + QStringLiteral("/to ") + name;
        const QString destination = folder + QStringLiteral("/Foldwise.acroplugin");
        Fixtures::makePluginCopy(source, QStringLiteral("2.5"));
        QDir().mkpath(folder);
        fakes.fileManager->failingCopies = {destination};
        fakes.fileManager->failingRemovals = {destination};
        const QStringList before = treeOf(root);

        std::optional<QString> description;
        ASSERT_TRUE(d.rootCopyFile(source, destination, &description)) << description.value_or(QString()).toStdString();
        QStringList expected = before;
        for (const QString& entry : treeOf(source))
            expected.append(destination + entry.mid(source.size()));
        expected.append(destination);
        expected.sort();
        EXPECT_EQ(treeOf(root), expected) << "the copy made exactly the destination tree";

        ASSERT_TRUE(d.rootEraseFile(destination, &description));
        EXPECT_EQ(treeOf(root), before) << "the removal took exactly the destination";
        QDir(root).removeRecursively();
        QDir().mkpath(root);
    }
    EXPECT_EQ(fakes.fileManager->copies.size(), awkward.size());
    EXPECT_TRUE(treeOf(QDir::currentPath()).filter(QStringLiteral("-ran")).isEmpty());
}
