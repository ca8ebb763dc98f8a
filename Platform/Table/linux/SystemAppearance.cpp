#include "Platform/Table/Appearance.h"

namespace Platform {

// Qt's own default font on Linux, and the size it keeps without a desktop that says otherwise.
qreal Appearance::referencePointSize()
{
    return 9;
}

// The desktop's dark and high-contrast choices reach a Qt program as its palette.
Appearance::SystemPreference Appearance::systemPreference()
{
    return {};
}

}  // namespace Platform
