// Self-registration: what DllRegisterServer writes into the per-user class
// registry, and what DllUnregisterServer takes out again.
#include <dlfcn.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <exception>
#include <string>

#include "base/AsciiText.h"
#include "base/FileWrite.h"
#include "control/ClassRegistry.h"
#include "rssvane/Registration.h"

namespace rssvane {

namespace {

constexpr std::string_view kDisplayName = "Kestrix RSS Control";
constexpr std::string_view kTypeLibraryName = "RSSLib";
constexpr std::string_view kVersionedProgId = "Kestrix.RSS.1";
constexpr std::string_view kIndependentProgId = "Kestrix.RSS";
// The ProgID of the component's sixth version, kept so that hosts written
// for it find the class.
constexpr std::string_view kFormerProgId = "Kestrix6.RSS";
constexpr std::array<std::string_view, 3> kProgIds = {kIndependentProgId, kVersionedProgId, kFormerProgId};

thread_local std::string lastError;

std::string Join(std::string_view a, std::string_view b) { return std::string(a) + "\\" + std::string(b); }

// The file this code runs from, as an absolute path, checked to be a shared
// library that the process has loaded: the same code built into a program
// has no library to register.
bool OwnLibrary(std::string& path, std::string& error) {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname || !*info.dli_fname) {
    error = "cannot tell which file this library was loaded from";
    return false;
  }
  // The folder without "." or ".." or links, the name as loaded: the
  // soname's link keeps working when the library is updated.
  path = info.dli_fname;
  char folder[PATH_MAX];
  if (!::realpath(FolderOf(path).c_str(), folder)) {
    error = "cannot find the folder of " + path;
    return false;
  }
  const size_t slash = path.rfind('/');
  path = std::string(folder) + (folder[1] ? "/" : "") + path.substr(slash == std::string::npos ? 0 : slash + 1);
  void* loaded = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!loaded) {
    error = path + " is not a shared library loaded by this process: only librssvane.so registers itself";
    return false;
  }
  ::dlclose(loaded);
  return true;
}

void RemoveRegistration(ClassRegistry& registry) {
  const std::string clsid = GuidToText(kClsidRSS);
  registry.DeleteTree(Join("CLSID", clsid));
  registry.DeleteTree(Join(Join("TypeLib", GuidToText(kLibidRSSLib)), "1.0"));
  // A ProgID that another class has taken over since is that class's now.
  for (std::string_view progId : kProgIds) {
    const std::string* owner = registry.Value(Join(progId, "CLSID"));
    if (!owner || EqualsIgnoreCase(*owner, clsid)) registry.DeleteTree(progId);
  }
}

// The keys of the class, its ProgIDs and its type library. Toolbox bitmaps
// and the embedding status bits have no use outside the platform that
// defined them and are not written.
void WriteRegistration(ClassRegistry& registry, const std::string& library) {
  const std::string clsid = GuidToText(kClsidRSS);
  const std::string libid = GuidToText(kLibidRSSLib);
  const std::string classKey = Join("CLSID", clsid);
  registry.SetValue(classKey, "", kDisplayName);
  registry.SetValue(Join(classKey, "ProgID"), "", kVersionedProgId);
  registry.SetValue(Join(classKey, "VersionIndependentProgID"), "", kIndependentProgId);
  registry.SetValue(Join(classKey, "InprocServer32"), "", library);
  registry.SetValue(Join(classKey, "InprocServer32"), "ThreadingModel", "Apartment");
  registry.CreateKey(Join(classKey, "Programmable"));
  registry.CreateKey(Join(classKey, "Control"));
  registry.CreateKey(Join(classKey, "Insertable"));
  registry.SetValue(Join(classKey, "TypeLib"), "", libid);
  registry.SetValue(Join(classKey, "Version"), "", "1.0");

  for (std::string_view progId : kProgIds) {
    registry.SetValue(progId, "", kDisplayName);
    registry.SetValue(Join(progId, "CLSID"), "", clsid);
    if (progId != kVersionedProgId) registry.SetValue(Join(progId, "CurVer"), "", kVersionedProgId);
  }

  const std::string typeLibKey = Join(Join("TypeLib", libid), "1.0");
  registry.SetValue(typeLibKey, "", kTypeLibraryName);
  registry.SetValue(Join(typeLibKey, "0\\linux"), "", library);
}

int32_t Finish(bool ok, const std::string& error, int32_t failure) {
  lastError = ok ? std::string() : error;
  return ok ? kSOk : failure;
}

}  // namespace

}  // namespace rssvane

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer(void) {
  using namespace rssvane;
  std::string error;
  try {
    std::string library;
    bool ok = OwnLibrary(library, error) && EditClassRegistry(
                                                [&](ClassRegistry& registry) {
                                                  RemoveRegistration(registry);
                                                  WriteRegistration(registry, library);
                                                },
                                                error);
    return Finish(ok, error, kSelfRegisterFailed);
  } catch (const std::exception& e) {
    return Finish(false, e.what(), kSelfRegisterFailed);
  }
}

extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer(void) {
  using namespace rssvane;
  std::string error;
  try {
    return Finish(EditClassRegistry(RemoveRegistration, error), error, kSelfUnregisterFailed);
  } catch (const std::exception& e) {
    return Finish(false, e.what(), kSelfUnregisterFailed);
  }
}

extern "C" __attribute__((visibility("default"))) const char* RssvaneRegistrationError(void) {
  return rssvane::lastError.c_str();
}
