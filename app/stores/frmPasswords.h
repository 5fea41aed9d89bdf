#pragma once

// The resident "Passwords" view: the vault in a grid, with Add, Edit and
// Delete.

#include <memory>

#include "shell/StoreViews.h"
#include "stores/VaultStore.h"

class QPushButton;
class QTableWidget;

namespace vk {

class StoreEngine;

class frmPasswords : public PasswordsView {
  Q_OBJECT
 public:
  frmPasswords(const QString& appFolder, AppSettings& settings, QWidget* parent = nullptr);
  ~frmPasswords() override;

  void LoadRecentFiles() override;
  // lRow -1 adds; 1 to n replaces that row.
  void AddToPWD(const VaultEntry& entry, int lRow = -1);
  void DeleteItem(int lRow);

  const VaultStore& Store() const { return *store_; }

 private:
  void FillGrid();
  void AddClicked();
  void EditClicked();
  void DeleteClicked();
  // The grid's current entry as the vault numbers it (1 to n), or 0.
  int CurrentRow() const;
  void ReportSaveFailure(const std::exception& error);

  AppSettings& settings_;
  std::unique_ptr<StoreEngine> engine_;
  std::unique_ptr<VaultStore> store_;
  QTableWidget* grdFiles_;
  QPushButton* btnEditSelected_;
  QPushButton* btnDelete_;
};

}  // namespace vk
