// Feeds arbitrary bytes to everything that reads an application's Info.plist: the property-list
// reader itself, the folder-scanning registry, and discovery's record building (the bytes are
// both the Acrobat's Info.plist and the Info.plist of a plug-in copy installed inside it).
// Wherever the one-pass XML reader decides on its own, its answer must be the general reader's.

#include "InstallationUtility/ALAppDelegate.h"
#include "Platform/FolderScanRegistry.h"
#include "Platform/PropertyList.h"
#include "Platform/XmlPropertyList.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// On a memory file system when there is one: rewriting a file on disk for every input waits for
// the disk.
QString scratchTemplate()
{
    const QString root = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                            : QDir::tempPath();
    return root + QStringLiteral("/fuzz_info_plist-XXXXXX");
}

struct Scene {
    QTemporaryDir temp{scratchTemplate()};
    QString mainBundle;
    QString applications;
    QString acrobatInfo;
    QString copyInfo;
    QString marker;
    FakeServices fakes;
    std::unique_ptr<ALAppDelegate> delegate;
    std::unique_ptr<Platform::FolderScanRegistry> registry;

    Scene()
    {
        mainBundle = Fixtures::makeMainBundle(temp.filePath(QStringLiteral("Installer.app")));
        marker = mainBundle + QStringLiteral("/Contents/Resources/Marker.pdf");
        applications = temp.filePath(QStringLiteral("Applications"));
        const QString acrobat = applications + QStringLiteral("/Acrobat.app");
        acrobatInfo = acrobat + QStringLiteral("/Contents/Info.plist");
        copyInfo = acrobat
            + QStringLiteral(
                       "/Contents/Plug-ins/Foldwise.acroplugin/Contents/Resources/Foldwise.app/Contents/Info.plist");
        fakes.supportFolders = {temp.filePath(QStringLiteral("Application Support"))};
        fakes.registry->applications = {acrobat};
        delegate = std::make_unique<ALAppDelegate>(fakes.services(mainBundle));
        registry = std::make_unique<Platform::FolderScanRegistry>(QStringList{applications});
    }
};

Scene* scene = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    // Destroyed at exit before the application, taking its temporary folder with it.
    static Scene instance;
    scene = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QVariantMap> read = Platform::PropertyList::dictionaryFromData(bytes);
    // 512 levels of values and the <plist> element around them.
    const auto xml = Platform::XmlPropertyList::read(bytes, 513);
    if (!bytes.startsWith("bplist00") && xml.outcome != Platform::XmlPropertyList::Outcome::Undecided) {
        const std::optional<QVariantMap> general = Platform::PropertyList::xmlDictionaryThroughLibplist(bytes);
        if (read != general) {
            std::fprintf(stderr, "The one-pass XML reader %s what the general reader %s\n", read ? "read" : "refused",
                         general ? "reads" : "refuses");
            std::abort();
        }
    }

    Fixtures::writeFile(scene->acrobatInfo, bytes);
    Fixtures::writeFile(scene->copyInfo, bytes);
    (void)scene->registry->editorApplicationsForDocument(scene->marker);
    scene->delegate->searchForAcrobat();
    return 0;
}
