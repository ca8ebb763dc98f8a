#include "Platform/Bundles/macos/LaunchServicesRegistry.h"

#include "Platform/Files/Paths.h"

#include <QFile>

#include <CoreServices/CoreServices.h>

#include <climits>
#include <utility>

namespace Platform {

namespace {

// Holds one Core Foundation reference and releases it once: it moves, it is never copied.
template <typename T>
struct Released {
    T ref = nullptr;

    explicit Released(T owned) : ref(owned) {}
    Released(Released&& other) noexcept : ref(std::exchange(other.ref, nullptr)) {}
    Released& operator=(Released&& other) noexcept
    {
        std::swap(ref, other.ref);
        return *this;
    }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    ~Released()
    {
        if (ref)
            CFRelease(ref);
    }
};

QString pathOfURL(CFURLRef url)
{
    char buffer[PATH_MAX];
    if (!CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(buffer), sizeof buffer))
        return QString();
    return withoutTrailingSlashes(QFile::decodeName(buffer));
}

}  // namespace

QStringList LaunchServicesRegistry::editorApplicationsForDocument(const QString& documentPath)
{
    const QByteArray encoded = QFile::encodeName(documentPath);
    Released<CFURLRef> document{CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(encoded.constData()), encoded.size(), false)};
    if (!document.ref)
        return {};
    Released<CFArrayRef> applications{LSCopyApplicationURLsForURL(document.ref, kLSRolesEditor)};
    if (!applications.ref)
        return {};
    QStringList paths;
    const CFIndex count = CFArrayGetCount(applications.ref);
    for (CFIndex i = 0; i < count; ++i) {
        const auto url = static_cast<CFURLRef>(CFArrayGetValueAtIndex(applications.ref, i));
        const QString path = pathOfURL(url);
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

}  // namespace Platform
