// The control as a class object: the IRSS that the class factory makes, the
// factory itself, and the two exports that hand it out and say whether the
// library may go.
#include <atomic>
#include <new>

#include "control/LiveObjects.h"
#include "rssvane/Registration.h"

namespace rssvane {

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> libraryLocks{0};

class RSSObject final : public IRSS {
 public:
  uint32_t AddRef() noexcept override { return ++references_; }
  uint32_t Release() noexcept override {
    uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  int32_t GetIDOfName(std::u16string_view name) noexcept override { return RSS::DispIdOfName(name); }
  Variant Invoke(int32_t dispId, RSS::DispatchKind kind, const std::vector<Variant>& args) override {
    return control_.Invoke(dispId, kind, args);
  }
  uint32_t Advise(_IRSSEvents* sink) override { return control_.Advise(sink); }
  uint32_t Advise(EventDispatch* sink) override { return control_.Advise(sink); }
  bool Unadvise(uint32_t cookie) override { return control_.Unadvise(cookie); }
  void SetDesignMode(bool designMode) override { control_.SetDesignMode(designMode); }
  void Save(PropertyBag& bag) override { control_.Save(bag); }
  void Load(PropertyBag& bag) override { control_.Load(bag); }
  std::string SaveContents() override { return control_.SaveContents(); }
  void LoadContents(std::string_view contents) override { control_.LoadContents(contents); }

 private:
  ~RSSObject() = default;

  std::atomic<uint32_t> references_{1};
  RSS control_;
};

class ClassFactory final : public IClassFactory {
 public:
  int32_t CreateInstance(const Guid& iid, void** object) noexcept override {
    if (!object) return kEPointer;
    *object = nullptr;
    if (iid != kIidIRSS) return kENoInterface;
    IRSS* made = new (std::nothrow) RSSObject;
    if (!made) return kEOutOfMemory;
    *object = made;
    return kSOk;
  }
  int32_t LockServer(bool lock) noexcept override {
    LockLibrary(lock);
    return kSOk;
  }
};

ClassFactory factory;

}  // namespace

LiveObject::LiveObject() noexcept { ++liveObjects; }
LiveObject::~LiveObject() { --liveObjects; }

void LockLibrary(bool lock) noexcept {
  if (lock) {
    ++libraryLocks;
  } else if (libraryLocks.load() > 0) {
    --libraryLocks;
  }
}

bool LibraryInUse() noexcept { return liveObjects.load() > 0 || libraryLocks.load() > 0; }

}  // namespace rssvane

extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(const rssvane::Guid* clsid,
                                                                          const rssvane::Guid* iid, void** object) {
  if (!object) return rssvane::kEPointer;
  *object = nullptr;
  if (!clsid || !iid) return rssvane::kEPointer;
  if (*clsid != rssvane::kClsidRSS) return rssvane::kClassNotAvailable;
  if (*iid != rssvane::kIidIClassFactory) return rssvane::kENoInterface;
  *object = static_cast<rssvane::IClassFactory*>(&rssvane::factory);
  return rssvane::kSOk;
}

extern "C" __attribute__((visibility("default"))) int32_t DllCanUnloadNow(void) {
  return rssvane::LibraryInUse() ? rssvane::kSFalse : rssvane::kSOk;
}
