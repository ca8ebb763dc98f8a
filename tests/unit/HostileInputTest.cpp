#include "tests/support/DelegateHarness.h"

#include "InstallationUtility/Bundle+AppIcon.h"
#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/PropertyList/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Discovery and the administrator fallback against application folders that someone else
// controls: each case must end with a clear outcome, and the bundles that are fine must still
// be found.
class HostileInputTest : public DelegateTest {
protected:
    // A delegate whose registry really scans the applications folder (and any extra roots).
    ALAppDelegate& scanningDelegate(const QStringList& extraRoots = {})
    {
        return makeDelegate(std::make_shared<Platform::FolderScanRegistry>(QStringList{apps} + extraRoots));
    }

    static QStringList pathsOf(const ALAppDelegate& d)
    {
        QStringList paths;
        for (const QVariantMap& record : d.acrobatInstances())
            paths.append(record.value(ALKey::Path).toString());
        return paths;
    }

    QString acrobat(const QString& relativePath, const QString& version = QStringLiteral("17.0"))
    {
        return Fixtures::makeAcrobat(apps + QLatin1Char('/') + relativePath, version);
    }

    QString marker() const { return mainBundle + QStringLiteral("/Contents/Resources/Marker.pdf"); }

    QStringList fifos;

    void makeFifo(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
        fifos.append(path);
    }

    // Runs `work` while watching the pipes made so far, and gives back those that something
    // opened for reading. A pipe opened that way blocks its reader until a writer comes, so the
    // watcher plays the writer and lets it go: a fault fails the test instead of hanging it.
    QStringList pipesOpenedDuring(const std::function<void()>& work)
    {
        std::atomic<bool> done = false;
        QStringList opened;
        std::vector<QByteArray> paths;
        for (const QString& fifo : fifos)
            paths.push_back(QFile::encodeName(fifo));
        std::thread watcher([&] {
            while (!done) {
                for (size_t i = 0; i < paths.size(); ++i) {
                    const int fd = ::open(paths[i].constData(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0) {
                        ::close(fd);
                        if (!opened.contains(fifos.at(qsizetype(i))))
                            opened.append(fifos.at(qsizetype(i)));
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        work();
        done = true;
        watcher.join();
        return opened;
    }

    static void link(const QString& target, const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0)
            << path.toStdString();
    }
};

namespace {

using Fixtures::arrayObject;
using Fixtures::asciiObject;
using Fixtures::bigEndian;

#if defined(__SANITIZE_ADDRESS__)
#define FOLDWISE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FOLDWISE_ADDRESS_SANITIZER 1
#endif
#endif

const QByteArray kAcrobatIdentity = "<key>CFBundleIdentifier</key><string>com.adobe.Acrobat.Pro</string>"
                                    "<key>CFBundleName</key><string>Adobe Acrobat Pro</string>"
                                    "<key>CFBundleShortVersionString</key><string>17.0</string>";

QByteArray xmlAcrobatInfo(const QByteArray& more)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + kAcrobatIdentity + more
        + "</dict></plist>\n";
}

// A binary Acrobat Info.plist of `count` keys, nearly all of them filler sharing one value.
QByteArray manyKeysBinaryAcrobatInfo(quint64 count)
{
    std::vector<QByteArray> objects{QByteArray()};
    QByteArray keyRefs, valueRefs;
    const QByteArray identity[][2] = {{"CFBundleIdentifier", "com.adobe.Acrobat.Pro"},
                                      {"CFBundleName", "Adobe Acrobat Pro"},
                                      {"CFBundleShortVersionString", "17.0"}};
    for (const auto& [key, value] : identity) {
        keyRefs += bigEndian(objects.size(), 4);
        objects.push_back(asciiObject(key));
        valueRefs += bigEndian(objects.size(), 4);
        objects.push_back(asciiObject(value));
    }
    const quint64 filler = objects.size() - 1;
    for (quint64 i = 3; i < count; ++i) {
        keyRefs += bigEndian(objects.size(), 4);
        objects.push_back(asciiObject("k" + QByteArray::number(i)));
        valueRefs += bigEndian(filler, 4);
    }
    objects[0] = "\xDF\x12" + bigEndian(count, 4) + keyRefs + valueRefs;
    return Fixtures::binaryPlistOf(objects);
}

// How much more than its size when called the process held at its peak, in KB, while `work`
// ran in a child of it; none when the peak cannot be measured here. The child starts with its
// peak reset to what it holds, so what earlier tests held does not count.
std::optional<long> peakGrowthKb(const std::function<void()>& work)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(300);
        const int clear = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
        long grown = -1;
        rusage before{}, after{};
        if (clear >= 0 && ::write(clear, "5", 1) == 1 && ::getrusage(RUSAGE_SELF, &before) == 0) {
            work();
            if (::getrusage(RUSAGE_SELF, &after) == 0)
                grown = after.ru_maxrss - before.ru_maxrss;
        }
        const bool written = ::write(pipe[1], &grown, sizeof grown) == sizeof grown;
        ::_exit(written ? 0 : 1);
    }
    ::close(pipe[1]);
    long grown = -1;
    const bool read = child > 0 && ::read(pipe[0], &grown, sizeof grown) == sizeof grown;
    ::close(pipe[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || grown < 0)
        return std::nullopt;
    return grown;
}

// A binary Acrobat Info.plist whose "Deep" entry is `levels` arrays, each inside the last.
QByteArray deepBinaryAcrobatInfo(int levels)
{
    std::vector<QByteArray> objects;
    objects.push_back("\xD2" + bigEndian(1, 4) + bigEndian(2, 4) + bigEndian(3, 4) + bigEndian(4, 4));
    objects.push_back(asciiObject("CFBundleIdentifier"));
    objects.push_back(asciiObject("Deep"));
    objects.push_back(asciiObject("com.adobe.Acrobat.Pro"));
    for (int level = 0; level < levels - 1; ++level)
        objects.push_back(arrayObject({quint64(5 + level)}));
    objects.push_back(arrayObject({}));
    return Fixtures::binaryPlistOf(objects);
}

// An XML Acrobat Info.plist whose "Deep" entry is `levels` arrays, each inside the last.
QByteArray deepXmlAcrobatInfo(int levels)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>com.adobe.Acrobat.Pro</string>"
           "<key>CFBundleDocumentTypes</key><array><dict><key>CFBundleTypeRole</key><string>Editor</string>"
           "<key>CFBundleTypeExtensions</key><array><string>pdf</string></array></dict></array><key>Deep</key>"
        + QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels) + "</dict></plist>\n";
}

// Makes a folder and writes a file through raw byte names, which QString cannot always carry.
void writeRawFile(const std::string& folder, const std::string& name, const QByteArray& content)
{
    for (size_t slash = 0; (slash = folder.find('/', slash + 1)) != std::string::npos;)
        ::mkdir(folder.substr(0, slash).c_str(), 0755);
    ::mkdir(folder.c_str(), 0755);
    const int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << folder << "/" << name;
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
}

}  // namespace

TEST_F(HostileInputTest, ThousandsOfFoldersHideExactlyTheirBundles)
{
    QStringList acrobats;
    QStringList otherEditors;
    for (int i = 0; i < 3000; ++i) {
        const QString folder = apps + QStringLiteral("/Folder %1").arg(i, 4, 10, QLatin1Char('0'));
        ASSERT_TRUE(QDir().mkpath(folder));
        if (i % 100 == 7)
            acrobats.append(acrobat(QStringLiteral("Folder %1/Acrobat.app").arg(i, 4, 10, QLatin1Char('0'))));
        if (i % 300 == 11) {
            otherEditors.append(folder + QStringLiteral("/Preview.app"));
            Fixtures::makeBundle(otherEditors.last(),
                                 Fixtures::acrobatInfo(QStringLiteral("Preview"), QStringLiteral("1"),
                                                       QStringLiteral("com.example.Preview")));
        }
        if (i % 500 == 13) {
            ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/Empty.app")));
        }
    }
    QStringList editors = acrobats + otherEditors;
    editors.sort();

    EXPECT_EQ(Platform::FolderScanRegistry({apps}).editorApplicationsForDocument(marker()), editors);
    ALAppDelegate& d = scanningDelegate();
    d.searchForAcrobat();
    EXPECT_EQ(pathsOf(d), acrobats);
}

TEST_F(HostileInputTest, EntriesThatAreNotWhatTheyClaimAreSkippedWithoutBlocking)
{
    const QString good = acrobat(QStringLiteral("Good.app"));
    // Names that look like folders or bundles but are not.
    link(apps + QStringLiteral("/Nowhere"), apps + QStringLiteral("/Dangling.app"));
    link(apps + QStringLiteral("/Nowhere"), apps + QStringLiteral("/Dangling"));
    makeFifo(apps + QStringLiteral("/Pipe.app"));
    makeFifo(apps + QStringLiteral("/Pipe"));
    Fixtures::writeFile(apps + QStringLiteral("/File.app"), "not a folder");
    Fixtures::writeFile(apps + QStringLiteral("/Folder"), "not a folder");
    // Bundles whose parts are not what they claim.
    Fixtures::writeFile(apps + QStringLiteral("/ContentsIsAFile.app/Contents"), "not a folder");
    ASSERT_TRUE(QDir().mkpath(apps + QStringLiteral("/InfoIsAFolder.app/Contents/Info.plist")));
    makeFifo(apps + QStringLiteral("/InfoIsAPipe.app/Contents/Info.plist"));
    makeFifo(apps + QStringLiteral("/Elsewhere/pipe"));
    link(apps + QStringLiteral("/Elsewhere/pipe"), apps + QStringLiteral("/InfoLinksToAPipe.app/Contents/Info.plist"));
    link(QStringLiteral("/dev/zero"), apps + QStringLiteral("/InfoIsADevice.app/Contents/Info.plist"));
    link(QStringLiteral("Info.plist"), apps + QStringLiteral("/InfoIsALoop.app/Contents/Info.plist"));
    link(QStringLiteral("Contents"), apps + QStringLiteral("/ContentsIsALoop.app/Contents"));
    // Acrobats whose icon or installed copy is a pipe: found, without the icon or the copy's details.
    QVariantMap info = Fixtures::acrobatInfo(QStringLiteral("Adobe Acrobat Pro"), QStringLiteral("11.0"));
    info.insert(QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon.png"));
    const QString iconIsAPipe = apps + QStringLiteral("/IconIsAPipe.app");
    Fixtures::makeBundle(iconIsAPipe, info);
    makeFifo(iconIsAPipe + QStringLiteral("/Contents/Resources/AppIcon.png"));
    // An SVG icon that needs fonts and names a pipe: never decoded, so nothing else is opened.
    info.insert(QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon.svg"));
    const QString iconIsSvg = apps + QStringLiteral("/IconIsSvg.app");
    Fixtures::makeBundle(iconIsSvg, info);
    makeFifo(apps + QStringLiteral("/Elsewhere/image"));
    Fixtures::writeFile(iconIsSvg + QStringLiteral("/Contents/Resources/AppIcon.svg"),
                        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\"><text y=\"9\">A</text>"
                        "<image href=\""
                            + QFile::encodeName(apps) + "/Elsewhere/image\" width=\"9\" height=\"9\"/></svg>");
    const QString copyIsAPipe = acrobat(QStringLiteral("CopyIsAPipe.app"), QStringLiteral("11.0"));
    makeFifo(copyIsAPipe + QStringLiteral("/Contents/Plug-ins") + Fixtures::kCopyInfo);
    // Application folders that cannot be listed.
    const QString fileRoot = temp.filePath(QStringLiteral("file-root"));
    Fixtures::writeFile(fileRoot, "not a folder");
    const QString pipeRoot = temp.filePath(QStringLiteral("pipe-root"));
    makeFifo(pipeRoot);
    const QString danglingRoot = temp.filePath(QStringLiteral("dangling-root"));
    link(temp.filePath(QStringLiteral("nowhere")), danglingRoot);

    ALAppDelegate& d = scanningDelegate({fileRoot, pipeRoot, danglingRoot, temp.filePath(QStringLiteral("missing"))});
    const QStringList opened = pipesOpenedDuring([&] { d.searchForAcrobat(); });
    EXPECT_TRUE(opened.isEmpty()) << "discovery opened pipes: " << opened.join(QStringLiteral(", ")).toStdString();
    ASSERT_EQ(pathsOf(d), (QStringList{copyIsAPipe, good, iconIsAPipe, iconIsSvg}));
    const QVariantMap copyRecord = d.acrobatInstances().at(0);
    EXPECT_EQ(copyRecord.value(ALKey::FW).toList().size(), 1) << "the copy is there, its details are not";
    EXPECT_FALSE(copyRecord.value(ALKey::FW).toList().first().toMap().contains(ALKey::Version));
    EXPECT_FALSE(d.acrobatInstances().at(2).contains(ALKey::Icon));
    EXPECT_FALSE(d.acrobatInstances().at(3).contains(ALKey::Icon));
}

TEST_F(HostileInputTest, LinkLoopsAreNeitherFollowedNorFatal)
{
    const QString good = acrobat(QStringLiteral("Nested/Good.app"));
    link(QStringLiteral("."), apps + QStringLiteral("/a"));
    link(QStringLiteral("a"), apps + QStringLiteral("/b"));
    link(QStringLiteral(".."), apps + QStringLiteral("/Nested/up"));
    link(QStringLiteral("Loop.app"), apps + QStringLiteral("/Loop.app"));
    link(apps + QStringLiteral("/Nested/Good.app"), apps + QStringLiteral("/Alias.app"));
    // The registry may still hand out paths that loop; they are no bundles.
    ALAppDelegate& d = scanningDelegate();
    d.searchForAcrobat();
    EXPECT_EQ(pathsOf(d), QStringList{good});

    fakes.registry->applications = {apps + QStringLiteral("/Loop.app"),
                                    apps + QStringLiteral("/b/b/b/Nested/Good.app")};
    // A support folder that loops holds no installed copy.
    const QString loopingSupport = temp.filePath(QStringLiteral("LoopingSupport"));
    link(QStringLiteral("LoopingSupport"), loopingSupport);
    fakes.supportFolders = {loopingSupport};
    ALAppDelegate& viaLinks = makeDelegate();
    viaLinks.searchForAcrobat();
    ASSERT_EQ(pathsOf(viaLinks), QStringList{apps + QStringLiteral("/b/b/b/Nested/Good.app")});
    EXPECT_FALSE(viaLinks.acrobatInstances().first().contains(ALKey::FW));
}

TEST_F(HostileInputTest, DamagedPropertyListsCostOnlyTheirOwnBundle)
{
    const QString before = acrobat(QStringLiteral("A Good.app"));
    const QString after = acrobat(QStringLiteral("Z Good.app"));
    auto info = [this](const QString& name) {
        return apps + QLatin1Char('/') + name + QStringLiteral("/Contents/Info.plist");
    };
    Fixtures::writeFile(info(QStringLiteral("Empty.app")), QByteArray());
    Fixtures::writeFile(info(QStringLiteral("Garbage.app")), QByteArray("\x89PNG\r\n\x1a\n\0\0garbage", 18));
    Fixtures::writeFile(info(QStringLiteral("Truncated.app")), deepXmlAcrobatInfo(3).left(200));
    Fixtures::writeFile(info(QStringLiteral("DeepXml.app")), deepXmlAcrobatInfo(100'000));
    Fixtures::writeFile(info(QStringLiteral("DeepBinary.app")), deepBinaryAcrobatInfo(100'000));
    // The same, nested a little: Acrobats, so that only the depth keeps the deep ones out.
    const QString shallowXml = apps + QStringLiteral("/ShallowXml.app");
    Fixtures::writeFile(info(QStringLiteral("ShallowXml.app")), deepXmlAcrobatInfo(10));
    const QString shallowBinary = apps + QStringLiteral("/ShallowBinary.app");
    Fixtures::writeFile(info(QStringLiteral("ShallowBinary.app")), deepBinaryAcrobatInfo(10));
    // Garbage as large as we read at all, so that the parsers see it.
    QByteArray noise(Platform::PropertyList::kMaxFileSize - 16, '\0');
    quint32 state = 12345;
    for (char& byte : noise)
        byte = char((state = state * 1103515245u + 12345u) >> 24);
    Fixtures::writeFile(info(QStringLiteral("HugeGarbage.app")), "bplist00" + noise);
    Fixtures::writeFile(info(QStringLiteral("HugeXmlGarbage.app")), "<plist><dict>" + noise);
    {
        // 1 GB that takes no room: far over what we read at all.
        Fixtures::writeFile(info(QStringLiteral("Sparse.app")), "<plist>");
        QFile sparse(info(QStringLiteral("Sparse.app")));
        ASSERT_TRUE(sparse.open(QIODevice::ReadWrite) && sparse.resize(qint64(1) << 30));
    }
    // Nearly as large as we read at all, and a fine Info.plist: found like any other.
    QVariantMap huge = Fixtures::acrobatInfo(QStringLiteral("Adobe Acrobat Pro"), QStringLiteral("17.0"));
    huge.insert(QStringLiteral("Padding"), QString(Platform::PropertyList::kMaxFileSize - 4096, QLatin1Char('x')));
    const QString hugeButFine = apps + QStringLiteral("/Huge.app");
    Fixtures::makeBundle(hugeButFine, huge);

    ALAppDelegate& d = scanningDelegate();
    d.searchForAcrobat();
    EXPECT_EQ(pathsOf(d), (QStringList{before, hugeButFine, shallowXml, after}));

    // Handed straight to discovery, the damaged ones are no Acrobats either. (The binary ones
    // claim no document types, so only this way do they reach discovery.)
    for (const char* name : {"Empty.app", "Garbage.app", "Truncated.app", "DeepXml.app", "DeepBinary.app",
                             "ShallowBinary.app", "HugeGarbage.app", "HugeXmlGarbage.app", "Sparse.app"})
        fakes.registry->applications.append(apps + QLatin1Char('/') + QLatin1String(name));
    ALAppDelegate& direct = makeDelegate();
    direct.searchForAcrobat();
    EXPECT_EQ(pathsOf(direct), QStringList{shallowBinary});
}

TEST_F(HostileInputTest, CraftedPropertyListsCostTheirMemoryOneAtATime)
{
    // Each within what one file may hold, and many times its size in memory.
    QByteArray manyXmlKeys;
    for (int i = 0; i < 40'000; ++i)
        manyXmlKeys += "<key>k" + QByteArray::number(i) + "</key><true/>";
    const QByteArray crafted[] = {
        manyKeysBinaryAcrobatInfo(50'000),
        xmlAcrobatInfo(manyXmlKeys),
        xmlAcrobatInfo("<key>Long</key><string>" + QByteArray(Platform::PropertyList::kMaxFileSize - 1024, 'x')
                       + "</string>"),
    };
    for (int i = 0; i < 100; ++i) {
        const QString path = apps + QStringLiteral("/Crafted %1.app").arg(i);
        Fixtures::writeFile(path + QStringLiteral("/Contents/Info.plist"), crafted[i % 3]);
        fakes.registry->applications.append(path);
    }
    ALAppDelegate& d = makeDelegate();
    const std::optional<long> grownKb = peakGrowthKb([&] {
        d.searchForAcrobat();
        if (d.acrobatInstances().size() != 100)
            ::_exit(2);
    });
    ASSERT_TRUE(grownKb.has_value()) << "discovery did not find every bundle, or the peak cannot be measured";
#ifndef FOLDWISE_ADDRESS_SANITIZER  // its quarantine keeps what was freed
    EXPECT_LT(*grownKb, 128 * 1024);
#endif
}

TEST_F(HostileInputTest, NamesThatAreNotUtf8AreSkippedAndTheRestIsFound)
{
    const QString good = acrobat(QStringLiteral("Good.app"));
    const std::string root = QFile::encodeName(apps).toStdString();
    const QByteArray acrobatInfo = [] {
        QTemporaryDir scratch;
        Fixtures::makeAcrobat(scratch.filePath(QStringLiteral("A.app")), QStringLiteral("11.0"));
        return Fixtures::readFile(scratch.filePath(QStringLiteral("A.app/Contents/Info.plist")));
    }();
    ASSERT_FALSE(acrobatInfo.isEmpty());
    const std::string badBundle = root + "/Acrobat \xff\xfe.app";
    const std::string badFolder = root + "/Folder \xc3\x28";
    // Sorts before its look-alike and before a bundle between the two.
    const std::string badFirst = root + "/Acrobat \xc3\x28.app";
    // QTemporaryDir cannot name these to remove them.
    const std::shared_ptr<void> cleanUp(nullptr, [&](void*) {
        std::error_code ignored;
        for (const std::string& bad : {badBundle, badFolder, badFirst})
            std::filesystem::remove_all(bad, ignored);
    });
    writeRawFile(badBundle + "/Contents", "Info.plist", acrobatInfo);
    writeRawFile(badFolder + "/Inner.app/Contents", "Info.plist", acrobatInfo);
    writeRawFile(badFirst + "/Contents", "Info.plist", acrobatInfo);
    // The names Qt reads the bad ones as; each is a bundle of its own and must be found once,
    // in its own place.
    const QString lookalike = acrobat(QStringLiteral("Acrobat \uFFFD\uFFFD.app"), QStringLiteral("15.0"));
    const QString lookalikeOfFirst = acrobat(QStringLiteral("Acrobat \uFFFD(.app"), QStringLiteral("15.0"));
    const QString between = acrobat(QStringLiteral("Acrobat \u0410.app"));

    ALAppDelegate& d = scanningDelegate();
    d.searchForAcrobat();
    ASSERT_EQ(pathsOf(d), (QStringList{between, lookalikeOfFirst, lookalike, good}));
    EXPECT_EQ(d.acrobatInstances().at(2).value(ALKey::Version).toString(), QStringLiteral("15.0"));
}

TEST_F(HostileInputTest, IconNamesCannotLeadOutOfTheBundle)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(apps));
    ASSERT_TRUE(image.save(apps + QStringLiteral("/outside.png")));
    const struct {
        QString iconFile;
        bool loads;
    } cases[] = {
        {QStringLiteral("AppIcon.png"), true},
        {QStringLiteral("../../../outside.png"), false},
        {apps + QStringLiteral("/outside.png"), false},
        {QStringLiteral("../Resources/AppIcon.png"), false},
        {QStringLiteral("."), false},
        {QStringLiteral(".."), false},
        // Links in Resources, made below: to another resource, to a file and a folder outside.
        {QStringLiteral("Alias.png"), true},
        {QStringLiteral("Outside.png"), false},
        {QStringLiteral("Linked/outside.png"), false},
    };
    const QString bundle = apps + QStringLiteral("/Icon.app");
    const QString resources = bundle + QStringLiteral("/Contents/Resources/");
    ASSERT_TRUE(QDir().mkpath(resources));
    ASSERT_TRUE(image.save(resources + QStringLiteral("AppIcon.png")));
    ASSERT_TRUE(QFile::link(QStringLiteral("AppIcon.png"), resources + QStringLiteral("Alias.png")));
    ASSERT_TRUE(QFile::link(apps + QStringLiteral("/outside.png"), resources + QStringLiteral("Outside.png")));
    ASSERT_TRUE(QFile::link(apps, resources + QStringLiteral("Linked")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iconFile.toStdString());
        QVariantMap info = Fixtures::acrobatInfo(QStringLiteral("Adobe Acrobat Pro"), QStringLiteral("17.0"));
        info.insert(QStringLiteral("CFBundleIconFile"), c.iconFile);
        Fixtures::makeBundle(bundle, info);
        EXPECT_EQ(AppIcon::appIcon(Platform::Bundle(bundle)).has_value(), c.loads);
    }
}

TEST_F(HostileInputTest, APipeSwappedInForAFileNeverBlocksItsReader)
{
    // The Info.plist and the icon trade places with a pipe over and over, so that some reads
    // find a file at the first look and a pipe when they open it.
    QVariantMap info = Fixtures::acrobatInfo(QStringLiteral("Adobe Acrobat Pro"), QStringLiteral("17.0"));
    info.insert(QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon.png"));
    const QString bundle = apps + QStringLiteral("/Swapped.app");
    Fixtures::makeBundle(bundle, info);
    const QString infoPath = bundle + QStringLiteral("/Contents/Info.plist");
    const QString iconPath = bundle + QStringLiteral("/Contents/Resources/AppIcon.png");
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(iconPath).path()));
    ASSERT_TRUE(image.save(iconPath));
    const QString spare = temp.filePath(QStringLiteral("spare"));
    QFile::copy(infoPath, temp.filePath(QStringLiteral("info")));
    QFile::copy(iconPath, temp.filePath(QStringLiteral("icon")));
    makeFifo(temp.filePath(QStringLiteral("pipe")));
    auto encoded = [this](const char* name) {
        return QFile::encodeName(temp.filePath(QLatin1String(name))).toStdString();
    };
    const std::string originals[] = {encoded("info"), encoded("icon")};
    const std::string targets[] = {QFile::encodeName(infoPath).toStdString(),
                                   QFile::encodeName(iconPath).toStdString()};
    const std::string pipe = encoded("pipe");
    const std::string link = QFile::encodeName(spare).toStdString();

    // In a child, so that a reader that blocks is ended by the alarm instead of hanging the test.
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(60);
        std::atomic<bool> done = false;
        std::thread swapper([&] {
            for (unsigned round = 0; !done; ++round) {
                for (int i = 0; i < 2; ++i) {
                    ::unlink(link.c_str());
                    ::link(round % 2 ? pipe.c_str() : originals[i].c_str(), link.c_str());
                    ::rename(link.c_str(), targets[i].c_str());
                }
            }
        });
        int loaded = 0;
        for (int i = 0; i < 50000; ++i) {
            const Platform::Bundle swapped(bundle);
            loaded += swapped.bundleIdentifier().has_value() + AppIcon::appIcon(swapped).has_value();
        }
        done = true;
        swapper.join();
        ::_exit(loaded > 0 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the reader was ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "nothing was ever read";
}
