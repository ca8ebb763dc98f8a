#include "tests/support/DelegateHarness.h"

class FolderRulesTest : public DelegateTest {};

TEST_F(FolderRulesTest, FolderAndPluginPathForEachVersionAndPlace)
{
    const QString AS = QStringLiteral("/Users/me/Library/Application Support");
    fakes.supportFolders = {AS, QStringLiteral("/ignored")};
    ALAppDelegate& d = makeDelegate();
    const struct {
        const char* path;
        unsigned version;
        QString folder;
    } rows[] = {
        {"/Applications/Adobe Acrobat DC/Acrobat.app", 15, AS + "/Adobe/Acrobat/DC/Plug-Ins"},
        {"/Applications/Acrobat 2015/Acrobat.app", 15, AS + "/Adobe/Acrobat/2015/Plug-Ins"},
        {"/Applications/Acrobat 2017/Acrobat.app", 17, AS + "/Adobe/Acrobat/2017/Plug-Ins"},
        {"/Applications/Adobe Acrobat DC/Acrobat.app", 19, AS + "/Adobe/Acrobat/DC/Plug-Ins"},
        {"/Applications/Acrobat 2020/Acrobat.app", 20, AS + "/Adobe/Acrobat/2020/Plug-Ins"},
        {"/Applications/Acrobat 11/Acrobat.app", 11, "/Applications/Acrobat 11/Acrobat.app/Contents/Plug-ins"},
        {"/Applications/Adobe Acrobat DC/Acrobat.app", 14,
         "/Applications/Adobe Acrobat DC/Acrobat.app/Contents/Plug-ins"},
        {"/Applications/adobe acrobat dc/Acrobat.app", 15, AS + "/Adobe/Acrobat/2015/Plug-Ins"},
        {"/P", 0, "/P/Contents/Plug-ins"},
    };
    for (const auto& row : rows) {
        const QString path = QString::fromUtf8(row.path);
        EXPECT_EQ(d.pluginsFoldersForAcrobatPath(path, row.version), QStringList{row.folder})
            << row.path << " " << row.version;
        EXPECT_EQ(d.fwPathForAcrobatPath(path, row.version),
                  QStringList{row.folder + QStringLiteral("/Foldwise.acroplugin")});
    }
}

TEST_F(FolderRulesTest, NoSupportFolderGivesNoFolderRatherThanARelativeOne)
{
    fakes.supportFolders = {};
    ALAppDelegate& d = makeDelegate();
    EXPECT_TRUE(d.pluginsFoldersForAcrobatPath(QStringLiteral("/A/Acrobat.app"), 17).isEmpty());
    EXPECT_TRUE(d.fwPathForAcrobatPath(QStringLiteral("/A/Acrobat.app"), 17).isEmpty());
    EXPECT_EQ(d.pluginsFoldersForAcrobatPath(QStringLiteral("/A/Acrobat.app"), 11),
              QStringList{QStringLiteral("/A/Acrobat.app/Contents/Plug-ins")});
}

TEST_F(FolderRulesTest, PluginPathJoinsWithOneSlash)
{
    ALAppDelegate& d = makeDelegate();
    EXPECT_EQ(d.pluginPathFromFolderPath(QStringLiteral("/x/Plug-Ins")),
              QStringLiteral("/x/Plug-Ins/Foldwise.acroplugin"));
    EXPECT_EQ(d.pluginPathFromFolderPath(QStringLiteral("/x/Plug-Ins/")),
              QStringLiteral("/x/Plug-Ins/Foldwise.acroplugin"));
}
