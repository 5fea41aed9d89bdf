#pragma once

// The makers of the program's real store views, for the main window.

#include "shell/StoreViews.h"

namespace vk {

StoreViewFactories MakeStoreViewFactories();

}  // namespace vk
