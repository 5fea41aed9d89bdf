#pragma once

// The version of the component library a host has loaded.
extern "C" const char* RssvaneFileVersion();
