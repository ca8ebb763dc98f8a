// Feeds arbitrary bytes to everything that reads an application's Info.plist: the property-list
// reader itself, the folder-scanning registry, and discovery's record building (the bytes are
// both the Acrobat's Info.plist and the Info.plist of a plug-in copy installed inside it).
// Whatever the reader gives must be within its limits.

#include "InstallationUtility/ALAppDelegate.h"
#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/PropertyList/PropertyList.h"
#include "tests/support/Fakes.h"
#include "tests/support/Fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
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
        copyInfo = acrobat + QStringLiteral("/Contents/Plug-ins") + Fixtures::kCopyInfo;
        fakes.supportFolders = {temp.filePath(QStringLiteral("Application Support"))};
        fakes.registry->applications = {acrobat};
        delegate = std::make_unique<ALAppDelegate>(fakes.services(mainBundle));
        registry = std::make_unique<Platform::FolderScanRegistry>(QStringList{applications});
    }
};

Scene* scene = nullptr;

// What a read gave, counted as the limits count it: keys are values a level below their
// dictionary, and text counts its units.
struct Size {
    int depth = 0;
    quint64 values = 0;
    quint64 bytes = 0;
};

void measure(const QVariant& value, int depth, Size& size)
{
    size.depth = std::max(size.depth, depth);
    ++size.values;
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            measure(it.key(), depth + 1, size);
            measure(it.value(), depth + 1, size);
        }
        break;
    }
    case QMetaType::QVariantList:
        for (const QVariant& item : value.toList())
            measure(item, depth + 1, size);
        break;
    case QMetaType::QString:
        size.bytes += quint64(value.toString().size());
        break;
    case QMetaType::QByteArray:
        size.bytes += quint64(value.toByteArray().size());
        break;
    default:
        break;
    }
}

void checkLimits(const QByteArray& bytes, const std::optional<QVariantMap>& read)
{
    using Platform::PropertyList;
    if (!read)
        return;
    Size size;
    measure(*read, 1, size);
    const bool binary = bytes.startsWith("bplist00");
    const quint64 maxValues = binary ? std::min(quint64(bytes.size()), PropertyList::kMaxBinaryValues)
                                     : quint64(bytes.size());
    const char* broken = bytes.size() > PropertyList::kMaxFileSize     ? "the file size"
        : size.depth > PropertyList::kMaxDepth                         ? "the depth"
        : size.values > maxValues                                      ? "the number of values"
        : binary && size.bytes > PropertyList::kMaxBinaryExpandedBytes ? "the text and data bytes"
                                                                       : nullptr;
    if (broken) {
        std::fprintf(stderr, "A read went beyond %s\n", broken);
        std::abort();
    }
}

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
    checkLimits(bytes, Platform::PropertyList::dictionaryFromData(bytes));

    Fixtures::writeFile(scene->acrobatInfo, bytes);
    Fixtures::writeFile(scene->copyInfo, bytes);
    (void)scene->registry->editorApplicationsForDocument(scene->marker);
    scene->delegate->searchForAcrobat();
    return 0;
}
