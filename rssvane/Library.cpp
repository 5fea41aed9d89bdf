#include "rssvane/Version.h"

#include "vk/Version.h"

extern "C" const char* RssvaneFileVersion() { return vk::kRssvaneFileVersion; }
