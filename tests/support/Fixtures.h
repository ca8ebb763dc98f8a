#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

// Tests that own files as root or act as other users need root, as scripts/test.sh runs them.
// Their suites are named ...AsRoot, which CTest labels "root" (tests/CMakeLists.txt); run as
// anyone else they are skipped, and CTest lists them as not run.
#define FOLDWISE_REQUIRE_ROOT(why)                                                                                     \
    do {                                                                                                               \
        if (!::Fixtures::namesARootSuite(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()))  \
            FAIL() << "a test that needs root belongs to a suite named ...AsRoot, labelled root";                      \
        if (::geteuid() != 0)                                                                                          \
            GTEST_SKIP() << "needs root (" why "): run the suite as root, as scripts/test.sh does";                    \
    } while (false)

// Fixture bundles written into temporary folders.
namespace Fixtures {

inline bool namesARootSuite(const char* suite)
{
    return std::string_view(suite).ends_with("AsRoot");
}

// Writes an XML property list of strings, booleans, integers, lists and dictionaries.
void writePlist(const QString& path, const QVariantMap& root);
void writeFile(const QString& path, const QByteArray& content);
// A shell script of the given body that anyone may run; returns path.
QString writeScript(const QString& path, const QByteArray& body);
// The file's bytes; none when it cannot be read.
QByteArray readFile(const QString& path);

// Every entry below folder, hidden ones and links (not followed) included, as sorted absolute
// paths: two listings are equal exactly when nothing was made or removed in between.
QStringList treeOf(const QString& folder);

// The value in `size` bytes, most significant first.
QByteArray bigEndian(quint64 value, int size);
// Encoded binary property-list objects: an ASCII string, and an array of fewer than 15
// references, each four bytes wide.
QByteArray asciiObject(const QByteArray& text);
QByteArray arrayObject(const std::vector<quint64>& references);
// A binary property list of already encoded objects, the first being the root; offsets are
// four bytes wide, references `refSize` bytes.
QByteArray binaryPlistOf(const std::vector<QByteArray>& objects, int refSize = 4);

// An application bundle at path with the given information dictionary.
void makeBundle(const QString& path, const QVariantMap& info);

// An information dictionary of an application that edits PDF documents.
QVariantMap acrobatInfo(const std::optional<QString>& name, const std::optional<QString>& version,
                        const QString& identifier = QStringLiteral("com.adobe.Acrobat.Pro"));

// An Acrobat bundle at path; returns path.
QString makeAcrobat(const QString& path, const std::optional<QString>& version,
                    const std::optional<QString>& name = QStringLiteral("Adobe Acrobat Pro"),
                    const QString& identifier = QStringLiteral("com.adobe.Acrobat.Pro"));

// A copy of the plug-in bundle at pluginPath whose nested application has the version.
void makePluginCopy(const QString& pluginPath, const std::optional<QString>& version);
// Where, below a plug-in folder, a copy holds the Info.plist that the installer reads back.
inline const QString kCopyInfo =
    QStringLiteral("/Foldwise.acroplugin/Contents/Resources/Foldwise.app/Contents/Info.plist");

// Gives the Acrobat bundle an executable that runs until it is ended (a copy of sleep, which
// takes the seconds to run as its argument); returns its path.
QString makeAcrobatExecutable(const QString& acrobatPath);

// Our own application bundle with the marker document and the plug-in to install.
QString makeMainBundle(const QString& path, const QString& pluginVersion = QStringLiteral("2.5"),
                       bool withPlugin = true, bool withMarker = true);

// The unprivileged user and group that a plain user's process runs as in tests.
inline constexpr uid_t kPlainUser = 65534;

// Runs `work` in a child process that has given up root for kPlainUser (user, group, no
// supplementary groups) and gives back what it returned; none when the child could not drop its
// rights or did not finish. Only root can run it. The child shares nothing with the test but what
// it returns and the file system.
std::optional<QByteArray> runAsPlainUser(const std::function<QByteArray()>& work);

// Gives the user the right to write the folder through a POSIX access control list, beside the
// owner's and the mode's; the owning group keeps reading only. By default: for all that is made
// in the folder from now on.
bool grantWriteByAccessControlList(const QString& folder, uid_t user, bool byDefault = false);

// Gives a tree to the user and group, links included (not followed).
void chownTree(const QString& path, uid_t user);

}  // namespace Fixtures
