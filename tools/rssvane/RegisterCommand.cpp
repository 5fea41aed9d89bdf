// rssvane register [LIBRARY] and rssvane unregister [LIBRARY]: load the
// component's shared library and have it write itself into, or take itself
// out of, the user's class registry. Without LIBRARY the library is looked
// for as the system's loader finds it, beside this program first.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "Commands.h"
#include "control/ClassRegistry.h"
#include "rssvane/Registration.h"

namespace {

int Run(const std::vector<std::string_view>& args, bool registering) {
  const char* command = registering ? "register" : "unregister";
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: rssvane %s [LIBRARY]\n", command);
    return 2;
  }
  const std::string library = args.empty() ? std::string(RSSVANE_SONAME) : std::string(args[0]);
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "rssvane: cannot load %s: %s\n", library.c_str(), ::dlerror());
    return 1;
  }
  const char* entry = registering ? "DllRegisterServer" : "DllUnregisterServer";
  auto run = reinterpret_cast<int32_t (*)()>(::dlsym(handle, entry));
  auto reason = reinterpret_cast<const char* (*)()>(::dlsym(handle, "RssvaneRegistrationError"));
  if (!run) {
    std::fprintf(stderr, "rssvane: %s has no %s\n", library.c_str(), entry);
    ::dlclose(handle);
    return 1;
  }
  const int32_t hr = run();
  if (hr != rssvane::kSOk) {
    std::fprintf(stderr, "rssvane: cannot %s %s (0x%08X): %s\n", command, library.c_str(), static_cast<uint32_t>(hr),
                 reason ? reason() : "no reason given");
    ::dlclose(handle);
    return 1;
  }
  ::dlclose(handle);

  const std::string registryPath = rssvane::ClassRegistryPath();
  if (!registering) {
    std::printf("unregistered Kestrix.RSS from %s\n", registryPath.c_str());
    return 0;
  }
  rssvane::ClassRegistry registry;
  std::string error;
  const std::string* server = nullptr;
  if (rssvane::LoadClassRegistry(registryPath, registry, error)) {
    server = registry.Value("CLSID\\" + rssvane::GuidToText(rssvane::kClsidRSS) + "\\InprocServer32");
  }
  std::printf("registered Kestrix.RSS (%s) in %s\n", server ? server->c_str() : library.c_str(),
              registryPath.c_str());
  return 0;
}

int RunRegister(const std::vector<std::string_view>& args) { return Run(args, true); }
int RunUnregister(const std::vector<std::string_view>& args) { return Run(args, false); }

rssvane_tool::CommandRegistration registerCommand{
    {"register", "register [LIBRARY]    make the control creatable by its ProgIDs for this user", RunRegister}};
rssvane_tool::CommandRegistration unregisterCommand{
    {"unregister", "unregister [LIBRARY]  remove the control from this user's class registry", RunUnregister}};

}  // namespace
