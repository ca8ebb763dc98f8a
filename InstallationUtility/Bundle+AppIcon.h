#pragma once

#include "Platform/Bundles/Bundle.h"

#include <QImage>
#include <optional>

// The icon a bundle names in its information dictionary.
namespace AppIcon {

std::optional<QString> appIconPath(const Platform::Bundle& bundle);
// The icon image at the size a table row shows, or nothing when there is no such file or it is
// no readable PNG or ICNS image.
std::optional<QImage> appIcon(const Platform::Bundle& bundle);

}  // namespace AppIcon
