#include "Platform/Bundles/Workspace.h"

#include <QDesktopServices>

namespace Platform {

bool Workspace::openURL(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

}  // namespace Platform
