// The host's side of the class registry: from a ProgID or a class
// identifier to the library's class factory, and a control from it.
#include <dlfcn.h>

#include <map>
#include <mutex>

#include "base/CodePage.h"
#include "control/ClassRegistry.h"
#include "rssvane/Registration.h"

namespace rssvane {

namespace {

using GetClassObject = int32_t (*)(const Guid*, const Guid*, void**);
using CanUnloadNow = int32_t (*)();

// The libraries CreateObject loaded, by the path the registry gave; each is
// loaded once and stays until FreeUnusedLibraries finds it unused.
std::mutex librariesMutex;
std::map<std::string, void*>& Libraries() {
  static std::map<std::string, void*> libraries;
  return libraries;
}

// Registry texts and system messages are UTF-8.
std::u16string Wide(std::string_view text) {
  std::u16string wide;
  NarrowToWide(text, 65001, wide);
  return wide;
}

[[noreturn]] void Fail(int32_t hresult, std::string_view what, std::string_view description) {
  throw AutomationError(static_cast<uint32_t>(hresult), Wide(description), Wide(what), {}, 0);
}

void* Load(const std::string& path, std::string_view what) {
  std::lock_guard<std::mutex> lock(librariesMutex);
  auto found = Libraries().find(path);
  if (found != Libraries().end()) return found->second;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = ::dlerror();
    Fail(kLibraryNotFound, what, "The library " + path + " cannot be loaded: " + (reason ? reason : "unknown reason"));
  }
  Libraries().emplace(path, handle);
  return handle;
}

}  // namespace

std::string ClassRegistryPath(std::string* error) {
  std::string path, reason;
  if (!ClassRegistryFile(path, reason) && error) *error = reason;
  return path;
}

std::shared_ptr<IRSS> CreateObject(std::string_view progIdOrClsid) {
  const std::string name(progIdOrClsid);
  std::string path, error;
  ClassRegistry registry;
  if (!ClassRegistryFile(path, error) || !LoadClassRegistry(path, registry, error)) {
    Fail(kRegistryUnreadable, name, "The class registry cannot be read: " + error);
  }

  Guid clsid;
  if (!name.empty() && name[0] == '{') {
    if (!GuidFromText(name, clsid)) Fail(kInvalidClassString, name, name + " is not a class identifier.");
  } else {
    const std::string* registered = ClassRegistry::IsValidKeyPath(name) ? registry.Value(name + "\\CLSID") : nullptr;
    if (!registered) Fail(kInvalidClassString, name, "No class is registered as " + name + " in " + path + ".");
    if (!GuidFromText(*registered, clsid)) {
      Fail(kRegistryUnreadable, name, "The class of " + name + " in " + path + " is not a class identifier.");
    }
  }
  const std::string clsidText = GuidToText(clsid);
  const std::string* library = registry.Value("CLSID\\" + clsidText + "\\InprocServer32");
  if (!library || library->empty()) {
    Fail(kClassNotRegistered, name, "The class " + clsidText + " is not registered in " + path + ".");
  }

  void* handle = Load(*library, name);
  auto getClassObject = reinterpret_cast<GetClassObject>(::dlsym(handle, "DllGetClassObject"));
  if (!getClassObject) Fail(kEntryPointNotFound, name, "The library " + *library + " has no DllGetClassObject.");
  IClassFactory* factory = nullptr;
  int32_t hr = getClassObject(&clsid, &kIidIClassFactory, reinterpret_cast<void**>(&factory));
  if (hr != kSOk || !factory) Fail(hr != kSOk ? hr : kEPointer, name, "The library " + *library + " has no class object for " + clsidText + ".");
  IRSS* object = nullptr;
  hr = factory->CreateInstance(kIidIRSS, reinterpret_cast<void**>(&object));
  if (hr != kSOk || !object) Fail(hr != kSOk ? hr : kEPointer, name, "The class " + clsidText + " made no control.");
  return std::shared_ptr<IRSS>(object, [](IRSS* o) { o->Release(); });
}

void FreeUnusedLibraries() {
  std::lock_guard<std::mutex> lock(librariesMutex);
  std::erase_if(Libraries(), [](const auto& entry) {
    auto canUnloadNow = reinterpret_cast<CanUnloadNow>(::dlsym(entry.second, "DllCanUnloadNow"));
    if (!canUnloadNow || canUnloadNow() != kSOk) return false;
    ::dlclose(entry.second);
    return true;
  });
}

}  // namespace rssvane
