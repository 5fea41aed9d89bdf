#include "stores/frmRecentFiles.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/StoreEngine.h"
#include "shell/HelpTexts.h"
#include "shell/MessageBoxes.h"
#include "shell/TaskDispatch.h"

namespace vk {

namespace {

// Twips as the columns were laid out, at 15 twips to a pixel.
int FromTwips(int twips) { return twips / 15; }

}  // namespace

frmRecentFiles::frmRecentFiles(const QString& appFolder, TaskDispatch& dispatch, QWidget* parent)
    : RecentFilesView(parent), dispatch_(dispatch) {
  setObjectName(QStringLiteral("frmRecentFiles"));
  setWindowTitle(QStringLiteral("Recent Files"));
  setProperty(kHelpTextProperty, kHelpRecentFiles);
  try {
    engine_ = std::make_unique<StoreEngine>();
  } catch (const std::exception&) {
  }
  store_ = std::make_unique<HistoryStore>(appFolder, engine_.get());

  grdFiles_ = new QTableWidget(0, 3, this);
  grdFiles_->setObjectName(QStringLiteral("grdFiles"));
  grdFiles_->setHorizontalHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Type"), QStringLiteral("Path")});
  QFont bold = grdFiles_->horizontalHeader()->font();
  bold.setBold(true);
  grdFiles_->horizontalHeader()->setFont(bold);
  grdFiles_->setColumnWidth(0, FromTwips(2025));
  grdFiles_->setColumnWidth(1, FromTwips(960));
  grdFiles_->setColumnWidth(2, FromTwips(960));
  grdFiles_->horizontalHeader()->setStretchLastSection(true);
  grdFiles_->verticalHeader()->hide();
  grdFiles_->setWordWrap(false);
  grdFiles_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdFiles_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdFiles_->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grdFiles_);
  connect(grdFiles_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { RowDoubleClicked(row); });
}

frmRecentFiles::~frmRecentFiles() = default;

StoreCipher* frmRecentFiles::SettingsCipher() { return engine_.get(); }

void frmRecentFiles::LoadRecentFiles() {
  const StoreLoadProblem problem = store_->LoadRecentFiles();
  FillGrid();
  if (!problem.message.isEmpty())
    Boxes().Show(this, MessageBoxes::Icon::kWarning, MessageBoxes::Buttons::kOk, QStringLiteral("Recent Files"),
                 problem.message);
}

void frmRecentFiles::AddToRecentFiles(const QString& sFileName, const QString& sPath, const QString& sType) {
  store_->AddToRecentFiles(sFileName, sPath, sType);
  FillGrid();
}

void frmRecentFiles::ClearHistory() {
  store_->Clear();
  FillGrid();
}

void frmRecentFiles::FillGrid() {
  const auto& entries = store_->Entries();
  grdFiles_->setRowCount(static_cast<int>(entries.size()));
  for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
    const HistoryEntry& entry = entries[static_cast<size_t>(row)];
    const QString cells[] = {entry.fileName, entry.type, entry.path};
    for (int column = 0; column < 3; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      QFont font = item->font();
      font.setItalic(entry.missing);
      item->setFont(font);
      grdFiles_->setItem(row, column, item);
    }
  }
  // The type column is narrow by design; it still shows its whole text.
  const int narrow = grdFiles_->columnWidth(1);
  grdFiles_->resizeColumnToContents(1);
  if (grdFiles_->columnWidth(1) < narrow) grdFiles_->setColumnWidth(1, narrow);
}

void frmRecentFiles::RowDoubleClicked(int row) {
  const auto& entries = store_->Entries();
  if (row < 0 || row >= static_cast<int>(entries.size())) return;
  const HistoryEntry& entry = entries[static_cast<size_t>(row)];
  // A file that was gone at load time cannot be opened.
  if (entry.missing) return;
  dispatch_.DoNewCryptoFile(true, entry.path + entry.fileName);
}

}  // namespace vk
