#pragma once

// The control as a class: its identities, the four functions the library
// exports to register itself and hand out class objects, and CreateObject,
// which a host calls to make a control from its ProgID or class identifier
// through the per-user class registry (docs/rssvane-control.md):
//
//   std::shared_ptr<rssvane::IRSS> rss = rssvane::CreateObject("Kestrix.RSS");
//   rss->Invoke(rss->GetIDOfName(u"ChannelTitle"), rssvane::RSS::DispatchKind::kPropertyPut, {u"News"});
//
// CreateObject loads the registered library with dlopen and reaches the
// control only through the virtual functions of IRSS, so the host needs no
// link-time knowledge of that library. Like every member of the control,
// IRSS runs on the thread that created it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <rssvane/Events.h>
#include <rssvane/PropertyBag.h>
#include <rssvane/RSS.h>
#include <rssvane/Variant.h>

namespace rssvane {

// A class, interface or type library identifier.
struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) noexcept {
  if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.data4[i] != b.data4[i]) return false;
  }
  return true;
}
inline bool operator!=(const Guid& a, const Guid& b) noexcept { return !(a == b); }

inline constexpr Guid kClsidRSS{0x7A41C350, 0x2B9E, 0x4D1F, {0xA6, 0xC3, 0x5E, 0x08, 0xB2, 0xD4, 0xF9, 0x10}};
inline constexpr Guid kIidIRSS{0x7A41C351, 0x2B9E, 0x4D1F, {0xA6, 0xC3, 0x5E, 0x08, 0xB2, 0xD4, 0xF9, 0x10}};
inline constexpr Guid kIidIRSSEvents{0x7A41C352, 0x2B9E, 0x4D1F, {0xA6, 0xC3, 0x5E, 0x08, 0xB2, 0xD4, 0xF9, 0x10}};
inline constexpr Guid kLibidRSSLib{0x7A41C353, 0x2B9E, 0x4D1F, {0xA6, 0xC3, 0x5E, 0x08, 0xB2, 0xD4, 0xF9, 0x10}};
inline constexpr Guid kIidIClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// "{7A41C350-2B9E-4D1F-A6C3-5E08B2D4F910}": registry format, upper case.
std::string GuidToText(const Guid& guid);
// Reads that format in either case; false for anything else.
bool GuidFromText(std::string_view text, Guid& out) noexcept;

// Results of the exported functions and failures of CreateObject.
inline constexpr int32_t kSOk = 0;
inline constexpr int32_t kSFalse = 1;
inline constexpr int32_t kENoInterface = static_cast<int32_t>(0x80004002u);
inline constexpr int32_t kEPointer = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t kEOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t kClassNotAvailable = static_cast<int32_t>(0x80040111u);
inline constexpr int32_t kRegistryUnreadable = static_cast<int32_t>(0x80040150u);
inline constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154u);
inline constexpr int32_t kSelfRegisterFailed = static_cast<int32_t>(0x80040201u);
inline constexpr int32_t kSelfUnregisterFailed = static_cast<int32_t>(0x80040202u);
inline constexpr int32_t kInvalidClassString = static_cast<int32_t>(0x800401F3u);
inline constexpr int32_t kLibraryNotFound = static_cast<int32_t>(0x8007007Eu);
inline constexpr int32_t kEntryPointNotFound = static_cast<int32_t>(0x8007007Fu);

// The control through its vtable: late-bound access to every member (as
// RSS::Invoke), the connection point of its events, the designer's mode and
// persistence. Failures throw AutomationError. The last Release destroys the
// control; one released from inside its own event dies when the event ends.
class IRSS {
 public:
  virtual uint32_t AddRef() noexcept = 0;
  virtual uint32_t Release() noexcept = 0;

  // RSS::kDispIdUnknown for a name that is no member.
  virtual int32_t GetIDOfName(std::u16string_view name) noexcept = 0;
  virtual Variant Invoke(int32_t dispId, RSS::DispatchKind kind, const std::vector<Variant>& args) = 0;
  virtual uint32_t Advise(_IRSSEvents* sink) = 0;
  virtual uint32_t Advise(EventDispatch* sink) = 0;
  virtual bool Unadvise(uint32_t cookie) = 0;
  virtual void SetDesignMode(bool designMode) = 0;
  // As RSS::Save, RSS::Load, RSS::SaveContents and RSS::LoadContents.
  virtual void Save(PropertyBag& bag) = 0;
  virtual void Load(PropertyBag& bag) = 0;
  virtual std::string SaveContents() = 0;
  virtual void LoadContents(std::string_view contents) = 0;

 protected:
  ~IRSS() = default;
};

// What DllGetClassObject hands out for a class: the maker of its objects.
// A lock keeps the library loaded while no object exists.
class IClassFactory {
 public:
  // kIidIRSS gives an IRSS with one reference.
  virtual int32_t CreateInstance(const Guid& iid, void** object) noexcept = 0;
  virtual int32_t LockServer(bool lock) noexcept = 0;

 protected:
  ~IClassFactory() = default;
};

// Makes a control of the class registered under a ProgID ("Kestrix.RSS") or
// a class identifier in registry format. Throws AutomationError whose
// HRESULT says what is missing: kInvalidClassString (no such ProgID, or
// malformed identifier), kClassNotRegistered, kLibraryNotFound,
// kEntryPointNotFound, kRegistryUnreadable, or what the library's class
// factory answered; the description names the ProgID, file or symbol.
std::shared_ptr<IRSS> CreateObject(std::string_view progIdOrClsid);

// Unloads the libraries that CreateObject loaded and that say, through
// DllCanUnloadNow, that nothing of theirs is alive.
void FreeUnusedLibraries();

// The per-user class registry file: $XDG_CONFIG_HOME/rssvane/classes, or
// ~/.config/rssvane/classes. Empty, with the reason in error, when neither
// XDG_CONFIG_HOME nor a home folder is known.
std::string ClassRegistryPath(std::string* error = nullptr);

}  // namespace rssvane

// The library's exports, as hosts and `rssvane register` find them by name.
extern "C" {
// Writes the class, its three ProgIDs and its type library into the class
// registry with this library's own path, replacing an earlier registration;
// kSelfRegisterFailed when the registry cannot be read or written.
int32_t DllRegisterServer(void);
// Removes what DllRegisterServer wrote (a ProgID another class took over
// stays); the file goes when nothing else is left in it.
int32_t DllUnregisterServer(void);
// The class factory of kClsidRSS, asked for as kIidIClassFactory.
int32_t DllGetClassObject(const rssvane::Guid* clsid, const rssvane::Guid* iid, void** object);
// kSOk when no control is alive and no host holds a lock on the factory.
int32_t DllCanUnloadNow(void);
// Why the last DllRegisterServer or DllUnregisterServer of this thread
// failed; empty text after a success.
const char* RssvaneRegistrationError(void);
}
