#include "stores/frmPasswords.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/AppSettings.h"
#include "settings/StoreEngine.h"
#include "shell/HelpTexts.h"
#include "shell/MessageBoxes.h"
#include "stores/frmPasswordMaint.h"

namespace vk {

namespace {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

frmPasswords::frmPasswords(const QString& appFolder, AppSettings& settings, QWidget* parent)
    : PasswordsView(parent), settings_(settings) {
  setObjectName(QStringLiteral("frmPasswords"));
  setWindowTitle(QStringLiteral("Passwords"));
  setProperty(kHelpTextProperty, kHelpPasswords);
  try {
    engine_ = std::make_unique<StoreEngine>();
  } catch (const std::exception&) {
  }
  store_ = std::make_unique<VaultStore>(appFolder, engine_.get());

  auto* frame = new QGroupBox(QStringLiteral("Passwords"), this);
  frame->setObjectName(QStringLiteral("fraPasswords"));
  grdFiles_ = new QTableWidget(0, 4, frame);
  grdFiles_->setObjectName(QStringLiteral("grdFiles"));
  grdFiles_->setHorizontalHeaderLabels(
      {QStringLiteral("Program/Website"), QStringLiteral("User ID"), QStringLiteral("Password"), QStringLiteral("Notes")});
  QFont bold = grdFiles_->horizontalHeader()->font();
  bold.setBold(true);
  grdFiles_->horizontalHeader()->setFont(bold);
  grdFiles_->setColumnWidth(0, 220);
  grdFiles_->setColumnWidth(1, 110);
  grdFiles_->setColumnWidth(2, 110);
  grdFiles_->horizontalHeader()->setStretchLastSection(true);
  grdFiles_->verticalHeader()->hide();
  grdFiles_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdFiles_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdFiles_->setSelectionMode(QAbstractItemView::SingleSelection);

  auto* btnAddItem = MakeButton("btnAddItem", QStringLiteral("Add"), frame);
  btnEditSelected_ = MakeButton("btnEditSelected", QStringLiteral("Edit"), frame);
  btnDelete_ = MakeButton("btnDelete", QStringLiteral("Delete"), frame);
  btnEditSelected_->setEnabled(false);
  btnDelete_->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnAddItem);
  buttons->addWidget(btnEditSelected_);
  buttons->addWidget(btnDelete_);
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(grdFiles_);
  frameLayout->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);

  connect(btnAddItem, &QPushButton::clicked, this, &frmPasswords::AddClicked);
  connect(btnEditSelected_, &QPushButton::clicked, this, &frmPasswords::EditClicked);
  connect(btnDelete_, &QPushButton::clicked, this, &frmPasswords::DeleteClicked);
  connect(grdFiles_, &QTableWidget::currentCellChanged, this, [this] {
    const bool onEntry = CurrentRow() >= 1;
    btnEditSelected_->setEnabled(onEntry);
    btnDelete_->setEnabled(onEntry);
  });
}

frmPasswords::~frmPasswords() = default;

int frmPasswords::CurrentRow() const {
  const int row = grdFiles_->currentRow();
  return row >= 0 && row < static_cast<int>(store_->Entries().size()) ? row + 1 : 0;
}

void frmPasswords::LoadRecentFiles() {
  const StoreLoadProblem problem = store_->LoadRecentFiles();
  FillGrid();
  settings_.SetTotalPasswords(store_->Rows() - 1);
  if (!problem.message.isEmpty())
    Boxes().Show(this, MessageBoxes::Icon::kWarning, MessageBoxes::Buttons::kOk, QStringLiteral("Passwords"),
                 problem.message);
}

void frmPasswords::ReportSaveFailure(const std::exception& error) {
  Boxes().Show(this, MessageBoxes::Icon::kCritical, MessageBoxes::Buttons::kOk, QStringLiteral("Passwords"),
               QStringLiteral("The password vault could not be saved.\r\r%1").arg(QString::fromUtf8(error.what())));
}

void frmPasswords::AddToPWD(const VaultEntry& entry, int lRow) {
  try {
    store_->AddToPWD(entry, lRow);
  } catch (const std::exception& error) {
    ReportSaveFailure(error);
  }
  FillGrid();
  settings_.SetTotalPasswords(store_->Rows() - 1);
}

void frmPasswords::DeleteItem(int lRow) {
  try {
    store_->DeleteItem(lRow);
  } catch (const std::exception& error) {
    ReportSaveFailure(error);
  }
  FillGrid();
  settings_.SetTotalPasswords(store_->Rows() - 1);
}

void frmPasswords::FillGrid() {
  const int current = grdFiles_->currentRow();
  const auto& entries = store_->Entries();
  grdFiles_->setRowCount(static_cast<int>(entries.size()));
  for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
    const VaultEntry& entry = entries[static_cast<size_t>(row)];
    const QString cells[] = {entry.website, entry.userId, entry.password, entry.notes};
    for (int column = 0; column < 4; ++column) grdFiles_->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
  if (current >= static_cast<int>(entries.size())) grdFiles_->setCurrentCell(-1, -1);
  const bool onEntry = CurrentRow() >= 1;
  btnEditSelected_->setEnabled(onEntry);
  btnDelete_->setEnabled(onEntry);
}

void frmPasswords::AddClicked() {
  frmPasswordMaint dialog(this);
  dialog.exec();
  if (!dialog.HitCancel()) AddToPWD(dialog.Entry(), -1);
}

void frmPasswords::EditClicked() {
  const int row = CurrentRow();
  if (row < 1) return;
  frmPasswordMaint dialog(this);
  dialog.SetEntry(store_->Entries()[static_cast<size_t>(row - 1)]);
  dialog.exec();
  if (!dialog.HitCancel()) AddToPWD(dialog.Entry(), row);
}

void frmPasswords::DeleteClicked() {
  const int row = CurrentRow();
  if (row >= 1) DeleteItem(row);
}

}  // namespace vk
