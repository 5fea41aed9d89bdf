#pragma once

// The views of which any number may be open (file, message, key pair,
// support request), made for the main window and wired to it: its status
// line, its message boxes, the history, the counters and the help texts.

#include "shell/StoreViews.h"

namespace vk {

class frmMain;

// The factories live as long as the window; the services they hand the
// views are owned by it.
DocumentViewFactories MakeDocumentViewFactories(frmMain& window);

}  // namespace vk
