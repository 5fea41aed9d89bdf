#pragma once

// The resident "Recent Files" view: the history grid, newest first, whose
// rows open a file for decryption on a double-click.

#include <memory>

#include "shell/StoreViews.h"
#include "stores/HistoryStore.h"

class QTableWidget;

namespace vk {

class StoreEngine;

class frmRecentFiles : public RecentFilesView {
  Q_OBJECT
 public:
  frmRecentFiles(const QString& appFolder, TaskDispatch& dispatch, QWidget* parent = nullptr);
  ~frmRecentFiles() override;

  void LoadRecentFiles() override;
  void AddToRecentFiles(const QString& sFileName, const QString& sPath, const QString& sType) override;
  void ClearHistory() override;
  StoreCipher* SettingsCipher() override;

  const HistoryStore& Store() const { return *store_; }
  // The double-click on a grid row (0 = the first entry).
  void RowDoubleClicked(int row);

 private:
  void FillGrid();

  TaskDispatch& dispatch_;
  std::unique_ptr<StoreEngine> engine_;
  std::unique_ptr<HistoryStore> store_;
  QTableWidget* grdFiles_;
};

}  // namespace vk
