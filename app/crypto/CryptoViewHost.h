#pragma once

// What the encryption views need from the program around them: the status
// line, message boxes, the history of encrypted files and the counters.

#include <QString>

class QWidget;

namespace vk {

class CryptoViewHost {
 public:
  enum class Icon { kInformation, kWarning, kCritical };
  virtual ~CryptoViewHost() = default;
  virtual void SetGeneralStatus(const QString& text) = 0;
  virtual void ShowMessage(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
  virtual void AddToRecentFiles(const QString& fileName, const QString& folder, const QString& fileType) = 0;
  virtual void CountFileEncrypted() = 0;
  virtual void CountMessageEncrypted() = 0;
};

}  // namespace vk
