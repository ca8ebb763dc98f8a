#pragma once

#include "Platform/App/Application.h"
#include "Platform/App/Services.h"

// Builds the main window from its description and connects it to a new application delegate.
Platform::LoadedNib loadMainWindowNib(Platform::Services services);
