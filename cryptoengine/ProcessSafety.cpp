#include "cryptoengine/ProcessSafety.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace vkcrypto {

bool DisableCoreDumps() noexcept {
  const rlimit none{0, 0};
  const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
  // A core pattern that pipes to a collector ignores the size limit; a
  // process that is not dumpable is never dumped.
  const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
  return limited && undumpable;
}

}  // namespace vkcrypto
