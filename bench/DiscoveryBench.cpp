// Discovery over N registered application bundles (one in ten an Acrobat), against the least a
// discovery has to do: walk the same folders and parse every bundle's Info.plist.

#include "InstallationUtility/ALAppDelegate.h"
#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/PropertyList/PropertyList.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Applications folders as people have them: bundles at the top and in a few subfolders, each with
// an Info.plist of the usual size.
struct Tree {
    QTemporaryDir temp;
    QString mainBundle;
    QString applications;
    QString support;
    int acrobats = 0;

    explicit Tree(int bundles)
    {
        mainBundle = Fixtures::makeMainBundle(temp.filePath(QStringLiteral("Installer.app")));
        applications = temp.filePath(QStringLiteral("Applications"));
        support = temp.filePath(QStringLiteral("Application Support"));
        for (int i = 0; i < bundles; ++i) {
            const QString folder = i % 4 == 0 ? applications : applications + QStringLiteral("/Group %1").arg(i % 7);
            const bool acrobat = i % 10 == 0;
            const QString path =
                folder + (acrobat ? QStringLiteral("/Acrobat %1.app") : QStringLiteral("/App %1.app")).arg(i);
            QVariantMap info = Fixtures::acrobatInfo(
                acrobat ? QStringLiteral("Adobe Acrobat Pro") : QStringLiteral("App"),
                acrobat ? QStringLiteral("%1.0").arg(11 + i % 9) : QStringLiteral("1.0"),
                acrobat ? QStringLiteral("com.adobe.Acrobat.Pro") : QStringLiteral("com.example.app%1").arg(i));
            QVariantList types;
            for (const char* extension : {"txt", "rtf", "html", acrobat ? "pdf" : "md"}) {
                types.append(
                    QVariantMap{{QStringLiteral("CFBundleTypeRole"), QStringLiteral("Editor")},
                                {QStringLiteral("CFBundleTypeExtensions"), QStringList{QString::fromLatin1(extension)}},
                                {QStringLiteral("CFBundleTypeName"), QStringLiteral("Document")}});
            }
            info.insert(QStringLiteral("CFBundleDocumentTypes"), types);
            info.insert(QStringLiteral("CFBundleVersion"), QStringLiteral("1234"));
            info.insert(QStringLiteral("CFBundleDevelopmentRegion"), QStringLiteral("en"));
            info.insert(QStringLiteral("LSMinimumSystemVersion"), QStringLiteral("10.13"));
            info.insert(QStringLiteral("NSHumanReadableCopyright"),
                        QStringLiteral("Copyright 2024 Example. All rights reserved."));
            Fixtures::makeBundle(path, info);
            Fixtures::writeFile(path + QStringLiteral("/Contents/MacOS/Executable"), "x");
            acrobats += acrobat;
        }
    }
};

Tree& treeOf(int bundles)
{
    static std::map<int, std::unique_ptr<Tree>> trees;
    auto& tree = trees[bundles];
    if (!tree)
        tree = std::make_unique<Tree>(bundles);
    return *tree;
}

void BM_Discovery(benchmark::State& state)
{
    Tree& tree = treeOf(int(state.range(0)));
    FakeServices fakes;
    fakes.supportFolders = {tree.support};
    Platform::Services services = fakes.services(tree.mainBundle);
    services.applicationRegistry = std::make_shared<Platform::FolderScanRegistry>(QStringList{tree.applications});
    ALAppDelegate delegate(services);
    for (auto _ : state) {
        delegate.searchForAcrobat();
        if (delegate.acrobatInstances().size() != tree.acrobats)
            state.SkipWithError("discovery found the wrong number of Acrobats");
    }
    state.counters["bundles"] = double(state.range(0));
}

// The two halves of discovery on their own: the registry's scan, and building the records of
// the Acrobats it found.
void BM_RegistryScan(benchmark::State& state)
{
    Tree& tree = treeOf(int(state.range(0)));
    Platform::FolderScanRegistry registry({tree.applications});
    const QString marker = tree.mainBundle + QStringLiteral("/Contents/Resources/Marker.pdf");
    for (auto _ : state) {
        if (registry.editorApplicationsForDocument(marker).size() != tree.acrobats)
            state.SkipWithError("the scan found the wrong number of editors");
    }
}

void BM_RecordBuilding(benchmark::State& state)
{
    Tree& tree = treeOf(int(state.range(0)));
    FakeServices fakes;
    fakes.supportFolders = {tree.support};
    fakes.registry->applications =
        Platform::FolderScanRegistry({tree.applications})
            .editorApplicationsForDocument(tree.mainBundle + QStringLiteral("/Contents/Resources/Marker.pdf"));
    ALAppDelegate delegate(fakes.services(tree.mainBundle));
    for (auto _ : state) {
        delegate.searchForAcrobat();
        if (delegate.acrobatInstances().size() != tree.acrobats)
            state.SkipWithError("discovery found the wrong number of Acrobats");
    }
}

// Reading one of those Info.plists from memory, as XML (argument 0) or converted to binary (1):
// ours, and libplist's parse alone.
QByteArray sampleInfoPlist(bool binary)
{
    Tree& tree = treeOf(10);
    QFile file(tree.applications + QStringLiteral("/Acrobat 0.app/Contents/Info.plist"));
    const QByteArray xml = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!binary)
        return xml;
    plist_t root = nullptr;
    plist_from_memory(xml.constData(), uint32_t(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray converted(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(root);
    return converted;
}

void BM_ParseOurs(benchmark::State& state)
{
    const QByteArray bytes = sampleInfoPlist(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(Platform::PropertyList::dictionaryFromData(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_ParseLibplist(benchmark::State& state)
{
    const QByteArray bytes = sampleInfoPlist(state.range(0) != 0);
    for (auto _ : state) {
        plist_t root = nullptr;
        plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
        benchmark::DoNotOptimize(root);
        plist_free(root);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The walk the registry does, with nothing but readdir, lstat, read and libplist.
void plainWalk(const std::string& folder, int depth, int& parsed)
{
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return;
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(directory)) {
        const std::string name = item->d_name;
        struct stat info;
        if (name != "." && name != ".." && ::lstat((folder + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            names.push_back(name);
    }
    ::closedir(directory);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        if (!name.ends_with(".app")) {
            if (depth < 8)
                plainWalk(path, depth + 1, parsed);
            continue;
        }
        const int fd = ::open((path + "/Contents/Info.plist").c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        std::string bytes;
        char buffer[16384];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, size_t(n));
        ::close(fd);
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
        if (root) {
            ++parsed;
            plist_free(root);
        }
    }
}

void BM_PlainWalk(benchmark::State& state)
{
    Tree& tree = treeOf(int(state.range(0)));
    const std::string root = QFile::encodeName(tree.applications).toStdString();
    for (auto _ : state) {
        int parsed = 0;
        plainWalk(root, 1, parsed);
        if (parsed != state.range(0))
            state.SkipWithError("the walk parsed the wrong number of bundles");
    }
    state.counters["bundles"] = double(state.range(0));
}

}  // namespace

BENCHMARK(BM_Discovery)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWalk)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegistryScan)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordBuilding)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseLibplist)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
