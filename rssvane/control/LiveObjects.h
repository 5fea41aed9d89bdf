#pragma once

namespace rssvane {

// What keeps the library in use, for DllCanUnloadNow: every control's
// engine while it lives (which a call or an event under way keeps alive
// after the host let go) and every lock a host holds on the class factory.
class LiveObject {
 public:
  LiveObject() noexcept;
  ~LiveObject();
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
};

void LockLibrary(bool lock) noexcept;
bool LibraryInUse() noexcept;

}  // namespace rssvane
