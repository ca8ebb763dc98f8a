#include "Platform/Table/Appearance.h"

namespace Platform {

// The system font's usual size on macOS.
qreal Appearance::referencePointSize()
{
    return 13;
}

// The palette Qt builds on macOS follows dark appearance and increased contrast already; the
// system's own settings can be read here once this is built on a Mac.
Appearance::SystemPreference Appearance::systemPreference()
{
    return {};
}

}  // namespace Platform
