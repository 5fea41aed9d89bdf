// rssvane register [LIBRARY] and rssvane unregister [LIBRARY]: load the
// component's shared library and have it write itself into, or take itself
// out of, the user's class registry. Without LIBRARY the library is looked
// for as the system's loader finds this program's libraries.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Commands.h"
#include "control/ClassRegistry.h"
#include "rssvane/Registration.h"

namespace {

// Where the loader would find soname for this program: LD_LIBRARY_PATH,
// the program's run path, the system's folders, asked of the loader itself.
// A plain dlopen searches as its caller, which is not this program when
// something intercepts dlopen (the sanitizers' runtime does); the system's
// cache of libraries is left to dlopen.
std::string LibraryForThisProgram(const std::string& soname) {
  void* self = ::dlopen(nullptr, RTLD_LAZY);
  Dl_serinfo size;
  if (!self || ::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0) return soname;
  std::unique_ptr<Dl_serinfo, decltype(&std::free)> info(static_cast<Dl_serinfo*>(std::malloc(size.dls_size)),
                                                         &std::free);
  if (!info) return soname;
  *info = size;
  if (::dlinfo(self, RTLD_DI_SERINFO, info.get()) != 0) return soname;
  for (unsigned i = 0; i < info->dls_cnt; ++i) {
    std::string candidate = std::string(info->dls_serpath[i].dls_name) + "/" + soname;
    if (::access(candidate.c_str(), F_OK) == 0) return candidate;
  }
  return soname;
}

int Run(const std::vector<std::string_view>& args, bool registering) {
  const char* command = registering ? "register" : "unregister";
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: rssvane %s [LIBRARY]\n", command);
    return 2;
  }
  const std::string library = args.empty() ? LibraryForThisProgram(RSSVANE_SONAME) : std::string(args[0]);
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
