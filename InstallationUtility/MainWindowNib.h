#pragma once

#include "Platform/Application.h"
#include "Platform/Services.h"

// Builds the main window from its description and connects it to a new application delegate.
Platform::LoadedNib loadMainWindowNib(Platform::Services services);
