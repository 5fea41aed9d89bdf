#pragma once

// The usage summary: version, legal notice, the folder of the program's
// files and the three counters.

#include <QWidget>

class QLabel;

namespace vk {

class AppSettings;

class frmVelkorCryptoNow : public QWidget {
  Q_OBJECT
 public:
  explicit frmVelkorCryptoNow(const AppSettings& settings, QWidget* parent = nullptr);
  // The counter labels follow the settings.
  void RefreshCounters();

 private:
  const AppSettings& settings_;
  QLabel* lblStoredPWD_;
  QLabel* lblFilesEnc_;
  QLabel* lblMsgEncrypted_;
};

}  // namespace vk
