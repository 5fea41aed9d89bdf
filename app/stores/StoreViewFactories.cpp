#include "stores/StoreViewFactories.h"

#include "stores/frmPasswords.h"
#include "stores/frmRecentFiles.h"

namespace vk {

StoreViewFactories MakeStoreViewFactories() {
  StoreViewFactories factories;
  factories.recentFiles = [](const QString& folder, AppSettings&, TaskDispatch& dispatch) -> RecentFilesView* {
    return new frmRecentFiles(folder, dispatch);
  };
  factories.passwords = [](const QString& folder, AppSettings& settings) -> PasswordsView* {
    return new frmPasswords(folder, settings);
  };
  return factories;
}

}  // namespace vk
