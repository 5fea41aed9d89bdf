// VelkorCrypto: the desktop encryption utility.

#include <cstdio>

#include <QApplication>

#include "cryptoengine/ProcessSafety.h"
#include "settings/DataFolder.h"
#include "settings/ProgramPassword.h"
#include "shell/DisplayCheck.h"
#include "shell/DocumentViews.h"
#include "shell/MessageBoxes.h"
#include "shell/SignalCloser.h"
#include "shell/frmMain.h"
#include "stores/StoreViewFactories.h"

int main(int argc, char** argv) {
  // Pass phrases, keys and clear text pass through this process's memory.
  if (!vkcrypto::DisableCoreDumps()) std::fputs("VelkorCrypto: core dumps could not be turned off\n", stderr);
  if (!vk::DisplayAvailable()) {
    std::fputs(vk::NoDisplayAdvice(argc > 0 ? argv[0] : "VelkorCrypto").c_str(), stderr);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velkor Crypto"));
  QApplication::setDesktopFileName(QStringLiteral("velkorcrypto"));
  const vk::DataFolder data = vk::PrepareDataFolder(vk::CurrentProgramPlace());
  if (!data.problem.isEmpty()) {
    vk::Boxes().Show(nullptr, vk::MessageBoxes::Icon::kCritical, vk::MessageBoxes::Buttons::kOk,
                     QStringLiteral("Critical Error"), data.problem);
    return 1;
  }
  vk::frmMain window(data.path, vk::MakeStoreViewFactories(), vk::EnginePasswordCheck());
  window.SetDocumentViewFactories(vk::MakeDocumentViewFactories(window));
  vk::SignalCloser closer([&window] { window.close(); }, vkcrypto::RemoveUnfinishedFiles);
  window.show();
  return app.exec();
}
