#include "settings/ProgramPassword.h"

#include "cryptoengine/CryptoEngine.h"

namespace vk {

PasswordCheck EnginePasswordCheck() {
  PasswordCheck check;
  check.makeStored = [](const QString& typed) {
    if (typed.isEmpty()) return QString();
    return QString::fromStdString(vkcrypto::CryptoEngine::MakePasswordVerifier(typed.toStdString()));
  };
  check.matches = [](const QString& stored, const QString& typed) {
    try {
      return vkcrypto::CryptoEngine::CheckPasswordVerifier(stored.toStdString(), typed.toStdString());
    } catch (const std::exception&) {
      return false;
    }
  };
  return check;
}

}  // namespace vk
